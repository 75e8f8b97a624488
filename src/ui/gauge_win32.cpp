// The gauge paints the share of bytes copied as a filled bar with the
// percentage over it. It keeps no data of its own: every paint reads the
// installer state. A paint is cheap (no erase, no off-screen bitmap, two text
// calls that also fill the bar), since the gauge is repainted after every
// chunk the file transfer writes.
#include "ui/gauge.h"
#include "platform/text.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"
#include "ui/gauge_geometry.h"

const char GaugeWindowClass[] = "KivInstallGauge";

namespace {

void PaintGauge(HWND window, HDC dc)
{
    RECT r;
    GetClientRect(window, &r);
    FrameRect(dc, &r, (HBRUSH)GetStockObject(BLACK_BRUSH));
    InflateRect(&r, -1, -1);
    GaugeGeometry g = ComputeGaugeGeometry(State.BytesCopied, State.DiskSpace, r.left,
                                           r.right - r.left, &State.GaugeShift);
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
    HWND gauge = State.ProgressDialog ? GetDlgItem((HWND)State.ProgressDialog, CTRL_GAUGE) : 0;
    if (!gauge) return;
    InvalidateRect(gauge, 0, FALSE);
    UpdateWindow(gauge);
}
