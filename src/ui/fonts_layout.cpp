#include "ui/fonts_layout.h"

FontsLayout ComputeFontsLayout(const FontsLayoutInput& in)
{
    FontsLayout out;
    const unsigned bw = in.ButtonWidth;
    const unsigned bh = in.ButtonHeight;
    const unsigned px = in.PictureX;
    const unsigned py = in.PictureY;
    const unsigned stack = ((6 * in.BaseUnitY) >> 3) + 4 * bh;

    out.DialogWidth = 2 * (px + in.FrameX) + ((6 * in.BaseUnitX) >> 2) + in.BitmapWidth + bw;
    out.DialogHeight = (in.BaseUnitY >> 1) + (stack > in.BitmapHeight ? stack : in.BitmapHeight) + py +
                       2 * in.FrameY + in.CaptionHeight;
    out.ButtonX = px + in.BitmapWidth + in.BaseUnitX;

    if (stack < in.BitmapHeight) {
        // The bitmap is taller than four buttons here, so the gap is positive.
        const int gap = ((int)in.BitmapHeight - 4 * (int)bh) / 3;
        out.ButtonY[0] = py;
        out.ButtonY[1] = py + bh + gap;
        out.ButtonY[2] = py + in.BitmapHeight - 2 * bh - gap;
        out.ButtonY[3] = py + in.BitmapHeight - bh;
    } else {
        for (unsigned i = 0; i < 4; ++i) out.ButtonY[i] = py + i * bh + ((i * in.BaseUnitY) >> 2);
    }
    return out;
}
