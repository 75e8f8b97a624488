// The completion dialog in front of the shell's group window.
//
// Creating the group makes the shell open the group's window: a folder
// window titled with the group's name on the new shell, the group inside
// Program Manager's frame on the old one. The shell opens it a moment after
// the commands, on its own schedule, mostly after the completion dialog is
// up, and the new window takes the front and the keyboard: the user would
// see a folder and not the question.
//
// So while the shell may still be opening that window, the completion
// dialog takes the front back from it: the activation once per group
// window (a user who then activates it by hand keeps it), and its place on
// top for as long as it is the active window, since the shell raises its
// new window again after activating it. A short timer watches for that,
// for the first seconds of the dialog only; it is the installer's one timer.
#include <windows.h>
#include "platform/text.h"
#include "script/installer_state.h"
#include "ui/dialogs.h"

namespace {

// Posted to the dialog when it has lost the activation; by the time it
// arrives the window that took it is the foreground window.
const UINT ReclaimFront = WM_APP + 0x2560;
const UINT_PTR WatchTimer = 0x2560;
const UINT WatchMs = 250;
const unsigned WatchTicks = 24;  // six seconds

HWND CompletionWindow;
HWND ReclaimedFrom;
unsigned TicksLeft;

// Whether `window` is the group window that the shell opened: Program
// Manager's frame, or a folder window whose caption is the group's name,
// alone or as the end of the folder's full path, of another process.
bool IsGroupWindow(HWND window)
{
    // The installer's own windows, such as dialog 2200 over the completion
    // dialog, are never the shell's, whatever their caption.
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) return false;
    char text[PathSize];
    if (GetClassNameA(window, text, sizeof text) && TextEqualNoCase(text, "Progman")) return true;
    if (!State.GroupName[0]) return false;
    const unsigned length = (unsigned)GetWindowTextA(window, text, sizeof text);
    const unsigned name = TextLength(State.GroupName);
    if (length < name || length >= sizeof text) return false;
    if (length > name && text[length - name - 1] != '\\') return false;
    return TextEqualNoCase(text + length - name, State.GroupName) != 0;
}

// Systems after Windows 95 and NT 4.0 let only the process that owns the
// foreground give it away. When a plain request is refused, the dialog
// borrows the input state of the foreground window's thread and asks
// again; that is not done first, since Wine then leaves no window in front.
void TakeForeground(HWND dialog)
{
    SetForegroundWindow(dialog);
    HWND front = GetForegroundWindow();
    if (front && front != dialog) {
        const DWORD own = GetCurrentThreadId();
        const DWORD other = GetWindowThreadProcessId(front, 0);
        if (other && other != own && AttachThreadInput(own, other, TRUE)) {
            SetForegroundWindow(dialog);
            AttachThreadInput(own, other, FALSE);
        }
    }
    SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

// The first visible top-level window above the dialog, or 0.
HWND WindowAbove(HWND dialog)
{
    HWND above = GetWindow(dialog, GW_HWNDPREV);
    while (above && !IsWindowVisible(above)) above = GetWindow(above, GW_HWNDPREV);
    return above;
}

} // namespace

void KeepInFront(HWND dialog)
{
    CompletionWindow = dialog;
    ReclaimedFrom = 0;
    TicksLeft = SetTimer(dialog, WatchTimer, WatchMs, 0) ? WatchTicks : 0;
}

int KeepInFrontMessage(HWND dialog, UINT message, WPARAM wParam)
{
    if (!dialog || dialog != CompletionWindow) return 0;
    switch (message) {
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE && TicksLeft) PostMessageA(dialog, ReclaimFront, 0, 0);
        return 0;  // the dialog manager still saves and restores the focus
    case WM_DESTROY:
        if (TicksLeft) KillTimer(dialog, WatchTimer);
        CompletionWindow = 0;
        return 0;
    case ReclaimFront: {
        HWND front = GetForegroundWindow();
        if (front && front != dialog && front != ReclaimedFrom && IsGroupWindow(front)) {
            ReclaimedFrom = front;
            TakeForeground(dialog);
        }
        return 1;
    }
    case WM_TIMER: {
        if (wParam != WatchTimer) return 0;
        HWND above = WindowAbove(dialog);
        if (GetForegroundWindow() == dialog && above && IsGroupWindow(above))
            SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        if (TicksLeft && --TicksLeft == 0) KillTimer(dialog, WatchTimer);
        return 1;
    }
    }
    return 0;
}
