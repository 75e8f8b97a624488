#include "integration/uninstall_values.h"
#include "platform/text.h"
#include "script/installer_state.h"

const char UninstallParentKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

namespace {

const char UninstallerName[] = "uninst.exe";

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
