// What the installation told the system, undone: the fonts' registration and
// files, and the product's items of the Program Manager group (the taskbar
// folder on the new shell), with the group when nothing else is left in it.
#include <windows.h>
#include <ddeml.h>
#include "engine/closing_steps.h"
#include "engine/transfer.h"
#include "integration/font_names.h"
#include "integration/progman.h"
#include "integration/progman_commands.h"
#include "platform/text.h"
#include "script/installer_state.h"
#include "uninstall/removal_rules.h"
#include "uninstall/uninstaller.h"

namespace {

FontRowText Row;

// How long the shell may take over the deletion of the group. The command is
// waited for, unlike the installer's, because the uninstaller ends soon after.
const DWORD GroupCommandTimeLimit = 10000;

// Fills Row for font table row `row`; 0 when the row ends the table or names
// a file that leaves the fonts directory.
int PrepareRow(unsigned row, int* end)
{
    const FontEntry& entry = State.FontTable[row];
    *end = !entry.FileAtom || !entry.NameAtom;
    if (*end) return 0;
    char name[FontNameSize], file[PathSize];
    AtomGetName(entry.NameAtom, name, sizeof name);
    AtomGetName(entry.FileAtom, file, sizeof file);
    if (!IsContainedName(file)) return 0;
    return PrepareFontRow(Row, name, file, State.FontsDir, (State.ShellFlags & ShellProgramManager) != 0);
}

void SendGroupCommand(HCONV conversation)
{
    DdeClientTransaction((LPBYTE)State.WorkBuffer, (DWORD)lstrlenA(State.WorkBuffer) + 1, conversation, 0, CF_TEXT,
                         XTYP_EXECUTE, GroupCommandTimeLimit, 0);
}

// Entries of `folder` other than "." and "..", and the shell's own
// desktop.ini; -1 when the folder is not there.
int FolderEntries(const char* folder)
{
    char pattern[PathSize];
    if (FormatText(pattern, sizeof pattern, "%s\\*.*", folder) >= sizeof pattern - 1) return -1;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES ? -1 : 0;
    int count = 0;
    do {
        const char* n = found.cFileName;
        if (!TextEqual(n, ".") && !TextEqual(n, "..") && !TextEqualNoCase(n, "desktop.ini")) ++count;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

// How many entries the group still holds: 0 when it is empty or not there,
// -1 when that cannot be told. The new shell keeps a group as a folder of the
// user's or of everybody's programs folder, which the shell names in the
// registry.
int GroupItemsLeft()
{
    if (!IsContainedName(State.GroupName)) return -1;
    static const char ShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    static const HKEY Roots[2] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
    static const char* const Values[2] = {"Programs", "Common Programs"};
    int known = 0, left = 0;
    for (unsigned i = 0; i < 2; ++i) {
        HKEY key;
        if (RegOpenKeyA(Roots[i], ShellFolders, &key) != ERROR_SUCCESS) continue;
        char folder[PathSize];
        DWORD size = sizeof folder - 1;
        DWORD type = 0;
        LONG r = RegQueryValueExA(key, Values[i], 0, &type, (BYTE*)folder, &size);
        RegCloseKey(key);
        if (r != ERROR_SUCCESS || type != REG_SZ || !size) continue;
        folder[size] = 0;
        known = 1;
        TextAppend(folder, sizeof folder, "\\");
        if (TextAppend(folder, sizeof folder, State.GroupName) >= sizeof folder - 1) return -1;
        const int n = FolderEntries(folder);
        if (n > 0) left += n;
    }
    return known ? left : -1;
}

}  // namespace

int RemoveFonts()
{
    int end = 0;
    // WIN.INI [fonts] first, so that the broadcast of the release below tells
    // every program of the whole change. The registry values of the new shell
    // go with the release itself.
    if (State.ShellFlags & ShellProgramManager)
        for (unsigned row = 0; row < MaxFonts && !end; ++row)
            if (PrepareRow(row, &end)) WriteProfileStringA("fonts", Row.Name, 0);
    InstallFonts(FontsRelease);
    end = 0;
    for (unsigned row = 0; row < MaxFonts && !end; ++row) {
        if (!PrepareRow(row, &end)) continue;
        if (!RemoveFileWithRetry(Row.Path)) return 0;
        char path[PathSize];
        if (Row.TrueType[0] && DirectoryPath(path, DirFonts, Row.TrueType) && !RemoveFileWithRetry(path)) return 0;
    }
    return 1;
}

int DeleteProgramGroup()
{
    if (!State.GroupName[0]) return 0;
    if (!State.DdeInstance) {
        DWORD instance = 0;
        if (DdeInitializeA(&instance, DdeCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return 1;
        State.DdeInstance = instance;
    }
    HSZ service = DdeCreateStringHandleA(State.DdeInstance, "PROGMAN", CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(State.DdeInstance, "PROGMAN", CP_WINANSI);
    HCONV conversation = service && topic ? DdeConnect(State.DdeInstance, service, topic, 0) : 0;
    int kept = 1;
    if (conversation) {
        // The items this product's script made, each by its title in the
        // group; then the group, only when nothing else is left in it.
        // ShowGroup takes a show command as well (7: minimised, not
        // activated); a shell that refuses the command without it leaves no
        // group chosen, and its DeleteItem then has no group to act on.
        FormatText(State.WorkBuffer, WorkBufferSize, "[ShowGroup(%s,7)]", State.GroupName);
        SendGroupCommand(conversation);
        for (unsigned row = 0; row < MaxGroupItems; ++row) {
            const GroupItem& item = State.GroupItems[row];
            if (!item.FileAtom || !item.DescAtom) break;
            char title[ItemTitleSize];
            if (!ItemRunsOn(item.PlatformMask, State.PlatformKind) || !AtomGetName(item.DescAtom, title, sizeof title))
                continue;
            FormatText(State.WorkBuffer, WorkBufferSize, "[DeleteItem(%s)]", title);
            SendGroupCommand(conversation);
        }
        const int left = GroupItemsLeft();
        if (left == 0) {
            FormatDeleteGroupCommand(State.WorkBuffer, WorkBufferSize, State.GroupName);
            SendGroupCommand(conversation);
        }
        kept = left != 0;
        DdeDisconnect(conversation);
    }
    if (topic) DdeFreeStringHandle(State.DdeInstance, topic);
    if (service) DdeFreeStringHandle(State.DdeInstance, service);
    return kept;
}
