// The progress dialog, the wait cursor and the message pump. The install run
// drives the work; the dialog only turns a press of its enabled Cancel button
// into a quit message, which the run sees at its next PumpMessages.
#include "ui/progress.h"
#include "script/installer_state.h"
#include "ui/dialogs.h"

namespace {

// The icon control of the template carries id 0xFFFF and the ordinal of the
// system's information icon; a system whose static control does not fall
// back to the system icons leaves it empty.
void FillInformationIcon(HWND dialog)
{
    HWND icon = GetDlgItem(dialog, 0xFFFF);
    if (icon && !SendMessageA(icon, STM_GETICON, 0, 0))
        SendMessageA(icon, STM_SETICON, (WPARAM)LoadIconA(0, (LPCSTR)IDI_ASTERISK), 0);
}

} // namespace

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        FillInformationIcon(dialog);
        PrepareDialogWindow(dialog);
        SetTimer(dialog, ProgressPaintTimer, ProgressPaintInterval, 0);
        return TRUE;
    case WM_TIMER:
        if (wParam != ProgressPaintTimer) return FALSE;
        if (ProgressPaintDue()) PaintProgress();
        return TRUE;
    case WM_COMMAND:
        // A click on Cancel, Esc through the dialog manager and the close box
        // all arrive as exactly IDCANCEL.
        if (wParam == IDCANCEL) {
            if (IsWindowEnabled(GetDlgItem(dialog, IDCANCEL))) PostQuitMessage(0);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void SetBusyCursor(HWND window, int on)
{
    if (on) {
        SetCapture(window);
        State.SavedCursor = SetCursor(LoadCursorA(0, (LPCSTR)IDC_WAIT));
    } else {
        SetCursor((HCURSOR)State.SavedCursor);
        ReleaseCapture();
    }
}

unsigned short PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) return 1;
        HWND dialog = (HWND)State.ProgressDialog;
        if (dialog && IsDialogMessageA(dialog, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
