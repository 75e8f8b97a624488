// When the progress dialog paints during the file walk. The status line is
// painted as its text changes: a file's description is on the screen as its
// copy begins, however long that copy takes and however soon after the last
// paint it starts. The gauge is refreshed after every chunk the transfer
// writes, which for a small file comes about a millisecond after the last;
// under Wine a paint of it took nearly as long again. So the gauge alone is
// painted at most once every ProgressPaintInterval, and the dialog's timer
// paints a change that is still pending, so that what the dialog shows while
// the walk waits (a message, a disk prompt) is never older than one interval.
// Outside the walk every paint happens at once.
#include "resources/kivformat.h"
#include "ui/gauge.h"
#include "ui/progress.h"

namespace {

DWORD LastPaint;
int Painted;
int Throttled;
// The status line and the dialog it belongs to (its handle is kept: asking
// the dialog for it on every file costs a round trip to the window system on
// some platforms).
HWND LineDialog, Line;

} // namespace

int ProgressPaintDue()
{
    return !Throttled || !Painted || GetTickCount() - LastPaint >= ProgressPaintInterval;
}

void ThrottleProgressPaint(int on)
{
    Throttled = 0;
    if (!on) PaintProgress();
    Throttled = on;
}

void ProgressPainted()
{
    LastPaint = GetTickCount();
    Painted = 1;
}

void ShowProgressStatus(HWND dialog, const char* text)
{
    if (dialog != LineDialog || !IsWindow(Line)) {
        LineDialog = dialog;
        Line = GetDlgItem(dialog, CTRL_MESSAGE);
    }
    if (!Line) return;
    // The text goes in as the static control's own handling of WM_SETTEXT
    // stores it, and is painted through the line's update region before this
    // returns, whether or not a system's static control paints on WM_SETTEXT.
    DefWindowProcA(Line, WM_SETTEXT, 0, (LPARAM)text);
    InvalidateRect(Line, 0, TRUE);
    UpdateWindow(Line);
}

void PaintProgress()
{
    Painted = 0;
    RefreshGauge();
    ProgressPainted();
}
