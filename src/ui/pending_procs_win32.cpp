// Stand-ins for the procedures of the directory dialogs (1700, 1800, 2400,
// 2401) and the completion dialogs (2202, 2203), which their own modules
// replace: whoever defines one of them removes it here. Until then these
// dialogs open as plain message dialogs whose buttons end them.
#include <windows.h>
#include "ui/dialogs.h"

INT_PTR CALLBACK DirectoryDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return MessageDialogProc(dialog, message, wParam, lParam);
}

INT_PTR CALLBACK CompletionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return MessageDialogProc(dialog, message, wParam, lParam);
}
