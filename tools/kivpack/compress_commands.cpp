// kivpack compress / kivpack expand: single files to and from the SZDD
// container, with the naming rules of the classic compress and expand tools.
// Every output is written under a temporary name beside its destination and
// renamed only when complete, so a failure never leaves a partial file.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "engine/szdd.h"
#include "platform/text.h"
#include "tools/kivpack/commands.h"
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/progress.h"
#include "tools/kivpack/szdd_compress.h"

namespace {

const char CompressHelp[] =
    "usage: kivpack compress FILE... [-r] [-o OUT]\n"
    "\n"
    "Compresses each FILE into the SZDD container, as small as the format allows.\n"
    "  (default)  the output is FILE.szdd; no original name is recorded\n"
    "  -r         the output is FILE with its last character replaced by '_'\n"
    "             (NOTES.TXT gives NOTES.TX_); the replaced character is recorded\n"
    "             in the header so that 'kivpack expand -r' restores the name\n"
    "  -o OUT     the output file (one FILE), or an existing directory that\n"
    "             receives the outputs under the names above\n"
    "An existing output is replaced; the input is never overwritten.\n";

const char ExpandHelp[] =
    "usage: kivpack expand FILE... [-r] [-o OUT]\n"
    "\n"
    "Expands each SZDD FILE; a file that is not SZDD is copied unchanged, or\n"
    "left where it is when no other output name follows from the rules below.\n"
    "  (default)  the output is FILE without its .szdd suffix\n"
    "  -r         the output name is FILE with its final '_' replaced by the\n"
    "             character recorded in the header ('kivpack compress -r')\n"
    "  -o OUT     the output file (one FILE), or an existing directory that\n"
    "             receives the outputs under the names above\n"
    "Compressed data that ends before its declared length is an error and\n"
    "leaves no output. An existing output is replaced.\n";

struct Options {
    std::vector<std::string> files;
    bool rename = false;
    std::string out;
    bool hasOut = false;
};

// 0: parsed; 2: usage error (reported); -1: --help (printed).
int ParseOptions(int argc, char** argv, const char* help, Options& options)
{
    bool onlyFiles = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (!onlyFiles && (a == "--help" || a == "-h")) {
            std::fputs(help, stdout);
            return -1;
        }
        if (!onlyFiles && a == "--") {
            onlyFiles = true;
        } else if (!onlyFiles && a == "-r") {
            options.rename = true;
        } else if (!onlyFiles && a == "-o") {
            if (i + 1 >= argc || options.hasOut) {
                std::fprintf(stderr, "kivpack %s: -o needs one output name\n", argv[0]);
                return 2;
            }
            options.out = argv[++i];
            options.hasOut = true;
        } else if (!onlyFiles && a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "kivpack %s: unknown option '%s'\n%s", argv[0], a.c_str(), help);
            return 2;
        } else {
            options.files.push_back(a);
        }
    }
    if (options.files.empty()) {
        std::fprintf(stderr, "kivpack %s: no FILE given\n%s", argv[0], help);
        return 2;
    }
    return 0;
}

bool IsDirectory(const std::string& path)
{
    kivpack::os::FileStatus st;
    return kivpack::os::Status(path, st) && st.directory;
}

// Where the output of `input` goes: the derived `name` beside the input, in
// the -o directory, or the -o file itself.
std::string OutputPath(const Options& options, const std::string& input, const std::string& name)
{
    if (!options.hasOut) return kivpack::os::DirectoryOf(input) + name;
    if (IsDirectory(options.out)) return kivpack::os::JoinPath(options.out, name);
    return options.out;
}

bool CompressOne(const Options& options, const std::string& input, std::string& error)
{
    std::string base = kivpack::os::BaseName(input);
    unsigned char recorded = 0;
    std::string name = base + ".szdd";
    if (options.rename) {
        if (base.empty() || base.back() == '_') {
            error = input + ": the name already ends in '_'; give the output with -o";
            return false;
        }
        recorded = (unsigned char)base.back();
        name = base.substr(0, base.size() - 1) + "_";
    }
    std::string output = OutputPath(options, input, name);
    if (kivpack::os::SameFile(input, output)) {
        error = input + ": the output would overwrite the input";
        return false;
    }
    std::vector<unsigned char> data, packed;
    if (!kivpack::os::ReadWholeFile(input, data, error)) return false;
    ProgressBar bar(base, data.size());
    if (!SzddCompress(data.data(), data.size(), recorded, packed, error,
                      [&](std::size_t done, std::size_t) { bar.Update(done); })) {
        error = input + ": " + error;
        return false;
    }
    bar.Finish();
    return kivpack::os::WriteWholeFile(output, packed.data(), packed.size(), error);
}

unsigned ReadFromFile(void* context, unsigned char* buffer, unsigned count)
{
    FILE* f = (FILE*)context;
    std::size_t n = std::fread(buffer, 1, count, f);
    if (n < count && std::ferror(f)) return SZDD_SOURCE_ERROR;
    return (unsigned)n;
}

const char* ExpandFailure(int status)
{
    switch (status) {
    case SZDD_INVALID_DATA: return "the compressed data ends before its declared length (invalid data)";
    case SZDD_UNKNOWN_MODE: return "unknown compression mode (only mode A is known)";
    case SZDD_READ_FAULT: return "read error";
    default: return "cannot be expanded";
    }
}

bool ExpandOne(const Options& options, const std::string& input, std::string& error)
{
    FILE* in = kivpack::os::OpenForReading(input);
    if (!in) {
        error = input + ": " + std::strerror(errno);
        return false;
    }
    struct Closer {
        FILE* f;
        ~Closer() { std::fclose(f); }
    } closer{in};
    static SzddExpander expander;
    int status = SzddOpen(&expander, ReadFromFile, in);
    if (status) {
        error = input + ": " + ExpandFailure(status);
        return false;
    }
    std::string base = kivpack::os::BaseName(input);
    std::string name;
    const std::string suffix = ".szdd";
    bool hasSuffix = base.size() > suffix.size() &&
                     TextEqualNoCase(base.c_str() + base.size() - suffix.size(), suffix.c_str());
    // A file that is not SZDD is its own expansion: with no other output
    // named, the copy would be the file itself, which is left as it is.
    if (!expander.IsSzdd && !options.hasOut && !hasSuffix) {
        std::printf("%s: not compressed; left as it is\n", input.c_str());
        return true;
    }
    if (options.rename) {
        if (!expander.IsSzdd || !expander.LastCharacter || base.empty() || base.back() != '_') {
            error = input + ": no original name recorded; give the output with -o";
            return false;
        }
        name = base.substr(0, base.size() - 1) + (char)expander.LastCharacter;
    } else {
        bool has = hasSuffix;
        if (!has && !options.hasOut) {
            error = input + ": the name has no .szdd suffix; give the output with -o or use -r";
            return false;
        }
        name = has ? base.substr(0, base.size() - suffix.size()) : base;
    }
    std::string output = OutputPath(options, input, name);
    if (kivpack::os::SameFile(input, output)) {
        error = input + ": the output would overwrite the input";
        return false;
    }
    kivpack::os::OutputFile pending(output);
    if (!pending.Open(error)) return false;
    kivpack::os::FileStatus st;
    std::uint64_t total = expander.IsSzdd ? expander.ExpandedLength
                          : kivpack::os::Status(input, st) ? st.size : 0;
    ProgressBar bar(base, total);
    static unsigned char chunk[1 << 16];
    for (;;) {
        int n = SzddRead(&expander, chunk, sizeof chunk);
        if (n < 0) {
            error = input + ": " + ExpandFailure(n);
            return false;
        }
        if (n == 0) break;
        if (!pending.Write(chunk, (std::size_t)n, error)) return false;
        bar.Update(expander.Produced);
    }
    bar.Finish();
    return pending.Commit(error);
}

int RunFiles(int argc, char** argv, const char* help,
             bool (*one)(const Options&, const std::string&, std::string&))
{
    Options options;
    int parsed = ParseOptions(argc, argv, help, options);
    if (parsed) return parsed < 0 ? 0 : parsed;
    if (options.hasOut && options.files.size() > 1 && !IsDirectory(options.out)) {
        std::fprintf(stderr, "kivpack %s: with several files, -o must name an existing directory\n",
                     argv[0]);
        return 2;
    }
    int result = 0;
    for (const std::string& file : options.files) {
        std::string error;
        if (!one(options, file, error)) {
            std::fprintf(stderr, "kivpack %s: %s\n", argv[0], error.c_str());
            result = 1;
        }
    }
    return result;
}

} // namespace

int RunCompress(int argc, char** argv) { return RunFiles(argc, argv, CompressHelp, CompressOne); }

int RunExpand(int argc, char** argv) { return RunFiles(argc, argv, ExpandHelp, ExpandOne); }
