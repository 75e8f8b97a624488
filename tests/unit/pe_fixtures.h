// Test inputs built in memory: a small PE32 image laid out by hand (with a
// hand-assembled resource tree), and .ICO and .BMP files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kivtest {

struct FixtureSection {
    std::string name;
    std::vector<uint8_t> data;  // raw data; the resource section's is generated
    uint32_t virtualSize = 0;   // 0: the size of the data
    uint32_t characteristics = 0x40000040;
    bool resources = false;     // holds HandResourceTree at its address
};

struct FixtureOptions {
    std::vector<FixtureSection> sections;
    std::vector<uint8_t> overlay;     // bytes after the last section
    bool symbolsInOverlay = false;    // PointerToSymbolTable = start of the overlay
    uint32_t sizeOfHeaders = 0x400;
};

// Where the builder put things, for tests that corrupt them.
struct FixtureLayout {
    uint32_t peOffset = 0;
    uint32_t optionalHeader = 0;
    uint32_t sectionTable = 0;
    uint32_t resourceFileOffset = 0;  // the resource directory in the file
    uint32_t resourceRva = 0;
    std::vector<uint32_t> rawPointers;  // per section
};

// .text, .data, .rsrc (hand tree), .reloc: the resource section is not last.
FixtureOptions StandardFixture();
std::vector<uint8_t> BuildFixturePe(const FixtureOptions& options, FixtureLayout* layout = nullptr);

// The resource tree of the fixture, assembled at fixed offsets:
//   type "KIVDATA" / name 7 / language 0x409   data "alpha" (5 bytes)
//   type 6 / name 501 / language 0             data "neutral" (7 bytes)
//   type 6 / name 501 / language 0x409         data "us-english" (10 bytes)
// The constants below give the offsets of its parts.
std::vector<uint8_t> HandResourceTree(uint32_t rva);
enum HandTreeOffsets : uint32_t {
    kHandRoot = 0x00,
    kHandTypeNamed = 0x20,    // table of type "KIVDATA"
    kHandTypeStrings = 0x38,  // table of type 6
    kHandNamed7 = 0x50,       // languages of KIVDATA/7
    kHandStrings501 = 0x68,   // languages of 6/501
    kHandData1 = 0x88,        // data entries, 16 bytes each
    kHandData2 = 0x98,
    kHandData3 = 0xA8,
    kHandName = 0xB8,         // "KIVDATA"
    kHandBlobs = 0xC8,
};

// A 32 x 32 icon image (DIB with AND mask) of `bits` per pixel, pixels
// filled from `seed`.
std::vector<uint8_t> MakeIconImage(int size, int bits, uint8_t seed);
// An .ICO of the given images; planes and bit count stored as given.
struct IcoEntry {
    std::vector<uint8_t> image;
    uint8_t width, height;
    uint16_t planes, bits;
};
std::vector<uint8_t> MakeIco(const std::vector<IcoEntry>& entries);

// A bottom-up BITMAPINFOHEADER .BMP; `gap` extra bytes between the colour
// table and the pixels (pointed to by bfOffBits).
std::vector<uint8_t> MakeBmp(int width, int height, int bits, uint32_t gap = 0);

// FNV-1a, 32 bits: the hash the Wine probe prints too.
uint32_t Fnv1a(const std::vector<uint8_t>& data);

} // namespace kivtest
