// The uninstaller's dialogs. Control 1001 of each template holds the format
// of its message, completed here from the installer state; the title and the
// placement are those of the installer's dialogs (the installer's dialog
// engine is not linked: its table would bring every installer dialog along).
#include <windows.h>
#include "platform/text.h"
#include "resources/kivformat.h"
#include "resources/kivuninst.h"
#include "script/installer_state.h"
#include "uninstall/uninstaller.h"

namespace {

// The system's text for LastError and the file concerned, as dialog 1300 of
// the installer words it.
void FormatRemovalError(char* text)
{
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, 0, State.LastError,
                                  LANG_USER_DEFAULT, text, WorkBufferSize, 0);
    if (length == 0) FormatText(text, WorkBufferSize, "System error %lu.\r\n", (unsigned long)State.LastError);
    TextAppend(text, WorkBufferSize, "\nFilename: ");
    TextAppend(text, WorkBufferSize, State.CopyErrorPath);
}

// The script's Caption as the title; centred across the screen, a quarter of
// the free height from the top. The icons are the system's, which a static
// control whose icon the module lacks shows in its place.
void PlaceDialog(HWND dialog)
{
    SetWindowTextA(dialog, State.Caption);
    RECT frame = {0, 0, 0, 0};
    GetWindowRect(dialog, &frame);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 4;
    SetWindowPos(dialog, 0, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetForegroundWindow(dialog);
}

INT_PTR CALLBACK UninstallDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        char format[PathSize];
        format[0] = 0;
        GetDlgItemTextA(dialog, CTRL_MESSAGE, format, sizeof format);
        char* text = State.WorkBuffer;
        switch (lParam) {
        case IDD_CONFIRM_REMOVAL:
            FormatText(text, WorkBufferSize, format, State.ProductName);
            break;
        case IDD_NOT_AN_INSTALLATION:
            FormatText(text, WorkBufferSize, format, State.TargetDir);
            break;
        case IDD_UNINSTALL_SCRIPT_FAULT:
            FormatText(text, WorkBufferSize, format, State.ScriptPath);
            break;
        case IDD_COPY_ERROR:
            FormatRemovalError(text);
            break;
        }
        SetDlgItemTextA(dialog, CTRL_MESSAGE, text);
        PlaceDialog(dialog);
        return TRUE;
    }
    case WM_COMMAND:
        if (wParam == IDOK || wParam == IDCANCEL) {
            EndDialog(dialog, wParam == IDOK);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

}  // namespace

int ShowUninstallDialog(unsigned short id)
{
    INT_PTR r = DialogBoxParamA((HINSTANCE)State.Instance, MAKEINTRESOURCEA(id), 0, UninstallDialogProc, id);
    return r == 1;
}
