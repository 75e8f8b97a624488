#include "integration/uninstall_values.h"
#include "platform/text.h"
#include "script/installer_state.h"
#include "ui/directory_text.h"

const char UninstallParentKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

namespace {

const char UninstallerName[] = "uninst.exe";

int IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

int JoinWithin(char* buffer, const char* first, const char* second, const char* third)
{
    if (TextLength(first) + TextLength(second) + TextLength(third) >= PathSize) {
        buffer[0] = 0;
        return 0;
    }
    TextCopy(buffer, PathSize, first);
    TextAppend(buffer, PathSize, second);
    TextAppend(buffer, PathSize, third);
    return 1;
}

}  // namespace

int BuildUninstallString(char* path, const char* targetDir, LowerCaseRule lower)
{
    if (!JoinWithin(path, targetDir, UninstallerName, "")) return 0;
    lower(path);
    return 1;
}

int BuildUninstallKeyPath(char* keyPath, const char* subkey)
{
    return JoinWithin(keyPath, UninstallParentKey, "\\", subkey);
}

int FormatUninstallCommand(char* command, const char* path)
{
    const unsigned length = TextLength(path);
    const int quoted = TextFindChar((char*)path, ' ') != 0;
    if (length + (quoted ? 2 : 0) >= PathSize) {
        command[0] = 0;
        return 0;
    }
    if (quoted)
        FormatText(command, PathSize, "\"%s\"", path);
    else
        TextCopy(command, PathSize, path);
    return 1;
}

unsigned UninstallCommandPath(char* path, const char* command)
{
    while (IsBlank(*command)) ++command;
    const char* end;
    if (*command == '"') {
        ++command;
        end = command;
        while (*end && *end != '"') ++end;
        if (!*end) {
            path[0] = 0;
            return 0;
        }
    } else {
        end = command + TextLength(command);
        while (end > command && IsBlank(end[-1])) --end;
    }
    if ((unsigned)(end - command) >= PathSize) {
        path[0] = 0;
        return 0;
    }
    return TextCopyCount(path, PathSize, command, (unsigned)(end - command));
}

int UninstallCommandNames(const char* command, const char* path, CompareNoCaseRule compare)
{
    char named[PathSize];
    return UninstallCommandPath(named, command) && !compare(named, path);
}

unsigned UninstallEntryValues(UninstallValue values[MaxUninstallValues], char* location, const char* name,
                              const char* command, const char* productVersion, const char* targetDir,
                              const char* icon, unsigned bytesWritten)
{
    unsigned n = 0;
    values[n++] = {"DisplayName", name, 0};
    values[n++] = {"UninstallString", command, 0};
    if (productVersion[0]) values[n++] = {"DisplayVersion", productVersion, 0};
    FormDirectoryFieldText(location, PathSize, targetDir);
    values[n++] = {"InstallLocation", location, 0};
    values[n++] = {"DisplayIcon", icon, 0};
    values[n++] = {"EstimatedSize", 0, (bytesWritten >> 10) + ((bytesWritten & 1023) != 0)};
    values[n++] = {"NoModify", 0, 1};
    values[n++] = {"NoRepair", 0, 1};
    return n;
}
