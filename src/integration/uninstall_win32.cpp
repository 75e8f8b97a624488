// The uninstall entry of the new shell: its name and command, and what the
// list of removable programs shows beside them (version, location, icon,
// size) with neither Change nor Repair offered. Earlier entries that name the
// same uninstaller are removed first, so that installing again into one
// directory, under the same or another name, leaves exactly one entry.
// Nothing is reported: a key that cannot be opened, created or written is
// passed over.
#include <windows.h>
#include "engine/closing_steps.h"
#include "engine/system_case_win32.h"
#include "integration/uninstall_values.h"
#include "platform/text.h"
#include "script/installer_state.h"
#include "ui/dialogs.h"

namespace {

// Whether the entry at `keyPath` names `uninstaller`, with or without quotes
// around it. A value that is not there or does not fit 260 bytes with its
// terminator does not match; the value's type is not looked at, and data
// without a terminator gets one.
int EntryNamesUninstaller(const char* keyPath, const char* uninstaller)
{
    HKEY entry;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, keyPath, &entry) != ERROR_SUCCESS) return 0;
    char value[PathSize];
    DWORD size = sizeof value;
    LONG r = RegQueryValueExA(entry, "UninstallString", 0, 0, (BYTE*)value, &size);
    RegCloseKey(entry);
    if (r != ERROR_SUCCESS) return 0;
    if (size == 0 || value[size - 1] != 0) {
        if (size >= sizeof value) return 0;
        value[size] = 0;
    }
    return UninstallCommandNames(value, uninstaller, SystemCompareNoCase);
}

void RemoveEntriesFor(const char* uninstaller)
{
    HKEY parent;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, UninstallParentKey, &parent) != ERROR_SUCCESS) return;
    char subkey[PathSize];
    char keyPath[PathSize];
    for (DWORD index = 0; RegEnumKeyA(parent, index, subkey, sizeof subkey) == ERROR_SUCCESS;) {
        // After a deletion the following entries have moved down by one: the
        // same index names the next one.
        if (BuildUninstallKeyPath(keyPath, subkey) && EntryNamesUninstaller(keyPath, uninstaller) &&
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath) == ERROR_SUCCESS)
            continue;
        ++index;
    }
    RegCloseKey(parent);
}

}  // namespace

void RegisterUninstall()
{
    if (!State.UninstallName[0] || (State.ShellFlags & ShellProgramManager)) return;
    char uninstaller[PathSize];
    char command[PathSize];
    char keyPath[PathSize];
    if (!BuildUninstallString(uninstaller, State.TargetDir, SystemLowerCase)) return;
    // Quoted only when the path holds a blank: every other entry stays as it
    // always was.
    if (!FormatUninstallCommand(command, uninstaller)) return;
    if (!BuildUninstallKeyPath(keyPath, State.UninstallName)) return;
    RemoveEntriesFor(uninstaller);
    // The entry's icon is the product's own when [Run] names its program.
    char icon[PathSize];
    if (!State.RunFile[0] ||
        !FormRunProgramPath(icon, sizeof icon, State.TargetDir, State.RunFile, SplitProductRunFile()))
        TextCopy(icon, sizeof icon, uninstaller);
    UninstallValue values[MaxUninstallValues];
    char location[PathSize];
    const unsigned count = UninstallEntryValues(values, location, State.UninstallName, command, State.ProductVersion,
                                                State.TargetDir, icon, State.BytesWritten);
    HKEY entry;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, keyPath, &entry) != ERROR_SUCCESS) return;
    for (unsigned i = 0; i < count; ++i) {
        const UninstallValue& v = values[i];
        if (v.Text)
            RegSetValueExA(entry, v.Name, 0, REG_SZ, (const BYTE*)v.Text, (DWORD)lstrlenA(v.Text) + 1);
        else
            RegSetValueExA(entry, v.Name, 0, REG_DWORD, (const BYTE*)&v.Number, sizeof v.Number);
    }
    RegCloseKey(entry);
}
