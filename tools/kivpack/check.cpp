// kivpack check: the installer's verdict on a script, before anything is
// packed.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include "platform/platform.h"
#include "script/installer_state.h"
#include "script/loader.h"
#include "tools/kivpack/commands.h"
#include "tools/kivpack/lint/script_lint.h"
#include "tools/kivpack/help_text.h"
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/packing.h"
#include "tools/kivpack/pe/pe.h"
#include "tools/kivpack/szdd_compress.h"
#include "tools/kivpack/payload.h"
#include "tools/kivpack/script_reader.h"
#include "tools/kivpack/text_encoding.h"
#include "tools/kivpack/uninstaller.h"

namespace {

const char Usage[] =
    "usage: kivpack check SCRIPT [--display ega|vga|8514] [--windows MAJOR.MINOR] [--nt] [--strict]\n"
    "                     [--no-files] [--print-diskspace]\n"
    "\n"
    "Reads SCRIPT as the installer would on the given display class and Windows\n"
    "version (default: VGA, Windows 4.0 of the Windows 95 family; --nt for Windows\n"
    "NT). Prints a summary and exits 0 when the script is valid; otherwise prints\n"
    "the installer's own message for the first fault, its line and the reason,\n"
    "and exits 1. It also exits 1 for what the installer accepts but cannot carry\n"
    "out: a file into a directory below Target that no [Target Subdirectories]\n"
    "line makes, and, as 'kivpack build' would, a help file or source file that\n"
    "is not in DISKn/ beside the script nor beside it.\n"
    "\n"
    "Warnings name what the installer would read past or cut without a word, and\n"
    "what would break the installation or harm the system: names that climb out\n"
    "of their directory with '..' (file lines, subdirectories, the delete list,\n"
    "the installed help file), a GroupName or old group that Windows and other\n"
    "programs share (StartUp, Accessories, ...) or that holds '..', a Product.INI\n"
    "that names a file of Windows (WIN.INI, SYSTEM.INI, ...), a disk without a\n"
    "file for a display class (the copying stops there), a [Run] program that no\n"
    "file line puts in Target, and a DiskSpace (or EGA-, VGA-, 8514DiskSpace)\n"
    "below the bytes the script installs on that display, and files that even\n"
    "compressed at best make an installer past the 1 GiB that 'kivpack build'\n"
    "packs; with --strict any warning makes the exit code 1. It also warns, still exiting 0, when the\n"
    "help file is not a Windows Help file or has no topic for the readme (3904)\n"
    "or for the start dialog.\n"
    "\n"
    "--no-files      reads the script alone: no source file is looked for, so\n"
    "                neither a missing one nor DiskSpace is checked\n"
    "--print-diskspace\n"
    "                prints only the least DiskSpace for the script: the bytes of\n"
    "                the source files it installs on the display that takes the\n"
    "                most, or, with --display, on that display\n";

std::string Atom(AtomHandle atom)
{
    char text[256];
    unsigned n = AtomGetName(atom, text, sizeof text);
    return std::string(text, n);
}

std::string Plural(unsigned n, const char* word)
{
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

std::string Summary(const std::string& script, const ScriptTarget& target)
{
    std::string s = script + ": valid on " + lint::DisplayWithArticle(target.displayClass) + " display under Windows " +
                    (target.windowsNt ? "NT " : "") + std::to_string(target.osMajor) + "." +
                    std::to_string(target.osMinor) + ". " + State.ProductName;
    if (State.ProductVersion[0]) s += std::string(" ") + State.ProductVersion;
    s += std::string(" (\"") + State.Caption + "\")";
    if (State.FontsOnly)
        s += ", fonts only";
    else
        s += std::string(", into ") + State.TargetDir;
    s += "; " + Plural(State.DiskCount, "disk") + ":";
    unsigned files = 0;
    for (unsigned d = 0; d < State.DiskCount; ++d) {
        s += std::string(d ? "," : "") + " \"" + Atom(State.Disks[d].NameAtom) + "\" " +
             Plural(State.Disks[d].FileCount, "file");
        files += State.Disks[d].FileCount;
    }
    unsigned fonts = 0, items = 0;
    while (fonts < MaxFonts && State.FontTable[fonts].FileAtom) ++fonts;
    while (items < MaxGroupItems && State.GroupItems[items].FileAtom) ++items;
    s += " (" + std::to_string(files) + " in all); " + Plural(fonts, "font") + "; ";
    s += State.GroupName[0] ? Plural(items, "group item") + " in \"" + State.GroupName + "\"" : "no group";
    if (State.SubdirCount)
        s += "; makes " + std::to_string(State.SubdirCount) + (State.SubdirCount == 1 ? " subdirectory" : " subdirectories");
    if (State.DeleteCount) s += "; deletes " + Plural(State.DeleteCount, "old file");
    if (State.ExitCount)
        s += "; first closes windows of " + std::to_string(State.ExitCount) +
             (State.ExitCount == 1 ? " class" : " classes");
    s += State.RunFile[0] ? std::string("; starts ") + State.RunFile : std::string("; starts nothing");
    s += State.UninstallName[0] ? std::string("; writes the uninstall entry \"") + State.UninstallName + "\""
                                : std::string("; writes no uninstall entry (no UninstallName)");
    return TextForTerminal(s) + ".";
}

} // namespace

int RunCheck(int argc, char** argv)
{
    ScriptTarget target;
    const char* script = nullptr;
    bool strict = false, withFiles = true, printDiskSpace = false, displayGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (a == "--display" && i + 1 < argc) {
            if (!ParseDisplayClass(argv[++i], &target.displayClass)) {
                std::fprintf(stderr, "kivpack check: unknown display class '%s'\n", argv[i]);
                return 2;
            }
            displayGiven = true;
        } else if (a == "--windows" && i + 1 < argc) {
            if (!ParseWindowsVersion(argv[++i], &target.osMajor, &target.osMinor)) {
                std::fprintf(stderr, "kivpack check: '%s' is not a version MAJOR.MINOR\n", argv[i]);
                return 2;
            }
        } else if (a == "--strict") {
            strict = true;
        } else if (a == "--nt") {
            target.windowsNt = true;
        } else if (a == "--no-files") {
            withFiles = false;
        } else if (a == "--print-diskspace") {
            printDiskSpace = true;
        } else if (a[0] == '-' || script) {
            std::fputs(Usage, stderr);
            return 2;
        } else {
            script = argv[i];
        }
    }
    if (!script || (printDiskSpace && !withFiles)) {
        if (script) std::fputs("kivpack check: --print-diskspace needs the source files; leave out --no-files\n", stderr);
        std::fputs(Usage, stderr);
        return 2;
    }
    unsigned fault = LoadScript(script, target);
    std::string summary = fault ? std::string() : Summary(script, target);
    ReleaseScriptTables();
    if (fault) std::fprintf(stderr, "%s\n", FaultLine(script, fault).c_str());

    // What the loader lets through but the installation cannot carry out.
    PayloadPlan plan;
    std::string error;
    bool planned = !fault && PlanPayload(script, target, plan, error, PlanChecks::LoaderOnly);
    if (!fault && !planned) std::fprintf(stderr, "%s\n", error.c_str());
    std::vector<lint::Finding> errors;
    if (planned) {
        errors = lint::InstallationErrors(plan);
        if (withFiles)
            for (lint::Finding& missing : lint::MissingSources(plan)) errors.push_back(missing);
        std::stable_sort(errors.begin(), errors.end(),
                         [](const lint::Finding& a, const lint::Finding& b) { return a.line < b.line; });
    }
    for (const lint::Finding& e : errors) std::fprintf(stderr, "%s\n", TextForTerminal(e.text).c_str());
    bool failed = fault || !planned || !errors.empty();

    if (printDiskSpace) {
        if (failed) return 1;
        lint::InstalledBytes bytes = lint::CountInstalledBytes(plan);
        if (!bytes.known) return CommandFailed(script + std::string(": ") + bytes.problem);
        std::printf("%llu\n", (unsigned long long)lint::DiskSpaceFigure(bytes, displayGiven ? (int)target.displayClass : -1));
        return 0;
    }
    if (!failed) std::printf("%s\n", summary.c_str());
    unsigned warnings = fault == ScriptTextFault ? 0 : lint::ReportWarnings(target, withFiles, planned ? &plan : nullptr);
    // The uninstaller's and the help file's warnings are advice about files
    // beside the script, which a script is often checked without; --strict
    // leaves them out.
    if (planned) {
        std::string warning = UninstallerWarning(script, plan);
        if (!warning.empty()) std::fprintf(stderr, "%s\n", warning.c_str());
    }
    if (planned && withFiles) {
        HelpFileReport help = InspectHelpFile(plan);
        if (help.found) PrintHelpWarnings(help);
        // The image of 'kivpack build': the least its files can take.
        uint64_t expanded = 0, smallest = 0;
        kivpack::os::FileStatus status;
        for (const PayloadFile& f : plan.files) {
            std::string path = FindSourceFile(plan, f.disk, f.sourceName);
            if (path.empty() || !kivpack::os::Status(path, status)) continue;
            expanded += status.size;
            smallest += SzddSmallestSize(status.size);
        }
        if (smallest > kivpack::kMaxLoadableImage) {
            std::fprintf(stderr, "%s\n",
                         TooLargeForOneInstaller(std::string(script) + ": warning: 'kivpack build' would refuse it",
                                                 plan.files.size(), expanded, smallest, true).c_str());
            ++warnings;
        }
    }
    return failed ? 1 : lint::WarningExit(warnings, strict);
}
