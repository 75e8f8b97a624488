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

// The progress dialog's painting during the file walk: the status line is
// painted as its text changes, the gauge at most once every few hundredths of
// a second, and the dialog's timer (ProgressPaintTimer) paints a change of
// the gauge that is left pending.
enum : UINT_PTR { ProgressPaintTimer = 1 };
const DWORD ProgressPaintInterval = 40;  // milliseconds: 25 paints a second
// Makes `text` the dialog's status line, painted before it returns.
void ShowProgressStatus(HWND dialog, const char* text);
// on: the file walk begins, whose paints of the gauge are spaced out; off: it
// has ended, and what is pending is painted now. Outside the walk every paint
// is due.
void ThrottleProgressPaint(int on);
// Whether a paint of the gauge is due now; ProgressPainted records one.
int ProgressPaintDue();
void ProgressPainted();
// Paints the gauge if its bar moved.
void PaintProgress();
