// The gauge paints the share of bytes copied as a filled bar with the
// percentage over it. Every paint reads the installer state. A paint is cheap
// (no erase, no off-screen bitmap, two text calls that also fill the bar),
// since the gauge is refreshed after every chunk the file transfer writes;
// a refresh that would paint the same bar and text as the last paint is
// skipped, which on a large installation is most of them.
#include "ui/gauge.h"
#include "platform/text.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"
#include "ui/gauge_geometry.h"
#include "ui/progress.h"

const char GaugeWindowClass[] = "KivInstallGauge";

namespace {

// What the last refresh painted over the whole gauge; Painted is false until
// the first. A paint the system asks for may cover only part of the gauge,
// so it is not recorded here.
struct PaintedGauge {
    bool Painted;
    HWND Dialog;
    HWND Window;
    GaugeGeometry Shown;
} LastPaint;

// The geometry of the gauge window now, with r its inner rectangle.
GaugeGeometry CurrentGeometry(HWND window, RECT* r)
{
    GetClientRect(window, r);
    InflateRect(r, -1, -1);
    return ComputeGaugeGeometry(State.BytesCopied, State.DiskSpace, r->left, r->right - r->left,
                                &State.GaugeShift);
}

void PaintGauge(HWND window, HDC dc)
{
    RECT r;
    GaugeGeometry g = CurrentGeometry(window, &r);
    RECT frame = r;
    InflateRect(&frame, 1, 1);
    FrameRect(dc, &frame, (HBRUSH)GetStockObject(BLACK_BRUSH));
    char text[16];
    int length = (int)FormatText(text, sizeof text, State.PercentText ? State.PercentText : "%u%%",
                                 g.Percent);
    SIZE size;
    GetTextExtentPointA(dc, text, length, &size);
    int x = (r.right - size.cx) / 2;
    int y = (r.bottom - size.cy) / 2;
    COLORREF fill = GetDeviceCaps(dc, NUMCOLORS) == 2 ? RGB(0, 0, 0) : RGB(0, 0, 255);
    RECT filled = {r.left, r.top, g.FillRight, r.bottom};
    RECT empty = {g.FillRight, r.top, r.right, r.bottom};
    SetBkColor(dc, fill);
    SetTextColor(dc, RGB(255, 255, 255));
    ExtTextOutA(dc, x, y, ETO_OPAQUE | ETO_CLIPPED, &filled, text, length, 0);
    SetBkColor(dc, RGB(255, 255, 255));
    SetTextColor(dc, fill);
    ExtTextOutA(dc, x, y, ETO_OPAQUE | ETO_CLIPPED, &empty, text, length, 0);
}

} // namespace

LRESULT CALLBACK GaugeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // A gauge that goes takes what is known of it along: a later dialog may
    // be given the same handles.
    if (message == WM_DESTROY && LastPaint.Window == window) LastPaint.Painted = false;
    if (message != WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (dc) PaintGauge(window, dc);
    EndPaint(window, &ps);
    return 0;
}

void RefreshGauge()
{
    // InvalidateRect of a null window would repaint every window on the
    // screen: without a progress dialog there is nothing to refresh.
    HWND dialog = (HWND)State.ProgressDialog;
    if (!dialog) return;
    // The gauge of the dialog last refreshed is known; asking the dialog for
    // it costs a round trip to the window system on some platforms.
    int known = LastPaint.Painted && LastPaint.Dialog == dialog;
    HWND gauge = known ? LastPaint.Window : GetDlgItem(dialog, CTRL_GAUGE);
    if (!gauge) return;
    RECT r;
    GaugeGeometry g = CurrentGeometry(gauge, &r);
    if (known && LastPaint.Shown.FillRight == g.FillRight && LastPaint.Shown.Percent == g.Percent) return;
    // A change is painted when the progress dialog's paint is due, at the
    // latest by its timer.
    if (!ProgressPaintDue()) return;
    ProgressPainted();
    InvalidateRect(gauge, 0, FALSE);
    UpdateWindow(gauge);
    LastPaint.Painted = true;
    LastPaint.Dialog = dialog;
    LastPaint.Window = gauge;
    LastPaint.Shown = g;
}
