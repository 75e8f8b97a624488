#include <gtest/gtest.h>
#include "ui/fonts_layout.h"

namespace {

// Base units 6 x 13, buttons of 76 x 18 units (114 x 29 pixels), the picture
// at (6, 6), dialog frames of 3 pixels and an 18-pixel caption.
FontsLayoutInput Dialog(unsigned bitmapWidth, unsigned bitmapHeight)
{
    FontsLayoutInput in;
    in.BitmapWidth = bitmapWidth;
    in.BitmapHeight = bitmapHeight;
    in.BaseUnitX = 6;
    in.BaseUnitY = 13;
    in.ButtonWidth = 114;
    in.ButtonHeight = 29;
    in.PictureX = 6;
    in.PictureY = 6;
    in.FrameX = 3;
    in.FrameY = 3;
    in.CaptionHeight = 18;
    return in;
}

} // namespace

// The stack of four buttons needs (78 >> 3) + 4 * 29 = 125 pixels.
TEST(FontsLayout, ButtonsTallerThanTheBitmapStackFromItsTopAndSetTheHeight)
{
    // The sizes used when the script's bitmap is missing.
    FontsLayout out = ComputeFontsLayout(Dialog(40, 100));
    EXPECT_EQ(out.DialogWidth, 2u * (6 + 3) + (36 >> 2) + 40 + 114);
    EXPECT_EQ(out.DialogHeight, 6u + 125 + 6 + 2 * 3 + 18);
    EXPECT_EQ(out.ButtonX, 6u + 40 + 6);
    // Gaps of a quarter base unit, accumulated before the shift.
    EXPECT_EQ(out.ButtonY[0], 6u);
    EXPECT_EQ(out.ButtonY[1], 6u + 29 + 3);
    EXPECT_EQ(out.ButtonY[2], 6u + 58 + 6);
    EXPECT_EQ(out.ButtonY[3], 6u + 87 + 9);
}

TEST(FontsLayout, AStackExactlyAsTallAsTheBitmapStillStacks)
{
    FontsLayout out = ComputeFontsLayout(Dialog(40, 125));
    EXPECT_EQ(out.DialogHeight, 6u + 125 + 6 + 6 + 18);
    EXPECT_EQ(out.ButtonY[1], 38u);
    EXPECT_EQ(out.ButtonY[3], 102u);
}

TEST(FontsLayout, ATallerBitmapAlignsTheOuterButtonsWithItsEdges)
{
    FontsLayout out = ComputeFontsLayout(Dialog(120, 200));
    EXPECT_EQ(out.DialogWidth, 18u + 9 + 120 + 114);
    EXPECT_EQ(out.DialogHeight, 6u + 200 + 6 + 6 + 18);
    EXPECT_EQ(out.ButtonX, 6u + 120 + 6);
    // (200 - 116) / 3 = 28 between each pair of buttons.
    EXPECT_EQ(out.ButtonY[0], 6u);
    EXPECT_EQ(out.ButtonY[1], 6u + 29 + 28);
    EXPECT_EQ(out.ButtonY[2], 6u + 200 - 58 - 28);
    EXPECT_EQ(out.ButtonY[3] + 29, 6u + 200);
}

TEST(FontsLayout, TheGapTruncatesAndTheMiddleButtonsKeepTheirDistanceFromTheEdges)
{
    // (201 - 116) / 3 = 28.33: the first and last gaps are 28, the middle 29.
    FontsLayout out = ComputeFontsLayout(Dialog(120, 201));
    EXPECT_EQ(out.ButtonY[1] - (out.ButtonY[0] + 29), 28u);
    EXPECT_EQ(out.ButtonY[2] - (out.ButtonY[1] + 29), 29u);
    EXPECT_EQ(out.ButtonY[3] - (out.ButtonY[2] + 29), 28u);
    EXPECT_EQ(out.ButtonY[3] + 29, 6u + 201);
}
