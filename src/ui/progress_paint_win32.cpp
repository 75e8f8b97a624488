// When the progress dialog paints during the file walk. A small file takes
// about a millisecond to put in place, and under Wine painting its status
// line and the gauge took nearly as long again, for a text that no one can
// read in that time. So every file's status text is stored in the control as
// it comes, but the status line and the gauge are painted only once
// ProgressPaintInterval has passed since their last paint; the dialog's
// timer paints whatever is still pending, so what the dialog shows while the
// walk waits (a message, a disk prompt) is never older than one interval.
// Outside the walk every paint happens at once.
#include "resources/kivformat.h"
#include "ui/gauge.h"
#include "ui/progress.h"

namespace {

DWORD LastPaint;
int Painted;
int Throttled;
// The status line whose text changed since it was last painted, and the
// dialog it belongs to (its handle is kept: asking the dialog for it on every
// file costs a round trip to the window system on some platforms).
HWND PendingLine;
HWND LineDialog, Line;

void PaintStatusLine()
{
    if (!PendingLine) return;
    InvalidateRect(PendingLine, 0, TRUE);
    UpdateWindow(PendingLine);
    PendingLine = 0;
}

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
    // The static control's own handling of WM_SETTEXT stores the text this
    // way and then paints at once; the text is what its next paint draws.
    DefWindowProcA(Line, WM_SETTEXT, 0, (LPARAM)text);
    PendingLine = Line;
    if (ProgressPaintDue()) PaintProgress();
}

void PaintProgress()
{
    PaintStatusLine();
    // The gauge paints only when due; the status line has just been painted
    // in the same moment, so the two are made due together.
    Painted = 0;
    RefreshGauge();
    ProgressPainted();
}
