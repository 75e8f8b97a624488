// Damaged and hostile images: each is refused with a message, never read out
// of bounds (these tests are also run under valgrind and ASan).
#include <gtest/gtest.h>

#include <random>

#include "pe_fixtures.h"
#include "tools/kivpack/pe/pe.h"

using namespace kivpack;
using namespace kivtest;

namespace {

void Set16(std::vector<uint8_t>& b, size_t at, uint16_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

void Set32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

uint32_t Get32At(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// Refused, with a message containing `words`.
void ExpectRefused(const std::vector<uint8_t>& file, const char* words)
{
    PeImage image;
    std::string error;
    EXPECT_FALSE(ReadPeImage(file, image, error)) << "accepted; expected: " << words;
    EXPECT_NE(error.find(words), std::string::npos) << "message: " << error;
}

struct Fixture {
    FixtureLayout layout;
    std::vector<uint8_t> file = BuildFixturePe(StandardFixture(), &layout);
    size_t Tree(uint32_t offset) const { return layout.resourceFileOffset + offset; }
};

} // namespace

TEST(PeHostile, EveryTruncationIsRefused)
{
    Fixture f;
    for (size_t n = 0; n < f.file.size(); ++n) {
        std::vector<uint8_t> cut(f.file.begin(), f.file.begin() + n);
        PeImage image;
        std::string error;
        ASSERT_FALSE(ReadPeImage(cut, image, error)) << "accepted at length " << n;
        ASSERT_FALSE(error.empty());
    }
}

TEST(PeHostile, HeaderFaults)
{
    Fixture f;
    std::vector<uint8_t> b = f.file;
    b[0] = 'X';
    ExpectRefused(b, "no MZ header");

    for (uint32_t bad : {0xFFFFFFF0u, uint32_t(f.file.size() - 2), uint32_t(f.file.size())}) {
        b = f.file;
        Set32(b, 0x3C, bad);
        ExpectRefused(b, "outside the file");
    }
    b = f.file;
    b[f.layout.peOffset + 2] = 'X';
    ExpectRefused(b, "no PE signature");

    // The same headers one byte further on: a checksum at an odd offset.
    b = f.file;
    b.insert(b.begin() + f.layout.peOffset, 0);
    Set32(b, 0x3C, f.layout.peOffset + 1);
    ExpectRefused(b, "odd offset (0x");

    b = f.file;
    Set16(b, f.layout.peOffset + 4, 0x8664);
    ExpectRefused(b, "machine 0x8664");

    b = f.file;
    Set16(b, f.layout.optionalHeader, 0x20B);
    ExpectRefused(b, "magic 0x20B");

    for (uint16_t count : {0, 97, 0xFFFF}) {
        b = f.file;
        Set16(b, f.layout.peOffset + 6, count);
        ExpectRefused(b, "number of sections");
    }
    b = f.file;
    Set16(b, f.layout.peOffset + 6, 40);  // a table that runs past SizeOfHeaders
    ExpectRefused(b, "SizeOfHeaders");

    b = f.file;
    Set16(b, f.layout.peOffset + 20, 0xFFFF);  // SizeOfOptionalHeader
    ExpectRefused(b, "optional header");

    b = f.file;
    Set32(b, f.layout.optionalHeader + 36, 0x300);  // FileAlignment not a power of two
    ExpectRefused(b, "alignment");

    b = f.file;
    Set32(b, f.layout.optionalHeader + 56, 0x1000);  // SizeOfImage
    ExpectRefused(b, "SizeOfImage");
}

TEST(PeHostile, SectionFaults)
{
    Fixture f;
    const size_t data = f.layout.sectionTable + 40;  // .data's header
    std::vector<uint8_t> b = f.file;
    Set32(b, data + 20, 0xFFFFFF00u);  // raw pointer: wraps when the size is added
    ExpectRefused(b, "past the end of the file");

    b = f.file;
    Set32(b, data + 16, 0x7FFFFFFF);  // raw size
    ExpectRefused(b, "past the end of the file");

    b = f.file;
    Set32(b, data + 20, 0x10);  // raw data over the headers
    ExpectRefused(b, "overlaps the headers");

    b = f.file;
    Set32(b, data + 12, 0x1000);  // same address as .text
    ExpectRefused(b, "misplaced");

    b = f.file;
    Set32(b, data + 8, 0xFFFFF000u);  // virtual size past 4 GB
    ExpectRefused(b, "4 GB");

    b = f.file;
    Set32(b, f.layout.optionalHeader + 96 + 16, 0x90000);  // resource RVA in no section
    ExpectRefused(b, "in no section");
}

TEST(PeHostile, ResourceTreeFaults)
{
    Fixture f;
    std::vector<uint8_t> b = f.file;
    Set32(b, f.Tree(kHandTypeNamed + 20), 0x80000000u | kHandRoot);  // back to the root
    ExpectRefused(b, "loop");

    b = f.file;
    Set32(b, f.Tree(kHandNamed7 + 20), kHandData3);  // two languages share one data entry
    ExpectRefused(b, "reached twice");

    b = f.file;
    Set32(b, f.Tree(kHandTypeStrings + 20), 0x80000000u | kHandNamed7);  // a table shared by two types
    ExpectRefused(b, "reached twice");

    b = f.file;
    Set16(b, f.Tree(kHandRoot + 14), 0xFFFF);  // huge entry count
    ExpectRefused(b, "run past");

    b = f.file;
    Set32(b, f.Tree(kHandTypeNamed + 20), 0x80000000u | 0x7FFFFFF0u);  // table far outside
    ExpectRefused(b, "outside the resource section");

    b = f.file;
    Set32(b, f.Tree(kHandRoot + 16), 0x80000000u | 0x7FFFFFFFu);  // name far outside
    ExpectRefused(b, "name lies outside");

    b = f.file;
    Set16(b, f.Tree(kHandName), 0xFFFF);  // name longer than the section
    ExpectRefused(b, "name runs past");

    b = f.file;
    Set32(b, f.Tree(kHandData1), 0xFFFFFFF0u);  // data RVA: wraps with its size
    ExpectRefused(b, "outside the image's sections");

    b = f.file;
    Set32(b, f.Tree(kHandData2 + 4), 0x300);  // data beyond the end of its section
    ExpectRefused(b, "outside the image's sections");

    // Two data entries over the same bytes, whole or in part: a reader taking
    // each as a file would expand them twice.
    const uint32_t alpha = Get32At(f.file, f.Tree(kHandData1));
    for (uint32_t shift : {0u, 2u, 4u}) {
        b = f.file;
        Set32(b, f.Tree(kHandData2), alpha + shift);
        Set32(b, f.Tree(kHandData2 + 4), 2);
        ExpectRefused(b, "its data overlaps that of resource");
    }
    b = f.file;
    Set32(b, f.Tree(kHandData2), alpha + 5);  // right after "alpha": touching is not sharing
    Set32(b, f.Tree(kHandData2 + 4), 2);
    PeImage image;
    std::string error;
    EXPECT_TRUE(ReadPeImage(b, image, error)) << error;

    b = f.file;
    Set32(b, f.Tree(kHandStrings501 + 20), 0x80000000u | kHandNamed7);  // a fourth level
    ExpectRefused(b, "more than three levels");

    b = f.file;
    Set32(b, f.Tree(kHandTypeStrings + 20), kHandData2);  // data at the name level
    ExpectRefused(b, "fewer than three levels");

    b = f.file;
    Set32(b, f.Tree(kHandStrings501 + 24), 0);  // language 0 twice
    ExpectRefused(b, "duplicate");

    b = f.file;
    Set32(b, f.Tree(kHandTypeStrings + 16), 0x12345);  // id beyond 16 bits
    ExpectRefused(b, "beyond 65535");

    b = f.file;
    Set16(b, f.Tree(kHandRoot + 12), 0);  // named entry counted as numbered
    Set16(b, f.Tree(kHandRoot + 14), 2);
    ExpectRefused(b, "out of order");
}

// Random damage to the headers and the resource tree: whatever is accepted
// must also be writable, and the written image must read back.
TEST(PeHostile, RandomDamageNeverHarms)
{
    Fixture f;
    std::mt19937 rng(12345);
    size_t accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> b = f.file;
        int flips = 1 + int(rng() % 4);
        for (int k = 0; k < flips; ++k) {
            size_t at = rng() % 2 ? rng() % f.layout.resourceFileOffset
                                  : f.layout.resourceFileOffset + rng() % 0xE4;
            b[at] = uint8_t(rng());
        }
        PeImage image;
        std::string error;
        if (!ReadPeImage(b, image, error)) {
            ASSERT_FALSE(error.empty());
            continue;
        }
        ++accepted;
        std::vector<uint8_t> out;
        if (!WritePeWithResources(image, image.resources, out, error)) {
            ASSERT_FALSE(error.empty());
            ASSERT_TRUE(out.empty());
            continue;
        }
        PeImage again;
        ASSERT_TRUE(ReadPeImage(out, again, error)) << "round " << round << ": " << error;
        ASSERT_EQ(again.resources.Size(), image.resources.Size());
    }
    EXPECT_GT(accepted, 0u);  // the damage is not all fatal, so writing is exercised
}
