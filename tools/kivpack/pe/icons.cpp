// .ICO and .BMP files checked and turned into icon and bitmap resources.
#include "tools/kivpack/pe/icons.h"

#include <algorithm>
#include <set>

#include "resources/kivformat.h"
#include "tools/kivpack/pe/bytes.h"
#include "tools/kivpack/pe/strings.h"

namespace kivpack {

namespace {

bool Fail(std::string& error, const std::string& message)
{
    error = message;
    return false;
}

int32_t GetSigned32(const uint8_t* p) { return int32_t(Get32(p)); }

bool ValidBitCount(uint32_t bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

uint64_t RowBytes(uint64_t width, uint64_t bits) { return (width * bits + 31) / 32 * 4; }

// One image of an .ICO: a PNG stream, or a DIB whose height counts the colour
// bitmap and the AND mask together; both must be wholly present.
bool CheckIconImage(IconImage& image, const std::string& which, std::string& error)
{
    const std::vector<uint8_t>& d = image.data;
    static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (d.size() >= 8 && std::equal(kPng, kPng + 8, d.begin())) {
        if (d.size() < 33 || Get32(d.data() + 12) != 0x52444849u)  // "IHDR"
            return Fail(error, which + ": PNG image without its header");
        if (!image.planes) image.planes = 1;
        if (!image.bitCount) image.bitCount = 32;
        return true;
    }
    if (d.size() < 40) return Fail(error, which + ": image too short");
    uint32_t headerSize = Get32(d.data());
    int32_t width = GetSigned32(d.data() + 4), height = GetSigned32(d.data() + 8);
    uint32_t planes = Get16(d.data() + 12), bits = Get16(d.data() + 14);
    uint32_t compression = Get32(d.data() + 16), colorsUsed = Get32(d.data() + 32);
    if ((headerSize != 40 && headerSize != 108 && headerSize != 124) || headerSize > d.size())
        return Fail(error, which + ": not a bitmap or PNG image");
    if (width <= 0 || width > 4096 || height <= 0 || height > 8192 || height % 2)
        return Fail(error, which + ": bad image size");
    if (planes != 1 || !ValidBitCount(bits) || (compression != 0 && compression != 3))
        return Fail(error, which + ": unsupported image format");
    if (bits <= 8 && colorsUsed > (1u << bits)) return Fail(error, which + ": bad colour count");
    uint64_t colors = bits <= 8 ? (colorsUsed ? colorsUsed : 1u << bits) : colorsUsed;
    if (colors > 256) return Fail(error, which + ": bad colour count");
    uint64_t rows = uint64_t(height) / 2;
    uint64_t need = headerSize + 4 * colors + (compression == 3 && headerSize == 40 ? 12 : 0) +
                    RowBytes(width, bits) * rows + RowBytes(width, 1) * rows;
    if (need > d.size()) return Fail(error, which + ": image data truncated");
    if (!image.planes) image.planes = uint16_t(planes);
    if (!image.bitCount) image.bitCount = uint16_t(bits);
    return true;
}

// The RT_ICON ids a group lists.
bool ReadGroupIds(const std::vector<uint8_t>& group, std::vector<uint16_t>& ids)
{
    uint16_t reserved, type, count;
    if (!Read16(group, 0, reserved) || !Read16(group, 2, type) || !Read16(group, 4, count) ||
        reserved != 0 || type != 1 || !InRange(group.size(), 6, 14ull * count))
        return false;
    for (uint32_t i = 0; i < count; ++i) ids.push_back(Get16(group.data() + 6 + 14 * i + 12));
    return true;
}

bool Contains(const std::vector<ResourceName>& names, const ResourceName& n)
{
    return std::find(names.begin(), names.end(), n) != names.end();
}

} // namespace

bool ParseIcoFile(const std::vector<uint8_t>& file, std::vector<IconImage>& images, std::string& error)
{
    images.clear();
    uint16_t reserved, type, count;
    if (!Read16(file, 0, reserved) || !Read16(file, 2, type) || !Read16(file, 4, count) || reserved)
        return Fail(error, "not an icon file");
    if (type == 2) return Fail(error, "a cursor file, not an icon file");
    if (type != 1) return Fail(error, "not an icon file");
    if (count == 0) return Fail(error, "the icon file holds no images");
    uint64_t directoryEnd = 6 + 16ull * count;
    if (directoryEnd > file.size()) return Fail(error, "the icon file's directory is truncated");
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = file.data() + 6 + 16 * i;
        std::string which = "icon image " + std::to_string(i + 1);
        uint32_t size = Get32(e + 8), offset = Get32(e + 12);
        if (offset < directoryEnd || !InRange(file.size(), offset, size))
            return Fail(error, which + " lies outside the file");
        IconImage image;
        image.width = e[0];
        image.height = e[1];
        image.colorCount = e[2];
        image.planes = Get16(e + 4);
        image.bitCount = Get16(e + 6);
        image.data.assign(file.begin() + offset, file.begin() + offset + size);
        if (!CheckIconImage(image, which, error)) return false;
        images.push_back(std::move(image));
    }
    return true;
}

bool ReplaceIconGroups(ResourceSet& resources, const std::vector<ResourceName>& groups,
                       const std::vector<IconImage>& images, uint16_t language, std::string& error)
{
    const ResourceName iconType = ResourceName::Id(kRtIcon);
    const ResourceName groupType = ResourceName::Id(kRtGroupIcon);
    if (images.empty() || images.size() > 0xFFFF) return Fail(error, "bad number of icon images");

    std::set<uint16_t> replaced, kept;
    bool languageTaken = false;
    for (const Resource& r : resources.Entries()) {
        if (r.type != groupType) continue;
        std::vector<uint16_t> ids;
        bool target = Contains(groups, r.name);
        if (!ReadGroupIds(r.data, ids)) {
            if (target) return Fail(error, "icon group " + r.name.ToString() + " is malformed");
            continue;
        }
        (target ? replaced : kept).insert(ids.begin(), ids.end());
        if (target && !languageTaken) {
            language = r.language;
            languageTaken = true;
        }
    }
    for (uint16_t id : replaced)
        if (!kept.count(id)) resources.RemoveAll(iconType, ResourceName::Id(id));

    std::set<uint16_t> used;
    for (const Resource& r : resources.Entries())
        if (r.type == iconType && !r.name.isString) used.insert(r.name.id);
    std::vector<uint8_t> group;
    Append16(group, 0);
    Append16(group, 1);
    Append16(group, uint16_t(images.size()));
    uint32_t next = 1;
    for (const IconImage& image : images) {
        while (next <= 0xFFFF && used.count(uint16_t(next))) ++next;
        if (next > 0xFFFF) return Fail(error, "no free icon ids left");
        resources.Set({iconType, ResourceName::Id(uint16_t(next)), language, 0, image.data});
        group.push_back(image.width);
        group.push_back(image.height);
        group.push_back(image.colorCount);
        group.push_back(0);
        Append16(group, image.planes);
        Append16(group, image.bitCount);
        Append32(group, uint32_t(image.data.size()));
        Append16(group, uint16_t(next++));
    }
    for (const ResourceName& name : groups) {
        std::vector<uint16_t> langs = resources.Languages(groupType, name);
        if (langs.empty()) langs.push_back(language);
        for (uint16_t lang : langs) resources.Set({groupType, name, lang, 0, group});
    }
    return true;
}

bool SetProgramIcon(ResourceSet& resources, const std::vector<uint8_t>& icoFile, std::string& error)
{
    std::vector<IconImage> images;
    if (!ParseIcoFile(icoFile, images, error)) return false;
    std::vector<ResourceName> groups{ResourceName::Id(KIV_ICON)};
    for (const Resource& r : resources.Entries())
        if (r.type == ResourceName::Id(kRtGroupIcon)) {
            if (r.name != groups.front()) groups.push_back(r.name);
            break;
        }
    return ReplaceIconGroups(resources, groups, images, ImageLanguage(resources), error);
}

bool BitmapResourceFromBmp(const std::vector<uint8_t>& file, std::vector<uint8_t>& dib,
                           std::string& error)
{
    dib.clear();
    if (file.size() < 14 + 12 || file[0] != 'B' || file[1] != 'M')
        return Fail(error, "not a bitmap file");
    const uint32_t pixelsAt = Get32(file.data() + 10);
    const uint32_t headerSize = Get32(file.data() + 14);
    const bool core = headerSize == 12;
    if (!core && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
        headerSize != 124)
        return Fail(error, "unsupported bitmap header (size " + std::to_string(headerSize) + ")");
    if (!InRange(file.size(), 14, headerSize)) return Fail(error, "bitmap header truncated");
    const uint8_t* h = file.data() + 14;
    int64_t width = core ? Get16(h + 4) : GetSigned32(h + 4);
    int64_t height = core ? Get16(h + 6) : GetSigned32(h + 8);
    uint32_t planes = Get16(h + (core ? 8 : 12)), bits = Get16(h + (core ? 10 : 14));
    uint32_t compression = core ? 0 : Get32(h + 16);
    uint32_t imageSize = core ? 0 : Get32(h + 20);
    uint32_t colorsUsed = core ? 0 : Get32(h + 32);
    uint64_t rows = uint64_t(height < 0 ? -height : height);
    if (width <= 0 || width > 65535 || rows == 0 || rows > 65535)
        return Fail(error, "bad bitmap size");
    if (planes != 1 || !ValidBitCount(bits)) return Fail(error, "unsupported bitmap format");
    bool rle = compression == 1 || compression == 2;
    if (compression > 3 || (compression == 1 && bits != 8) || (compression == 2 && bits != 4) ||
        (compression == 3 && bits != 16 && bits != 32) || (rle && height < 0))
        return Fail(error, "unsupported bitmap compression");
    if (headerSize >= 108) {
        uint32_t colorSpace = Get32(h + 56);
        if (colorSpace == 0x4D424544u || colorSpace == 0x4C494E4Bu)  // 'MBED', 'LINK'
            return Fail(error, "bitmaps with colour profiles are not supported");
    }
    if (bits <= 8 && colorsUsed > (1u << bits)) return Fail(error, "bad bitmap colour count");
    uint64_t colors = bits <= 8 ? (colorsUsed ? colorsUsed : 1u << bits) : colorsUsed;
    uint64_t tableBytes = colors * (core ? 3 : 4) + (compression == 3 && headerSize == 40 ? 12 : 0);
    uint64_t headerEnd = 14 + uint64_t(headerSize) + tableBytes;
    if (headerEnd > file.size()) return Fail(error, "bitmap colour table truncated");
    if (pixelsAt < headerEnd || pixelsAt > file.size())
        return Fail(error, "bitmap pixel offset out of range");
    uint64_t pixelBytes = rle ? imageSize : RowBytes(uint64_t(width), bits) * rows;
    if (pixelBytes == 0 || pixelBytes > file.size() - pixelsAt)
        return Fail(error, "bitmap pixel data truncated");
    // The resource form has the pixels right after the colour table.
    dib.assign(file.begin() + 14, file.begin() + size_t(headerEnd));
    dib.insert(dib.end(), file.begin() + pixelsAt, file.begin() + size_t(pixelsAt + pixelBytes));
    return true;
}

bool SetFontsBitmap(ResourceSet& resources, const std::vector<uint8_t>& bmpFile, std::string& error)
{
    std::vector<uint8_t> dib;
    if (!BitmapResourceFromBmp(bmpFile, dib, error)) return false;
    const ResourceName type = ResourceName::Id(kRtBitmap), name = ResourceName::Id(KIV_FONTS_BITMAP);
    std::vector<uint16_t> langs = resources.Languages(type, name);
    if (langs.empty()) langs.push_back(ImageLanguage(resources));
    for (uint16_t lang : langs) resources.Set({type, name, lang, 0, dib});
    return true;
}

} // namespace kivpack
