// String tables, icons and bitmaps as resources.
#include <gtest/gtest.h>

#include "pe_fixtures.h"
#include "tools/kivpack/pe/bytes.h"
#include "tools/kivpack/pe/pe.h"

using namespace kivpack;
using namespace kivtest;

namespace {

const ResourceName kStrings = ResourceName::Id(kRtString);

std::u16string U(const char* ascii) { return AnsiToUtf16(ascii); }

// Strings 8000..8002 in block 501 as the stub has them, in US English.
ResourceSet StubLikeStrings()
{
    StringBlock block;
    block[0] = U("INSTALL.INI");
    block[1] = U("12348");
    block[2] = U("6208");
    ResourceSet set;
    set.Set({kStrings, ResourceName::Id(501), 0x409, 0, EncodeStringBlock(block)});
    return set;
}

std::u16string StringOf(const ResourceSet& set, uint16_t id, uint16_t lang = 0x409)
{
    std::u16string text;
    return FindString(set, id, lang, text) ? text : U("(missing)");
}

uint16_t GroupCount(const std::vector<uint8_t>& g) { return uint16_t(g[4] | g[5] << 8); }
uint16_t GroupIconId(const std::vector<uint8_t>& g, int i) { return uint16_t(g[6 + 14 * i + 12] | g[6 + 14 * i + 13] << 8); }
uint16_t GroupBits(const std::vector<uint8_t>& g, int i) { return uint16_t(g[6 + 14 * i + 6] | g[6 + 14 * i + 7] << 8); }

std::vector<uint8_t> Group(std::initializer_list<uint16_t> ids)
{
    std::vector<uint8_t> g = {0, 0, 1, 0, uint8_t(ids.size()), 0};
    for (uint16_t id : ids) {
        std::vector<uint8_t> e(14, 0);
        e[12] = uint8_t(id);
        e[13] = uint8_t(id >> 8);
        g.insert(g.end(), e.begin(), e.end());
    }
    return g;
}

} // namespace

TEST(PeStrings, BlocksRoundTripAndRefuseTruncation)
{
    StringBlock block;
    block[3] = U("three");
    block[15] = std::u16string(u"\u20ACuro");
    std::vector<uint8_t> bytes = EncodeStringBlock(block);
    EXPECT_EQ(bytes.size(), 16 * 2 + 2 * (5 + 4));
    StringBlock back;
    std::string error;
    ASSERT_TRUE(DecodeStringBlock(bytes, back, error)) << error;
    EXPECT_EQ(back, block);
    bytes.push_back(0);  // padding after the sixteenth entry is allowed
    EXPECT_TRUE(DecodeStringBlock(bytes, back, error));
    bytes.resize(bytes.size() - 3);
    EXPECT_FALSE(DecodeStringBlock(bytes, back, error));
    EXPECT_FALSE(error.empty());
}

TEST(PeStrings, CapsGoIntoTheirOwnBlocksBesideTheStubsStrings)
{
    ResourceSet set = StubLikeStrings();
    EXPECT_EQ(ImageLanguage(set), 0x409);
    std::string error;
    ASSERT_TRUE(SetPayloadCap(set, 12000, 4096, error)) << error;
    ASSERT_TRUE(SetPayloadCap(set, 12017, 77, error)) << error;
    // 10000 is block 626, position 0; 10017 block 627, position 1.
    EXPECT_EQ(StringBlockId(10000), 626);
    ASSERT_NE(set.Find(kStrings, ResourceName::Id(626), 0x409), nullptr);
    ASSERT_NE(set.Find(kStrings, ResourceName::Id(627), 0x409), nullptr);
    EXPECT_EQ(StringOf(set, 10000), U("4096"));
    EXPECT_EQ(StringOf(set, 10017), U("77"));
    EXPECT_EQ(StringOf(set, 8000), U("INSTALL.INI"));
    EXPECT_EQ(StringOf(set, 8002), U("6208"));
    EXPECT_EQ(set.Size(), 3u);
    EXPECT_FALSE(SetPayloadCap(set, 1999, 5, error));
}

TEST(PeStrings, MergesIntoAnExistingBlockAndRemovesEmptyOnes)
{
    ResourceSet set = StubLikeStrings();
    std::string error;
    ASSERT_TRUE(SetString(set, 8003, 0x409, U("Select the directory"), error));
    ASSERT_TRUE(SetString(set, 8001, 0x409, U("1"), error));
    EXPECT_EQ(set.Size(), 1u);  // still the one block 501
    EXPECT_EQ(StringOf(set, 8000), U("INSTALL.INI"));
    EXPECT_EQ(StringOf(set, 8001), U("1"));
    EXPECT_EQ(StringOf(set, 8003), U("Select the directory"));
    EXPECT_EQ(StringOf(set, 8004), U("(missing)"));

    // A different language gets its own block and leaves this one alone.
    ASSERT_TRUE(SetString(set, 8000, 0x407, U("SETUP.INF"), error));
    EXPECT_EQ(set.Size(), 2u);
    EXPECT_EQ(StringOf(set, 8000), U("INSTALL.INI"));
    EXPECT_EQ(StringOf(set, 8000, 0x407), U("SETUP.INF"));

    ASSERT_TRUE(SetString(set, 8000, 0x407, std::u16string(), error));
    EXPECT_EQ(set.Size(), 1u);
    EXPECT_FALSE(SetString(set, 8005, 0x409, std::u16string(70000, u'x'), error));

    // A malformed block is reported, not overwritten.
    set.Set({kStrings, ResourceName::Id(502), 0x409, 0, {1, 0}});
    EXPECT_FALSE(SetString(set, 8016, 0x409, U("x"), error));
    EXPECT_NE(error.find("502"), std::string::npos) << error;
}

TEST(PeStrings, LanguageFollowsTheImage)
{
    ResourceSet set;
    EXPECT_EQ(ImageLanguage(set), kDefaultLanguage);
    set.Set({ResourceName::Id(5), ResourceName::Id(1000), 0x40C, 0, {}});
    EXPECT_EQ(ImageLanguage(set), 0x40C);
    set.Set({kStrings, ResourceName::Id(3), 0x407, 0, {}});
    EXPECT_EQ(ImageLanguage(set), 0x407);
    set.Set({kStrings, ResourceName::Id(501), 0, 0, {}});
    EXPECT_EQ(ImageLanguage(set), 0);
}

TEST(PeStrings, Code1252)
{
    std::u16string wide = AnsiToUtf16("caf\xE9 \x80 \x81");
    EXPECT_EQ(wide, std::u16string(u"caf\u00E9 \u20AC \u0081"));
    std::string back;
    EXPECT_TRUE(Utf16ToAnsi(wide, back));
    EXPECT_EQ(back, "caf\xE9 \x80 \x81");
    EXPECT_FALSE(Utf16ToAnsi(u"\u4E2D", back));
    EXPECT_EQ(back, "?");
}

TEST(PeIcons, ParsesAnIcoAndFillsPlanesAndBits)
{
    std::vector<uint8_t> ico = MakeIco({{MakeIconImage(32, 4, 1), 32, 32, 0, 0},
                                        {MakeIconImage(16, 32, 2), 16, 16, 1, 32}});
    std::vector<IconImage> images;
    std::string error;
    ASSERT_TRUE(ParseIcoFile(ico, images, error)) << error;
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].planes, 1);
    EXPECT_EQ(images[0].bitCount, 4);  // from the image's header
    EXPECT_EQ(images[0].data, MakeIconImage(32, 4, 1));
    EXPECT_EQ(images[1].width, 16);
}

TEST(PeIcons, RefusesBadIcoFiles)
{
    std::vector<uint8_t> good = MakeIco({{MakeIconImage(32, 8, 1), 32, 32, 1, 8}});
    std::vector<IconImage> images;
    std::string error;
    auto refused = [&](std::vector<uint8_t> f, const char* words) {
        error.clear();
        EXPECT_FALSE(ParseIcoFile(f, images, error)) << words;
        EXPECT_NE(error.find(words), std::string::npos) << error;
    };
    refused({0, 0}, "not an icon");
    std::vector<uint8_t> f = good;
    f[2] = 2;
    refused(f, "cursor");
    f = good;
    f[4] = 0;
    refused(f, "no images");
    f = good;
    f[4] = 200;
    refused(f, "directory is truncated");
    f = good;
    f[6 + 8] += 1;  // image one byte longer than the file
    refused(f, "outside the file");
    f = good;
    f[6 + 12] = 2;  // image offset inside the directory
    refused(f, "outside the file");
    f = good;
    f[22] = 41;  // header size
    refused(f, "not a bitmap or PNG");
    f = good;
    f[22 + 14] = 3;  // 3 bits per pixel
    refused(f, "unsupported");
    f = good;
    f.resize(f.size() - 1);
    f[6 + 8] -= 1;  // AND mask one byte short
    refused(f, "truncated");
}

TEST(PeIcons, ReplacesGroup3000AndTheFirstGroupKeepingSharedImages)
{
    ResourceSet set;
    const ResourceName icon = ResourceName::Id(kRtIcon), group = ResourceName::Id(kRtGroupIcon);
    for (uint16_t id : {1, 2, 5}) set.Set({icon, ResourceName::Id(id), 0x409, 0, {uint8_t(id)}});
    set.Set({group, ResourceName::Id(3000), 0x409, 0, Group({1, 2})});
    set.Set({group, ResourceName::Id(4000), 0x409, 0, Group({2, 5})});
    std::string error;
    std::vector<uint8_t> ico = MakeIco({{MakeIconImage(32, 4, 7), 32, 32, 0, 0},
                                        {MakeIconImage(16, 8, 8), 16, 16, 0, 0}});
    ASSERT_TRUE(SetProgramIcon(set, ico, error)) << error;
    // Icon 1 was 3000's alone and is gone; 2 and 5 stay for group 4000.
    const Resource* g = set.Find(group, ResourceName::Id(3000), 0x409);
    ASSERT_NE(g, nullptr);
    ASSERT_EQ(GroupCount(g->data), 2);
    EXPECT_EQ(GroupIconId(g->data, 0), 1);
    EXPECT_EQ(GroupIconId(g->data, 1), 3);
    EXPECT_EQ(GroupBits(g->data, 1), 8);
    EXPECT_EQ(set.Find(icon, ResourceName::Id(1), 0x409)->data, MakeIconImage(32, 4, 7));
    EXPECT_EQ(set.Find(icon, ResourceName::Id(3), 0x409)->data, MakeIconImage(16, 8, 8));
    EXPECT_EQ(set.Find(icon, ResourceName::Id(2), 0x409)->data, std::vector<uint8_t>{2});
    EXPECT_EQ(set.Find(icon, ResourceName::Id(5), 0x409)->data, std::vector<uint8_t>{5});
    EXPECT_EQ(set.Find(group, ResourceName::Id(4000), 0x409)->data, Group({2, 5}));

    // A named group sorts first, so it is the one the shell shows: it is
    // replaced as well, and the images nobody uses any more go.
    set.Set({group, ResourceName::Named(std::string("APP")), 0x409, 0, Group({5})});
    ASSERT_TRUE(SetProgramIcon(set, ico, error)) << error;
    const Resource* app = set.Find(group, ResourceName::Named(std::string("APP")), 0x409);
    EXPECT_EQ(app->data, set.Find(group, ResourceName::Id(3000), 0x409)->data);
    EXPECT_EQ(set.Find(icon, ResourceName::Id(5), 0x409)->data, std::vector<uint8_t>{5});  // 4000's
    size_t icons = 0;
    for (const Resource& r : set.Entries()) icons += r.type == icon;
    EXPECT_EQ(icons, 4u);  // 2 and 5 for group 4000, two new ones

    set.Set({group, ResourceName::Id(3000), 0x409, 0, {1, 2, 3}});
    EXPECT_FALSE(SetProgramIcon(set, ico, error));
    EXPECT_NE(error.find("malformed"), std::string::npos);
}

TEST(PeIcons, AddsGroup3000WhenMissing)
{
    ResourceSet set = StubLikeStrings();
    std::string error;
    ASSERT_TRUE(SetProgramIcon(set, MakeIco({{MakeIconImage(32, 4, 1), 32, 32, 0, 0}}), error));
    const Resource* g = set.Find(ResourceName::Id(kRtGroupIcon), ResourceName::Id(3000), 0x409);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(GroupCount(g->data), 1);
    EXPECT_NE(set.Find(ResourceName::Id(kRtIcon), ResourceName::Id(1), 0x409), nullptr);
}

TEST(PeBitmaps, TheResourceIsTheFileWithoutItsHeader)
{
    std::vector<uint8_t> bmp = MakeBmp(57, 23, 8);
    std::vector<uint8_t> dib;
    std::string error;
    ASSERT_TRUE(BitmapResourceFromBmp(bmp, dib, error)) << error;
    EXPECT_EQ(dib, std::vector<uint8_t>(bmp.begin() + 14, bmp.end()));

    // A gap before the pixels is closed up, as the resource form has none.
    std::vector<uint8_t> gapped = MakeBmp(57, 23, 8, 10);
    ASSERT_TRUE(BitmapResourceFromBmp(gapped, dib, error)) << error;
    EXPECT_EQ(dib, std::vector<uint8_t>(bmp.begin() + 14, bmp.end()));

    ResourceSet set = StubLikeStrings();
    ASSERT_TRUE(SetFontsBitmap(set, bmp, error));
    const Resource* r = set.Find(ResourceName::Id(kRtBitmap), ResourceName::Id(500), 0x409);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->data.size(), bmp.size() - 14);
}

TEST(PeBitmaps, RefusesBadBitmaps)
{
    const std::vector<uint8_t> good = MakeBmp(10, 10, 24);
    std::vector<uint8_t> dib;
    std::string error;
    auto refused = [&](std::vector<uint8_t> f, const char* words) {
        error.clear();
        EXPECT_FALSE(BitmapResourceFromBmp(f, dib, error)) << words;
        EXPECT_NE(error.find(words), std::string::npos) << error;
        EXPECT_TRUE(dib.empty());
    };
    auto with = [&](size_t at, uint32_t value, int bytes) {
        std::vector<uint8_t> f = good;
        for (int i = 0; i < bytes; ++i) f[at + i] = uint8_t(value >> (8 * i));
        return f;
    };
    refused(std::vector<uint8_t>(good.begin(), good.begin() + 20), "not a bitmap");
    refused(with(0, 'X', 1), "not a bitmap");
    refused(with(14, 41, 4), "unsupported bitmap header");
    refused(with(18, 0, 4), "bad bitmap size");
    refused(with(18, 0x80000000u, 4), "bad bitmap size");
    refused(with(22, 0x80000000u, 4), "bad bitmap size");
    refused(with(28, 3, 2), "unsupported bitmap format");
    refused(with(30, 1, 4), "compression");  // RLE8 with 24 bits
    refused(with(30, 5, 4), "compression");  // PNG inside
    refused(with(10, 20, 4), "pixel offset");
    refused(with(10, 0xFFFFFFF0u, 4), "pixel offset");
    refused(std::vector<uint8_t>(good.begin(), good.end() - 1), "truncated");
    std::vector<uint8_t> paletted = MakeBmp(10, 10, 4);
    paletted[46] = 17;  // 17 colours used of 16
    refused(paletted, "colour count");
    // Top-down bitmaps are fine.
    std::vector<uint8_t> topDown = with(22, uint32_t(-10), 4);
    EXPECT_TRUE(BitmapResourceFromBmp(topDown, dib, error)) << error;
}

// Version numbers: what Windows can compare, and everything else refused
// as a whole (the text stays in the strings).
TEST(PeVersion, ParsesOneToFourNumbersOnly)
{
    struct Case {
        const char* text;
        bool ok;
        uint16_t a, b, c, d;
    } cases[] = {
        {"1", true, 1, 0, 0, 0},          {"2.1", true, 2, 1, 0, 0},       {"1.2.3.4", true, 1, 2, 3, 4},
        {"65535.0.0.65535", true, 65535, 0, 0, 65535},                   {"65536", false, 0, 0, 0, 0},
        {"1.2.3.4.5", false, 0, 0, 0, 0}, {"2.0 beta", false, 0, 0, 0, 0}, {"1.", false, 0, 0, 0, 0},
        {".1", false, 0, 0, 0, 0},        {"1..2", false, 0, 0, 0, 0},     {"", false, 0, 0, 0, 0},
        {"0000001", false, 0, 0, 0, 0},   {"-1", false, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        uint16_t n[4] = {9, 9, 9, 9};
        EXPECT_EQ(ParseVersionNumber(c.text, n), c.ok) << c.text;
        EXPECT_EQ(n[0] == c.a && n[1] == c.b && n[2] == c.c && n[3] == c.d, true) << c.text;
    }
}

namespace {

// Walks one block of a version resource: its children lie inside it, each
// on a 4-byte boundary from the resource's start; collects "path=value" of
// the text leaves.
void Walk(const std::vector<uint8_t>& data, size_t at, size_t end, const std::string& path,
          std::vector<std::string>& leaves)
{
    ASSERT_EQ(at % 4, 0u) << path;
    ASSERT_LE(at + 6, end) << path;
    const size_t length = Get16(&data[at]), valueLength = Get16(&data[at + 2]), type = Get16(&data[at + 4]);
    ASSERT_LE(at + length, end) << path;
    size_t p = at + 6;
    std::string key;
    while (p + 1 < at + length && Get16(&data[p])) key += char(Get16(&data[p])), p += 2;
    p = AlignUp(p + 2, 4);
    const std::string here = path + "/" + key;
    if (type == 1 && valueLength) {
        std::string value;
        for (size_t i = 0; i + 1 < valueLength; ++i) value += char(Get16(&data[p + 2 * i]));
        EXPECT_EQ(Get16(&data[p + 2 * (valueLength - 1)]), 0) << here << ": the text ends in a terminator";
        leaves.push_back(here + "=" + value);
        p += 2 * valueLength;
    } else {
        if (valueLength >= 4) leaves.push_back(here + ":" + std::to_string(Get32(&data[p])));
        p += valueLength;
    }
    for (p = AlignUp(p, 4); p < at + length; p = AlignUp(p + Get16(&data[p]), 4)) {
        Walk(data, p, at + length, here, leaves);
        if (Get16(&data[p]) == 0) break;
    }
}

} // namespace

TEST(PeVersion, TheBlockIsATreeWindowsCanRead)
{
    VersionInfo info;
    info.number[0] = 2, info.number[1] = 1, info.number[3] = 7;
    info.strings = {{"CompanyName", U("Kiv")}, {"FileDescription", U("Atlas Setup")}, {"LegalCopyright", u""},
                    {"ProductVersion", U("2.1 (odd)")}};
    std::vector<uint8_t> data;
    std::string error;
    ASSERT_TRUE(EncodeVersionInfo(info, 0x407, data, error)) << error;
    ASSERT_EQ(Get16(&data[0]), data.size());
    std::vector<std::string> leaves;
    Walk(data, 0, data.size(), "", leaves);
    const std::string root = "/VS_VERSION_INFO";
    const std::vector<std::string> expected = {
        root + ":" + std::to_string(0xFEEF04BDu),
        root + "/StringFileInfo/040704B0/CompanyName=Kiv",
        root + "/StringFileInfo/040704B0/FileDescription=Atlas Setup",
        root + "/StringFileInfo/040704B0/ProductVersion=2.1 (odd)",
        root + "/VarFileInfo/Translation:" + std::to_string(0x04B00407u),
    };
    EXPECT_EQ(leaves, expected) << "an empty string is left out";
    // The fixed file info: file and product version, high then low halves.
    const size_t fixed = 40;  // 6 + 16 units of "VS_VERSION_INFO", padded
    EXPECT_EQ(Get32(&data[fixed + 8]), 0x00020001u);
    EXPECT_EQ(Get32(&data[fixed + 12]), 0x00000007u);
    EXPECT_EQ(Get32(&data[fixed + 16]), 0x00020001u);

    ResourceSet set;
    set.Set({ResourceName::Id(kRtVersion), ResourceName::Id(1), 0x409, 0, {1, 2, 3}});
    set.Set({ResourceName::Id(kRtVersion), ResourceName::Id(2), 0x407, 0, {1, 2, 3}});
    ASSERT_TRUE(SetVersionInfo(set, info, 0x407, error)) << error;
    ASSERT_EQ(set.Size(), 1u) << "every earlier version resource is replaced";
    EXPECT_EQ(set.Entries()[0].data, data);
}
