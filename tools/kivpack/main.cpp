// kivpack: the build tool. Each subcommand lives in a file of its own and is
// listed in the command table below.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "kivversion.h"
#include "tools/kivpack/commands.h"
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/stub.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* summary;
};

const Command Commands[] = {
    {"check", RunCheck, "check an install script as the installer would read it"},
    {"build", RunBuild, "pack a product into one installer executable"},
    {"list", RunList, "list the payload of a packed installer"},
    {"extract", RunExtract, "extract the script and files of a packed installer"},
    {"disks", RunDisks, "lay out a disk-mode installation set"},
    {"uninstaller", RunUninstaller, "make the product's uninstaller (uninst.exe)"},
    {"helpfile", RunHelpfile, "compile, dump or start a help file"},
    {"script", RunScript, "write an install script for a directory tree"},
    {"compress", RunCompress, "compress files into the SZDD container"},
    {"expand", RunExpand, "expand SZDD files"},
    {"try", RunTry, "install and remove a product under emulated Windows versions"},
};

void PrintUsage(FILE* out)
{
    std::fprintf(out, "usage: kivpack COMMAND [ARGS...]\n       kivpack --version\n\ncommands:\n");
    for (const Command& c : Commands) std::fprintf(out, "  %-11s %s\n", c.name, c.summary);
    std::fprintf(out,
                 "\n'kivpack COMMAND --help' describes one command.\n"
                 "\n"
                 "The stubs that kivpack packs products into: --stub and --uninstaller-stub,\n"
                 "else the files that these name:\n"
                 "  KIVPACK_STUB         the installer stub (kivinstall.exe)\n"
                 "  KIVPACK_UNINSTALLER  the uninstaller stub (kivuninst.exe)\n"
                 "else each from %s, beside kivpack, or the build tree.\n"
                 "  SOURCE_DATE_EPOCH    the date of packed files when build has no --date\n",
                 ShippedFolder().c_str());
}

// One stub's line of --version: its release and file, or why there is none.
void PrintStubVersion(const ShippedFile& file)
{
    ShippedLookup lookup = FindShippedFile(file, "");
    std::vector<uint8_t> bytes;
    kivpack::PeImage image;
    std::string error;
    if (lookup.path.empty()) {
        std::printf("%s: %s\n", file.what, NotFoundMessage(file, lookup).c_str());
    } else if (!kivpack::os::ReadWholeFile(lookup.path, bytes, error) || !kivpack::ReadPeImage(bytes, image, error)) {
        std::printf("%s: %s: %s\n", file.what, lookup.path.c_str(), error.c_str());
    } else {
        std::string version = StubVersion(image);
        bool usable = CheckStubVersion(image, file, lookup.path, error);
        std::printf("%s: %s (%s)%s\n", file.what, version.empty() ? "no release" : version.c_str(),
                    lookup.path.c_str(), usable ? "" : ", refused: not this kivpack's");
    }
}

int PrintVersion()
{
    std::printf("kivpack %s\n", KIV_VERSION);
    PrintStubVersion(InstallerStub);
    PrintStubVersion(UninstallerStub);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> arguments;
    kivpack::os::PrepareProcess(argc, argv, arguments);
    std::vector<char*> pointers;
    for (std::string& a : arguments) pointers.push_back(&a[0]);
    pointers.push_back(nullptr);
    argc = (int)arguments.size();
    argv = pointers.data();
    if (argc == 2 && !std::strcmp(argv[1], "--version")) return PrintVersion();
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        PrintUsage(stdout);
        return 0;
    }
    for (const Command& c : Commands)
        if (!std::strcmp(argv[1], c.name)) return c.run(argc - 1, argv + 1);
    std::fprintf(stderr, "kivpack: unknown command '%s'\n", argv[1]);
    PrintUsage(stderr);
    return 2;
}
