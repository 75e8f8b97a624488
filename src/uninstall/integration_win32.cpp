// What the installation told the system, undone: the fonts' registration and
// files, and the Program Manager group (the taskbar folder on the new shell).
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

void DeleteProgramGroup()
{
    if (!State.GroupName[0]) return;
    if (!State.DdeInstance) {
        DWORD instance = 0;
        if (DdeInitializeA(&instance, DdeCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return;
        State.DdeInstance = instance;
    }
    HSZ service = DdeCreateStringHandleA(State.DdeInstance, "PROGMAN", CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(State.DdeInstance, "PROGMAN", CP_WINANSI);
    HCONV conversation = service && topic ? DdeConnect(State.DdeInstance, service, topic, 0) : 0;
    if (conversation) {
        FormatDeleteGroupCommand(State.WorkBuffer, WorkBufferSize, State.GroupName);
        DdeClientTransaction((LPBYTE)State.WorkBuffer, (DWORD)lstrlenA(State.WorkBuffer) + 1, conversation, 0,
                             CF_TEXT, XTYP_EXECUTE, GroupCommandTimeLimit, 0);
        DdeDisconnect(conversation);
    }
    if (topic) DdeFreeStringHandle(State.DdeInstance, topic);
    if (service) DdeFreeStringHandle(State.DdeInstance, service);
}
