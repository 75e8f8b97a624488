#include "tools/kivpack/script_reader.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "platform/host/host_platform.h"
#include "platform/text.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"
#include "script/keywords.h"
#include "script/loader.h"
#include "tools/kivpack/lint/script_lint.h"
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/text_encoding.h"

namespace {

// The message texts of the dialogs that report script faults, as the
// installer's templates hold them (a unit test compares them with
// kivinstall.rc).
const char* DialogFormat(unsigned dialog)
{
    switch (dialog) {
    case IDD_BAD_LINE: return "The above line from %s contains an error; installation will be aborted.";
    case IDD_MISSING_KEY: return "The \"%s=\" line is missing from the \"[%s]\" section of INSTALL.INI.";
    case IDD_CANNOT_OPEN_SCRIPT: return "Unable to open %s";
    case IDD_OUT_OF_MEMORY: return "Out of memory; installation will be aborted.";
    case IDD_TOO_MANY_DISKS: return "You cannot have more than %u installation disks.";
    case IDD_WINDOWS_TOO_OLD:
        return "%s requires Windows version %u.%u or later. You cannot install it under Windows %u.%u.";
    }
    return "Unknown fault %u";
}

} // namespace

unsigned LoadScript(const std::string& scriptPath, const ScriptTarget& target)
{
    ResetInstallerState();
    std::string path = kivpack::os::AbsolutePath(scriptPath);
    std::string dir = kivpack::os::DirectoryOf(path);
    std::string name = kivpack::os::BaseName(path);
    if (dir.empty()) dir = "./";
    if (!lint::PrepareScript(scriptPath, path)) return ScriptTextFault;
    HostSetScriptFileName(name.c_str());
    TextCopy(State.SourceDir, sizeof State.SourceDir, dir.c_str());
    TextCopy(State.WindowsDir, sizeof State.WindowsDir, "C:\\WINDOWS\\");
    TextCopy(State.SystemDir, sizeof State.SystemDir, "C:\\WINDOWS\\SYSTEM\\");
    TextCopy(State.System32Dir, sizeof State.System32Dir, "C:\\WINDOWS\\SYSTEM32\\");
    State.OsMajor = target.osMajor;
    State.OsMinor = target.osMinor % 10 == 0 ? target.osMinor / 10 : target.osMinor;
    State.PlatformKind = target.windowsNt ? PlatformWinNt : PlatformWin95;
    State.ShellFlags = target.windowsNt ? (ShellWindowsNt | (target.osMajor < 4 ? ShellProgramManager : ShellNew))
                                        : ShellNew;
    TextCopy(State.FontsDir, sizeof State.FontsDir,
             (State.ShellFlags & ShellNew) ? "C:\\WINDOWS\\FONTS\\" : "C:\\WINDOWS\\SYSTEM\\");
    State.DisplayClass = target.displayClass;
    State.DisplayMask = 1u << target.displayClass;
    return ReadInstallScript();
}

std::string FaultLine(const std::string& scriptPath, unsigned dialog)
{
    char message[WorkBufferSize];
    std::string where;
    if (dialog == ScriptTextFault) {
        const TextConversion& c = lint::CurrentScript().conversion;
        return scriptPath + ":" + std::to_string(c.badLine) + ": " + c.problem +
               "; the installer's text is code page 1252";
    }
    lint::FaultReason reason = lint::ExplainFault(dialog);
    std::string at = scriptPath + (reason.line ? ":" + std::to_string(reason.line) : std::string()) + ": ";
    switch (dialog) {
    case IDD_BAD_LINE:
        FormatText(message, sizeof message, DialogFormat(dialog), State.ScriptPath);
        where = std::string("[") + State.CurrentSection + "] " + State.MessageArg + ": ";
        break;
    case IDD_MISSING_KEY:
        FormatText(message, sizeof message, DialogFormat(dialog), KeyNames[State.CurrentKey],
                   State.CurrentSection);
        where = std::string("[") + State.CurrentSection + "] " + KeyNames[State.CurrentKey] + "=: ";
        break;
    case IDD_CANNOT_OPEN_SCRIPT:
        FormatText(message, sizeof message, DialogFormat(dialog), State.MessageArg);
        break;
    case IDD_TOO_MANY_DISKS: FormatText(message, sizeof message, DialogFormat(dialog), 32u); break;
    case IDD_WINDOWS_TOO_OLD:
        FormatText(message, sizeof message, DialogFormat(dialog), State.ProductName,
                   (unsigned)State.RequiredWinMajor, (unsigned)State.RequiredWinMinor,
                   (unsigned)State.OsMajor, (unsigned)State.OsMinor);
        break;
    default: FormatText(message, sizeof message, DialogFormat(dialog), dialog); break;
    }
    char id[32];
    std::snprintf(id, sizeof id, " (dialog %u)", dialog);
    std::string verdict = at + TextForTerminal(where + message) + id;
    return reason.reason.empty() ? verdict : verdict + "\n" + at + TextForTerminal(reason.reason);
}

bool ParseDisplayClass(const std::string& text, unsigned* displayClass)
{
    for (unsigned i = 0; i < 3; ++i)
        if (TextEqualNoCase(text.c_str(), FlagKeywords[i])) {
            *displayClass = i;
            return true;
        }
    return false;
}

bool ParseWindowsVersion(const std::string& text, int* major, int* minor)
{
    int a = 0, b = 0, used = 0;
    if (std::sscanf(text.c_str(), "%d.%d%n", &a, &b, &used) != 2 || used != (int)text.size() || a < 0 ||
        b < 0)
        return false;
    *major = a;
    *minor = b;
    return true;
}
