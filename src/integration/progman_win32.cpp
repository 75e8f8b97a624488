// Program Manager groups through DDE. Nothing here is reported to the user:
// a shell that does not answer leaves the installation without a group. The
// DDE instance is started by the first CreateProgramGroup that needs it and
// lives until EndDde at shutdown; a conversation lives within one call.
#include <windows.h>
#include <ddeml.h>
#include "engine/closing_steps.h"
#include "engine/system_case_win32.h"
#include "integration/progman.h"
#include "integration/progman_commands.h"
#include "platform/text.h"
#include "script/installer_state.h"

// A client that only executes commands: it refuses every request for data and
// accepts everything else that the library asks.
HDDEDATA CALLBACK DdeCallback(UINT type, UINT format, HCONV conversation, HSZ string1, HSZ string2,
                              HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2)
{
    switch (type) {
    case XTYP_ADVREQ:
    case XTYP_REQUEST:
    case XTYP_WILDCONNECT:
    case XTYP_ADVDATA:
    case XTYP_EXECUTE:
    case XTYP_POKE:
        return 0;
    default:
        return (HDDEDATA)1;
    }
}

int SendProgmanCommand(void* conversation)
{
    HDDEDATA r = DdeClientTransaction((LPBYTE)State.WorkBuffer, (DWORD)lstrlenA(State.WorkBuffer) + 1,
                                      (HCONV)conversation, 0, CF_TEXT, XTYP_EXECUTE, TIMEOUT_ASYNC, 0);
    return r ? 1 : 0;
}

namespace {

void DeleteReplacedGroups(HCONV conversation)
{
    for (unsigned row = 0; row < State.OldGroupCount && row < MaxOldGroups; ++row) {
        const OldGroup& old = State.OldGroups[row];
        char version[OldVersionSize];
        char group[OldGroupNameSize];
        version[0] = 0;
        AtomGetName(old.VersionAtom, version, sizeof version);
        if (!OldGroupIsReplaced(version, old.GroupAtom != 0, State.ReplacedVersion, SystemCompareNoCase))
            continue;
        if (!AtomGetName(old.GroupAtom, group, sizeof group)) continue;
        FormatDeleteGroupCommand(State.WorkBuffer, WorkBufferSize, group);
        SendProgmanCommand(conversation);
    }
}

void AddItems(HCONV conversation)
{
    for (unsigned row = 0; row < MaxGroupItems; ++row) {
        const GroupItem& item = State.GroupItems[row];
        if (!item.FileAtom || !item.DescAtom) break;
        if (!ItemRunsOn(item.PlatformMask, State.PlatformKind)) continue;
        char file[ItemFileSize];
        char title[ItemTitleSize];
        char line[ItemCommandLineSize];
        if (!AtomGetName(item.FileAtom, file, sizeof file)) continue;
        AtomGetName(item.DescAtom, title, sizeof title);
        // A command line that does not fit would point at another file: the
        // item is left out instead.
        if (!BuildItemCommandLine(line, State.TargetDir, file, SystemLowerCase)) continue;
        FormatAddItemCommand(State.WorkBuffer, WorkBufferSize, line, title);
        SendProgmanCommand(conversation);
    }
}

}  // namespace

void CreateProgramGroup()
{
    // A group without items is not created, nor is an old one deleted.
    if (!State.GroupName[0] || !State.GroupItems[0].FileAtom || !State.GroupItems[0].DescAtom) return;
    SetDlgItemTextA((HWND)State.ProgressDialog, 1001, State.GroupItemsText);
    if (!State.DdeInstance) {
        DWORD instance = 0;
        if (DdeInitializeA(&instance, DdeCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return;
        State.DdeInstance = instance;
    }
    HSZ service = DdeCreateStringHandleA(State.DdeInstance, "PROGMAN", CP_WINANSI);
    HSZ topic = DdeCreateStringHandleA(State.DdeInstance, "PROGMAN", CP_WINANSI);
    HCONV conversation = 0;
    if (service && topic) conversation = DdeConnect(State.DdeInstance, service, topic, 0);
    if (conversation) {
        DeleteReplacedGroups(conversation);
        // The product's group is always rebuilt from nothing.
        FormatDeleteGroupCommand(State.WorkBuffer, WorkBufferSize, State.GroupName);
        SendProgmanCommand(conversation);
        FormatCreateGroupCommand(State.WorkBuffer, WorkBufferSize, State.GroupName);
        SendProgmanCommand(conversation);
        AddItems(conversation);
        DdeDisconnect(conversation);
    }
    if (topic) DdeFreeStringHandle(State.DdeInstance, topic);
    if (service) DdeFreeStringHandle(State.DdeInstance, service);
}

void EndDde()
{
    if (!State.DdeInstance) return;
    DdeUninitialize(State.DdeInstance);
    State.DdeInstance = 0;
}
