#include "ui/gauge_geometry.h"

// Both quotients are found without 64-bit division, which the installer would
// have to take from the compiler's support library: once p * width fits in
// 31 bits, 32-bit arithmetic gives the fill exactly; and since p <= t the
// percentage is at most 100, the greatest k with k * t <= 100 * p, found bit
// by bit with 64-bit products only.
GaugeGeometry ComputeGaugeGeometry(int bytesCopied, int diskSpace, int left, int width,
                                   unsigned* shift)
{
    if (width < 0) width = 0;
    if (diskSpace < 1) diskSpace = 1;
    int position = bytesCopied < 0 ? 0 : bytesCopied > diskSpace ? diskSpace : bytesCopied;
    while (*shift < 31 && (long long)(position >> *shift) * width > 0x7FFFFFFFll) ++*shift;
    unsigned p = (unsigned)(position >> *shift);
    unsigned t = (unsigned)(diskSpace >> *shift);
    if (t < 1) t = 1;
    GaugeGeometry g;
    g.FillRight = left + (int)(p * (unsigned)width / t);
    unsigned long long scaled = (unsigned long long)p * 100;
    unsigned percent = 0;
    for (unsigned step = 64; step; step >>= 1)
        if ((unsigned long long)(percent + step) * t <= scaled) percent += step;
    g.Percent = (unsigned short)percent;
    return g;
}
