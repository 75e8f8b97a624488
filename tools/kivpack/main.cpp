// kivpack: the build tool. Each subcommand lives in a file of its own and is
// listed in the command table below.
#include <cstdio>
#include <cstring>
#include "tools/kivpack/commands.h"

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
    {"compress", RunCompress, "compress files into the SZDD container"},
    {"expand", RunExpand, "expand SZDD files"},
};

void PrintUsage(FILE* out)
{
    std::fprintf(out, "usage: kivpack COMMAND [ARGS...]\n\ncommands:\n");
    for (const Command& c : Commands) std::fprintf(out, "  %-11s %s\n", c.name, c.summary);
    std::fprintf(out, "\n'kivpack COMMAND --help' describes one command.\n");
}

} // namespace

int main(int argc, char** argv)
{
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
