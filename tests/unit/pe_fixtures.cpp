#include "pe_fixtures.h"

#include <cstring>

namespace kivtest {

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

uint32_t Align(uint32_t v, uint32_t a) { return (v + a - 1) / a * a; }

std::vector<uint8_t> Bytes(const char* text) { return std::vector<uint8_t>(text, text + std::strlen(text)); }

} // namespace

std::vector<uint8_t> HandResourceTree(uint32_t rva)
{
    std::vector<uint8_t> t(0xE4, 0);
    const uint32_t dir = 0x80000000u;
    // Root: one named type, one numbered type.
    Put16(t, kHandRoot + 12, 1);
    Put16(t, kHandRoot + 14, 1);
    Put32(t, kHandRoot + 16, dir | kHandName);
    Put32(t, kHandRoot + 20, dir | kHandTypeNamed);
    Put32(t, kHandRoot + 24, 6);
    Put32(t, kHandRoot + 28, dir | kHandTypeStrings);
    // Type "KIVDATA": name 7.
    Put16(t, kHandTypeNamed + 14, 1);
    Put32(t, kHandTypeNamed + 16, 7);
    Put32(t, kHandTypeNamed + 20, dir | kHandNamed7);
    // Type 6: name 501.
    Put16(t, kHandTypeStrings + 14, 1);
    Put32(t, kHandTypeStrings + 16, 501);
    Put32(t, kHandTypeStrings + 20, dir | kHandStrings501);
    // Languages.
    Put16(t, kHandNamed7 + 14, 1);
    Put32(t, kHandNamed7 + 16, 0x409);
    Put32(t, kHandNamed7 + 20, kHandData1);
    Put16(t, kHandStrings501 + 14, 2);
    Put32(t, kHandStrings501 + 16, 0);
    Put32(t, kHandStrings501 + 20, kHandData2);
    Put32(t, kHandStrings501 + 24, 0x409);
    Put32(t, kHandStrings501 + 28, kHandData3);
    // Data entries and their blobs.
    const char* blobs[3] = {"alpha", "neutral", "us-english"};
    const uint32_t entries[3] = {kHandData1, kHandData2, kHandData3};
    uint32_t at = kHandBlobs;
    for (int i = 0; i < 3; ++i) {
        uint32_t n = uint32_t(std::strlen(blobs[i]));
        Put32(t, entries[i], rva + at);
        Put32(t, entries[i] + 4, n);
        Put32(t, entries[i] + 8, 1252);
        std::memcpy(&t[at], blobs[i], n);
        at = Align(at + n, 8);
    }
    const char* name = "KIVDATA";
    Put16(t, kHandName, 7);
    for (int i = 0; i < 7; ++i) Put16(t, kHandName + 2 + 2 * i, uint8_t(name[i]));
    return t;
}

FixtureOptions StandardFixture()
{
    FixtureOptions o;
    FixtureSection text{".text", std::vector<uint8_t>(0x180, 0xC3), 0, 0x60000020, false};
    FixtureSection data{".data", Bytes("some initialised data that must survive"), 0x2000,
                        0xC0000040, false};
    FixtureSection rsrc{".rsrc", {}, 0, 0xC0000040, true};
    FixtureSection reloc{".reloc", {0x00, 0x10, 0, 0, 0x0A, 0, 0, 0, 0x10, 0x30}, 0, 0x42000040, false};
    o.sections = {text, data, rsrc, reloc};
    return o;
}

std::vector<uint8_t> BuildFixturePe(const FixtureOptions& o, FixtureLayout* layoutOut)
{
    const uint32_t fileAlign = 0x200, sectionAlign = 0x1000;
    FixtureLayout layout;
    layout.peOffset = 0x80;
    layout.optionalHeader = layout.peOffset + 24;
    layout.sectionTable = layout.optionalHeader + 224;
    std::vector<uint8_t> f(o.sizeOfHeaders, 0);
    f[0] = 'M';
    f[1] = 'Z';
    Put32(f, 0x3C, layout.peOffset);
    Put32(f, layout.peOffset, 0x00004550);
    const uint32_t fh = layout.peOffset + 4, oh = layout.optionalHeader;
    Put16(f, fh, 0x14C);
    Put16(f, fh + 2, uint32_t(o.sections.size()));
    Put16(f, fh + 16, 224);
    Put16(f, fh + 18, 0x0102);
    Put16(f, oh, 0x10B);
    Put32(f, oh + 28, 0x400000);
    Put32(f, oh + 32, sectionAlign);
    Put32(f, oh + 36, fileAlign);
    Put16(f, oh + 40, 4);
    Put16(f, oh + 48, 4);
    Put32(f, oh + 60, o.sizeOfHeaders);
    Put16(f, oh + 68, 2);
    Put32(f, oh + 92, 16);

    uint32_t va = Align(o.sizeOfHeaders, sectionAlign), initialized = 0;
    for (size_t i = 0; i < o.sections.size(); ++i) {
        const FixtureSection& s = o.sections[i];
        std::vector<uint8_t> data = s.resources ? HandResourceTree(va) : s.data;
        uint32_t raw = Align(uint32_t(data.size()), fileAlign);
        uint32_t pointer = uint32_t(f.size());
        uint32_t vsize = s.virtualSize ? s.virtualSize : uint32_t(data.size());
        uint32_t h = layout.sectionTable + 40 * uint32_t(i);
        std::memcpy(&f[h], s.name.c_str(), s.name.size() < 8 ? s.name.size() : 8);
        Put32(f, h + 8, vsize);
        Put32(f, h + 12, va);
        Put32(f, h + 16, raw);
        Put32(f, h + 20, pointer);
        Put32(f, h + 36, s.characteristics);
        if (s.characteristics & 0x40) initialized += raw;
        if (i == 0) Put32(f, oh + 16, va);
        if (s.resources) {
            layout.resourceFileOffset = pointer;
            layout.resourceRva = va;
            Put32(f, oh + 96 + 16, va);
            Put32(f, oh + 100 + 16, uint32_t(data.size()));
        }
        if (s.name == ".reloc") {
            Put32(f, oh + 96 + 40, va);
            Put32(f, oh + 100 + 40, uint32_t(data.size()));
        }
        layout.rawPointers.push_back(pointer);
        data.resize(raw, 0);
        f.insert(f.end(), data.begin(), data.end());
        va = Align(va + vsize, sectionAlign);
    }
    Put32(f, oh + 8, initialized);
    Put32(f, oh + 56, va);
    if (o.symbolsInOverlay) Put32(f, fh + 8, uint32_t(f.size()));
    f.insert(f.end(), o.overlay.begin(), o.overlay.end());
    if (layoutOut) *layoutOut = layout;
    return f;
}

std::vector<uint8_t> MakeIconImage(int size, int bits, uint8_t seed)
{
    uint32_t colors = bits <= 8 ? 1u << bits : 0;
    uint32_t xorRow = (uint32_t(size) * bits + 31) / 32 * 4, andRow = (uint32_t(size) + 31) / 32 * 4;
    std::vector<uint8_t> d(40 + 4 * colors + (xorRow + andRow) * size, 0);
    Put32(d, 0, 40);
    Put32(d, 4, size);
    Put32(d, 8, 2 * size);
    Put16(d, 12, 1);
    Put16(d, 14, bits);
    for (size_t i = 40; i < d.size(); ++i) d[i] = uint8_t(seed + i * 7);
    return d;
}

std::vector<uint8_t> MakeIco(const std::vector<IcoEntry>& entries)
{
    std::vector<uint8_t> f(6 + 16 * entries.size(), 0);
    Put16(f, 2, 1);
    Put16(f, 4, uint32_t(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        const IcoEntry& e = entries[i];
        size_t h = 6 + 16 * i;
        f[h] = e.width;
        f[h + 1] = e.height;
        Put16(f, h + 4, e.planes);
        Put16(f, h + 6, e.bits);
        Put32(f, h + 8, uint32_t(e.image.size()));
        Put32(f, h + 12, uint32_t(f.size()));
        f.insert(f.end(), e.image.begin(), e.image.end());
    }
    return f;
}

std::vector<uint8_t> MakeBmp(int width, int height, int bits, uint32_t gap)
{
    uint32_t colors = bits <= 8 ? 1u << bits : 0;
    uint32_t row = (uint32_t(width) * bits + 31) / 32 * 4;
    uint32_t pixelsAt = 14 + 40 + 4 * colors + gap;
    std::vector<uint8_t> f(pixelsAt + row * uint32_t(height), 0);
    f[0] = 'B';
    f[1] = 'M';
    Put32(f, 2, uint32_t(f.size()));
    Put32(f, 10, pixelsAt);
    Put32(f, 14, 40);
    Put32(f, 18, uint32_t(width));
    Put32(f, 22, uint32_t(height));
    Put16(f, 26, 1);
    Put16(f, 28, bits);
    for (uint32_t i = 0; i < colors; ++i) Put32(f, 54 + 4 * i, i * 0x010101u);
    for (size_t i = 54 + 4 * colors; i < pixelsAt; ++i) f[i] = 0xEE;  // the gap
    for (size_t i = pixelsAt; i < f.size(); ++i) f[i] = uint8_t((i - pixelsAt) * 13);
    return f;
}

uint32_t Fnv1a(const std::vector<uint8_t>& data)
{
    uint32_t h = 2166136261u;
    for (uint8_t b : data) h = (h ^ b) * 16777619u;
    return h;
}

} // namespace kivtest
