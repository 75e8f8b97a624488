// The hidden main window: the mark by which a second installer finds the
// first, the target of help requests and the owner of the help viewer. It
// installs the F1 hook when it is created and removes it when destroyed.
#pragma once
#include <windows.h>

extern const char MainWindowClass[];

// Posted to the main window (both parameters 0) when a dialog sees F1.
const UINT WM_SHOWHELP = 0x0C00;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK HelpKeyHook(int code, WPARAM wParam, LPARAM lParam);
