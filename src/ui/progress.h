// The progress dialog (2100) of the install run, the wait cursor of its
// closing steps and the message pump that keeps the dialog alive.
#pragma once
#include <windows.h>

// The modeless progress dialog. Cancel, Esc and the close box post a quit
// message while the Cancel button is enabled, and nothing once it is
// disabled; that quit message is the whole cancel signal.
INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// on: the wait cursor, and the mouse captured for `window`; off: the cursor
// that was replaced, and the capture released (`window` unused). Calls come
// in on/off pairs and are not nested.
void SetBusyCursor(HWND window, int on);

// Dispatches every queued message (the progress dialog's through the dialog
// manager) without waiting. Returns 1 when it took a quit message from the
// queue, which the message is then gone from; 0 when the queue ran empty.
unsigned short PumpMessages();
