// Layout of the fonts-only dialog 1550: the dialog is sized to the fonts
// bitmap and its four buttons (Install fonts, View font information, Cancel,
// Help) stand in a column to the bitmap's right. Pure arithmetic in pixels,
// so that both cases are checked natively.
#pragma once

struct FontsLayoutInput {
    unsigned BitmapWidth;    // FontsBitmapWidth
    unsigned BitmapHeight;   // FontsBitmapHeight
    unsigned BaseUnitX;      // horizontal dialog base unit
    unsigned BaseUnitY;      // vertical dialog base unit
    unsigned ButtonWidth;    // window of button 1
    unsigned ButtonHeight;
    unsigned PictureX;       // top-left of control 1551, client coordinates
    unsigned PictureY;
    unsigned FrameX;         // SM_CXDLGFRAME
    unsigned FrameY;         // SM_CYDLGFRAME
    unsigned CaptionHeight;  // SM_CYCAPTION
};

struct FontsLayout {
    unsigned DialogWidth;    // the whole window
    unsigned DialogHeight;
    unsigned ButtonX;        // client coordinates of the button column
    unsigned ButtonY[4];     // tops of buttons 1, 1003, 2 and 1002
};

// When the four buttons need no more height than the bitmap has, the first
// lines up with the bitmap's top and the last with its bottom, the other two
// evenly between; otherwise they stack from the bitmap's top with a quarter
// of the vertical base unit between them and the dialog follows the stack.
FontsLayout ComputeFontsLayout(const FontsLayoutInput& in);
