#include "startup/main_window.h"
#include "script/installer_state.h"
#include "ui/dialogs.h"

const char MainWindowClass[] = "KivInstallMain";

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        State.HelpHookProc = (void*)HelpKeyHook;
        State.HelpHook = SetWindowsHookExA(WH_MSGFILTER, HelpKeyHook, 0, GetCurrentThreadId());
        return 0;
    case WM_DESTROY:
        if (State.HelpHookProc && State.HelpHook) UnhookWindowsHookEx((HHOOK)State.HelpHook);
        State.HelpHook = 0;
        State.HelpHookProc = 0;
        WinHelpA(window, State.HelpPath, HELP_QUIT, 0);
        return 0;
    case WM_SHOWHELP:
        ShowContextHelp();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Dialog message loops call the message-filter hook with MSGF_DIALOGBOX, so
// F1 works in every dialog of the installer. Only a first press counts (bits
// 30 and 31 of lParam clear), not the auto-repeats of a held key.
LRESULT CALLBACK HelpKeyHook(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* msg = (const MSG*)lParam;
    if (code == MSGF_DIALOGBOX && msg && msg->message == WM_KEYDOWN && msg->wParam == VK_F1 &&
        !(msg->lParam & 0xC0000000)) {
        PostMessageA((HWND)State.MainWindow, WM_SHOWHELP, 0, 0);
        return 1;
    }
    return CallNextHookEx((HHOOK)State.HelpHook, code, wParam, lParam);
}
