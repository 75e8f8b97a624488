// The arithmetic of the progress gauge, apart from the painting.
#pragma once

struct GaugeGeometry {
    int FillRight;     // the fill boundary X: the filled part is [left, X)
    unsigned Percent;  // shown as "%u%%", 0 to 100
};

// Position `bytesCopied` against the total `diskSpace` (> 0) over an inner
// rectangle starting at `left` and `width` pixels wide. `*shift` is the right
// shift applied to position and total before they are multiplied; it is
// raised until the product fits in a signed 32-bit integer and never lowered.
GaugeGeometry ComputeGaugeGeometry(int bytesCopied, int diskSpace, int left, int width,
                                   unsigned* shift);
