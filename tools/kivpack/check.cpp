// kivpack check: the installer's verdict on a script, before anything is
// packed.
#include <cstdio>
#include <cstring>
#include <string>
#include "platform/platform.h"
#include "script/installer_state.h"
#include "script/loader.h"
#include "tools/kivpack/commands.h"
#include "tools/kivpack/lint/script_lint.h"
#include "tools/kivpack/help_text.h"
#include "tools/kivpack/payload.h"
#include "tools/kivpack/script_reader.h"
#include "tools/kivpack/text_encoding.h"
#include "tools/kivpack/uninstaller.h"

namespace {

const char Usage[] =
    "usage: kivpack check SCRIPT [--display ega|vga|8514] [--windows MAJOR.MINOR] [--nt] [--strict]\n"
    "\n"
    "Reads SCRIPT as the installer would on the given display class and Windows\n"
    "version (default: VGA, Windows 4.0 of the Windows 95 family; --nt for Windows\n"
    "NT). Prints a summary and exits 0 when the script is valid; otherwise prints\n"
    "the installer's own message for the first fault, its line and the reason,\n"
    "and exits 1. Warnings name what the installer would read past or cut\n"
    "without a word; with --strict any of those makes the exit code 1. It also\n"
    "warns, still exiting 0, when the help file is missing, is not a Windows\n"
    "Help file, or has no topic for the readme (3904) or for the start dialog.\n";

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

void PrintSummary(const std::string& script, const ScriptTarget& target)
{
    static const char* const Displays[] = {"EGA", "VGA", "8514"};
    std::string s = script + ": valid on a " + Displays[target.displayClass] + " display under Windows " +
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
    std::printf("%s.\n", TextForTerminal(s).c_str());
}

// Warnings only: the script is valid, and the installer runs without help.
void WarnAboutHelpFile(const std::string& script, const ScriptTarget& target)
{
    PayloadPlan plan;
    std::string error;
    if (PlanPayload(script, target, plan, error)) PrintHelpWarnings(InspectHelpFile(plan));
}

} // namespace

int RunCheck(int argc, char** argv)
{
    ScriptTarget target;
    const char* script = nullptr;
    bool strict = false;
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
        } else if (a == "--windows" && i + 1 < argc) {
            if (!ParseWindowsVersion(argv[++i], &target.osMajor, &target.osMinor)) {
                std::fprintf(stderr, "kivpack check: '%s' is not a version MAJOR.MINOR\n", argv[i]);
                return 2;
            }
        } else if (a == "--strict") {
            strict = true;
        } else if (a == "--nt") {
            target.windowsNt = true;
        } else if (a[0] == '-' || script) {
            std::fputs(Usage, stderr);
            return 2;
        } else {
            script = argv[i];
        }
    }
    if (!script) {
        std::fputs(Usage, stderr);
        return 2;
    }
    unsigned fault = LoadScript(script, target);
    if (fault)
        std::fprintf(stderr, "%s\n", FaultLine(script, fault).c_str());
    else
        PrintSummary(script, target);
    ReleaseScriptTables();
    unsigned warnings = fault == ScriptTextFault ? 0 : lint::ReportWarnings(target);
    // The uninstaller's and the help file's warnings are advice about files
    // beside the script, which a script is often checked without; --strict
    // leaves them out.
    PayloadPlan plan;
    std::string warning, error;
    if (!fault && PlanPayload(script, target, plan, error)) warning = UninstallerWarning(script, plan);
    if (!warning.empty()) std::fprintf(stderr, "%s\n", warning.c_str());
    if (!fault) WarnAboutHelpFile(script, target);
    return fault ? 1 : lint::WarningExit(warnings, strict);
}
