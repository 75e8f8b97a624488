#include "ui/gauge_geometry.h"

GaugeGeometry ComputeGaugeGeometry(int bytesCopied, int diskSpace, int left, int width,
                                   unsigned* shift)
{
    if (width < 0) width = 0;
    if (diskSpace < 1) diskSpace = 1;
    int position = bytesCopied < 0 ? 0 : bytesCopied > diskSpace ? diskSpace : bytesCopied;
    while (*shift < 31 && (long long)(position >> *shift) * width > 0x7FFFFFFFll) ++*shift;
    int p = position >> *shift;
    int t = diskSpace >> *shift;
    if (t < 1) t = 1;
    GaugeGeometry g;
    g.FillRight = left + (int)((long long)p * width / t);
    g.Percent = (unsigned short)((unsigned long long)p * 100 / (unsigned)t);
    return g;
}
