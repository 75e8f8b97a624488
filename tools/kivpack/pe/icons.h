// Icons and bitmaps from their files, as resources.
//
//  .ICO file                         resources
//  ICONDIR       0 reserved (0)      RT_GROUP_ICON: GRPICONDIR
//                2 type (1 = icon)     0 reserved, 2 type 1, 4 count
//                4 count               then per image 14 bytes:
//  ICONDIRENTRY  0 width, 1 height       width, height, colours, reserved,
//  (16 bytes)    2 colours, 3 reserved   planes (2), bit count (2),
//                4 planes, 6 bit count   bytes (4), RT_ICON id (2)
//                8 bytes, 12 offset    RT_ICON per image: the image bytes
//  images        a DIB (BITMAPINFOHEADER, XOR and AND masks) or a PNG
//
//  .BMP file: BITMAPFILEHEADER (14 bytes: "BM", size, reserved, offset of
//  the pixels), then the DIB header, colour table and pixels. RT_BITMAP holds
//  the DIB header, colour table and pixels, with nothing between them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/kivpack/pe/resources.h"

namespace kivpack {

struct IconImage {
    uint8_t width = 0;  // 0 stands for 256
    uint8_t height = 0;
    uint8_t colorCount = 0;
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    std::vector<uint8_t> data;
};

// Parses and checks an .ICO file. Planes and bit count left 0 in the file
// are taken from the image's own header.
bool ParseIcoFile(const std::vector<uint8_t>& file, std::vector<IconImage>& images,
                  std::string& error);

// Makes the given icon groups show `images`: the RT_ICON images that only
// these groups used are removed, the new ones take the lowest free RT_ICON
// ids, and each group is rewritten in the languages it exists in (a missing
// group is added in `language`).
bool ReplaceIconGroups(ResourceSet& resources, const std::vector<ResourceName>& groups,
                       const std::vector<IconImage>& images, uint16_t language, std::string& error);

// --icon: the .ICO replaces the installer's icon 3000 and the executable's
// first icon group (the one the shell shows), when that is another one.
bool SetProgramIcon(ResourceSet& resources, const std::vector<uint8_t>& icoFile, std::string& error);

// Checks a .BMP file and gives the bytes of its RT_BITMAP resource.
bool BitmapResourceFromBmp(const std::vector<uint8_t>& bmpFile, std::vector<uint8_t>& dib,
                           std::string& error);

// --bitmap: the .BMP becomes RT_BITMAP 500, the fonts-only picture.
bool SetFontsBitmap(ResourceSet& resources, const std::vector<uint8_t>& bmpFile, std::string& error);

} // namespace kivpack
