// The exit list and the delete list: running copies of the product are asked
// to close before any file is replaced, and files that the new version no
// longer needs are deleted at the end of a successful run. Neither pass
// reports anything; each uses up its list.
#include <windows.h>
#include "engine/closing_steps.h"
#include "engine/closing_values.h"
#include "engine/system_case_win32.h"
#include "engine/transfer.h"
#include "platform/text.h"
#include "script/installer_state.h"

namespace {

// How long one window may take over WM_CLOSE. A product that asks the user a
// question before it closes gets this long for the answer; a hung one is not
// waited for at all (SMTO_ABORTIFHUNG). Either way the transfer that follows
// finds the files still in use and offers Retry.
const UINT CloseTimeLimit = 10000;

}  // namespace

void CloseRunningCopies()
{
    // Rows are handled from the last line of the section to the first. Each
    // closes at most one window, the first of its class that FindWindowA
    // finds; a second copy of the same class stays open.
    for (unsigned row = State.ExitCount; row-- > 0;) {
        const ExitEntry& entry = State.ExitList[row];
        char className[NameSize];
        char titles[NameSize];
        if (!AtomGetName(entry.ClassAtom, className, sizeof className)) continue;
        titles[0] = 0;
        if (entry.TitlesAtom) AtomGetName(entry.TitlesAtom, titles, sizeof titles);
        HWND window = FindWindowA(className, 0);
        if (!window) continue;
        char windowText[NameSize];
        windowText[0] = 0;
        if (titles[0] && GetWindowTextA(window, windowText, sizeof windowText) <= 0) windowText[0] = 0;
        if (!ExitTitlesMatch(windowText, titles, SystemCompareNoCase)) continue;
        DWORD_PTR result;
        SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, CloseTimeLimit, &result);
    }
    State.ExitCount = 0;
}

void ProcessDeleteList()
{
    char name[PathSize];
    char path[PathSize];
    for (unsigned row = State.DeleteCount; row-- > 0;) {
        const DeleteEntry& entry = State.DeleteList[row];
        if (!AtomGetName(entry.NameAtom, name, sizeof name)) continue;
        // A directory and name that do not fit together name no file of ours.
        if (!DirectoryPath(path, entry.DirKind, name)) continue;
        DeleteFileQuietly(path);
    }
    State.DeleteCount = 0;
}
