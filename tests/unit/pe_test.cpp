// The PE reader and writer: resources read back as written, other sections
// untouched, headers fixed, and hostile images refused without harm.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "pe_fixtures.h"
#include "tools/kivpack/pe/pe.h"

using namespace kivpack;
using namespace kivtest;

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

void Set32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// The checksum computed another way: the whole file as 16-bit words summed
// in 64 bits with the checksum field cleared, folded once at the end.
uint32_t ReferenceChecksum(std::vector<uint8_t> file, size_t field)
{
    std::fill(file.begin() + field, file.begin() + field + 4, 0);
    uint64_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2)
        sum += file[i] + (i + 1 < file.size() ? file[i + 1] << 8 : 0);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return uint32_t(sum) + uint32_t(file.size());
}

Resource Make(uint16_t type, uint16_t name, uint16_t lang, std::vector<uint8_t> data)
{
    return {ResourceName::Id(type), ResourceName::Id(name), lang, 0, std::move(data)};
}

std::vector<uint8_t> Pattern(size_t n, uint8_t seed)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(seed + i * 31 + (i >> 8));
    return v;
}

PeImage ReadOk(const std::vector<uint8_t>& file)
{
    PeImage image;
    std::string error;
    EXPECT_TRUE(ReadPeImage(file, image, error)) << error;
    return image;
}

std::vector<uint8_t> WriteOk(const PeImage& image, const ResourceSet& set)
{
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(WritePeWithResources(image, set, out, error)) << error;
    return out;
}

void ExpectSameResources(const ResourceSet& a, const ResourceSet& b)
{
    ASSERT_EQ(a.Size(), b.Size());
    for (size_t i = 0; i < a.Size(); ++i) {
        const Resource& x = a.Entries()[i];
        const Resource& y = b.Entries()[i];
        EXPECT_EQ(x.type, y.type);
        EXPECT_EQ(x.name, y.name) << x.name.ToString() << " vs " << y.name.ToString();
        EXPECT_EQ(x.language, y.language);
        EXPECT_EQ(x.codePage, y.codePage);
        EXPECT_EQ(x.data, y.data) << "resource " << x.type.ToString() << "/" << x.name.ToString();
    }
}

// Every section of `before` except the resource section has the same raw
// bytes in `after`, at the same place, under the same header values.
void ExpectOtherSectionsIntact(const PeImage& before, const PeImage& after)
{
    for (size_t i = 0; i < before.sections.size(); ++i) {
        if (int(i) == before.resourceSection) continue;
        const PeSection& s = before.sections[i];
        const PeSection& t = after.sections[i];
        EXPECT_EQ(s.name, t.name);
        EXPECT_EQ(s.virtualAddress, t.virtualAddress);
        EXPECT_EQ(s.virtualSize, t.virtualSize);
        ASSERT_EQ(s.rawPointer, t.rawPointer);
        ASSERT_EQ(s.rawSize, t.rawSize);
        EXPECT_TRUE(std::equal(before.bytes.begin() + s.rawPointer,
                               before.bytes.begin() + s.rawPointer + s.rawSize,
                               after.bytes.begin() + t.rawPointer))
            << "section " << s.name << " changed";
    }
}

std::vector<uint8_t> LoadStub()
{
    std::ifstream in(std::string(KIV_SOURCE_DIR) + "/build/win32/kivinstall.exe", std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(PeRead, ListsTheHandBuiltTree)
{
    PeImage image = ReadOk(BuildFixturePe(StandardFixture()));
    ASSERT_EQ(image.sections.size(), 4u);
    EXPECT_EQ(image.resourceSection, 2);
    const auto& e = image.resources.Entries();
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].type, ResourceName::Named(std::string("KIVDATA")));
    EXPECT_EQ(e[0].name, ResourceName::Id(7));
    EXPECT_EQ(e[0].language, 0x409);
    EXPECT_EQ(e[0].codePage, 1252u);
    EXPECT_EQ(std::string(e[0].data.begin(), e[0].data.end()), "alpha");
    EXPECT_EQ(e[1].type, ResourceName::Id(6));
    EXPECT_EQ(e[1].language, 0);
    EXPECT_EQ(std::string(e[1].data.begin(), e[1].data.end()), "neutral");
    EXPECT_EQ(e[2].language, 0x409);
    EXPECT_EQ(std::string(e[2].data.begin(), e[2].data.end()), "us-english");
}

TEST(PeWrite, AppendsASectionWhenResourcesAreNotLast)
{
    std::vector<uint8_t> file = BuildFixturePe(StandardFixture());
    PeImage before = ReadOk(file);
    ResourceSet set = before.resources;
    set.Set(Make(256, 12000, 0x409, Pattern(1000, 1)));
    set.Set(Make(256, 12001, 0x409, Pattern(0, 2)));
    set.Set(Make(256, 12002, 0x409, Pattern(70001, 3)));
    PeImage after = ReadOk(WriteOk(before, set));

    ExpectSameResources(set, after.resources);
    ExpectOtherSectionsIntact(before, after);
    ASSERT_EQ(after.sections.size(), 5u);
    EXPECT_EQ(after.resourceSection, 4);
    EXPECT_EQ(after.sections[2].name, ".oldrsrc");
    const PeSection& old = before.sections[2];
    EXPECT_TRUE(std::equal(file.begin() + old.rawPointer, file.begin() + old.rawPointer + old.rawSize,
                           after.bytes.begin() + after.sections[2].rawPointer));
    const PeSection& added = after.sections[4];
    EXPECT_EQ(added.name, ".rsrc");
    EXPECT_EQ(added.virtualAddress, 0x6000u);
    EXPECT_EQ(added.rawPointer % 0x200, 0u);
    EXPECT_EQ(added.rawSize % 0x200, 0u);
    EXPECT_EQ(after.Directory(kDirResource).rva, 0x6000u);
    EXPECT_EQ(after.Directory(kDirResource).size, added.virtualSize);
    EXPECT_EQ(after.sizeOfImage, (0x6000 + added.virtualSize + 0xFFF) & ~0xFFFu);
    EXPECT_EQ(after.bytes.size(), size_t(added.rawPointer) + added.rawSize);
    uint32_t opt = before.optionalHeaderOffset;
    EXPECT_EQ(Le32(after.bytes, opt + 8), Le32(before.bytes, opt + 8) + added.rawSize);
    EXPECT_EQ(after.checksum, ReferenceChecksum(after.bytes, opt + 64));
    // Header fields outside the fixed ones are unchanged.
    const size_t count = before.peOffset + 6;
    EXPECT_TRUE(std::equal(file.begin(), file.begin() + count, after.bytes.begin()));
    EXPECT_TRUE(std::equal(file.begin() + count + 2, file.begin() + opt + 8, after.bytes.begin() + count + 2));
}

TEST(PeWrite, ReplacesALastResourceSectionInPlace)
{
    PeImage first = ReadOk(BuildFixturePe(StandardFixture()));
    ResourceSet set = first.resources;
    set.Set(Make(256, 12000, 0x409, Pattern(5000, 4)));
    PeImage second = ReadOk(WriteOk(first, set));

    // Rewriting the packed image with fewer resources: no further section.
    set.Remove(ResourceName::Id(256), ResourceName::Id(12000), 0x409);
    set.Set(Make(256, 12000, 0x409, Pattern(10, 5)));
    PeImage third = ReadOk(WriteOk(second, set));
    EXPECT_EQ(third.sections.size(), second.sections.size());
    EXPECT_EQ(third.sections.back().virtualAddress, second.sections.back().virtualAddress);
    EXPECT_LT(third.bytes.size(), second.bytes.size());
    ExpectSameResources(set, third.resources);
    ExpectOtherSectionsIntact(second, third);
    uint32_t opt = second.optionalHeaderOffset;
    EXPECT_EQ(int64_t(Le32(third.bytes, opt + 8)) - Le32(second.bytes, opt + 8),
              int64_t(third.sections.back().rawSize) - second.sections.back().rawSize);
    EXPECT_EQ(third.checksum, ReferenceChecksum(third.bytes, opt + 64));

    // Same resources again: the same bytes.
    EXPECT_EQ(WriteOk(third, set), third.bytes);
}

TEST(PeWrite, AddsAResourceSectionToAnImageWithout)
{
    FixtureOptions o = StandardFixture();
    o.sections.erase(o.sections.begin() + 2);
    PeImage before = ReadOk(BuildFixturePe(o));
    EXPECT_EQ(before.resourceSection, -1);
    ResourceSet set;
    set.Set(Make(6, 626, 0x409, Pattern(40, 6)));
    PeImage after = ReadOk(WriteOk(before, set));
    ExpectSameResources(set, after.resources);
    ExpectOtherSectionsIntact(before, after);
    EXPECT_EQ(after.sections.back().characteristics, 0x40000040u);
}

TEST(PeWrite, KeepsTheOverlayAndMovesTheSymbolPointer)
{
    FixtureOptions o = StandardFixture();
    o.overlay = Pattern(333, 7);
    o.symbolsInOverlay = true;
    PeImage before = ReadOk(BuildFixturePe(o));
    EXPECT_EQ(before.OverlaySize(), 333u);
    ResourceSet set = before.resources;
    set.Set(Make(256, 12000, 0, Pattern(3000, 8)));
    PeImage after = ReadOk(WriteOk(before, set));
    ASSERT_EQ(after.OverlaySize(), 333u);
    EXPECT_TRUE(std::equal(o.overlay.begin(), o.overlay.end(), after.bytes.end() - 333));
    EXPECT_EQ(after.symbolTablePointer, after.rawEnd);

    // SizeOfHeaders reaching over the whole last section (it lies below the
    // first section's address, so a loader takes it): a smaller tree written
    // in its place must not let the overlay start inside the headers.
    FixtureOptions small = StandardFixture();
    small.sections = {o.sections[0], o.sections[2]};
    PeImage plain = ReadOk(BuildFixturePe(small));
    ResourceSet bigger = plain.resources;
    bigger.Set(Make(256, 12000, 0, Pattern(1500, 8)));
    PeImage grown = ReadOk(WriteOk(plain, bigger));
    std::vector<uint8_t> wide = grown.bytes;
    wide.insert(wide.end(), o.overlay.begin(), o.overlay.end());
    const uint32_t sizeOfHeaders = grown.optionalHeaderOffset + 60;
    for (int i = 0; i < 4; ++i) wide[sizeOfHeaders + i] = uint8_t(grown.rawEnd >> (8 * i));
    PeImage widened = ReadOk(wide);
    ASSERT_EQ(widened.OverlaySize(), 333u);
    ResourceSet fewer = widened.resources;
    fewer.Remove(ResourceName::Id(256), ResourceName::Id(12000), 0);
    PeImage rewritten = ReadOk(WriteOk(widened, fewer));
    EXPECT_EQ(rewritten.OverlaySize(), 333u);
    EXPECT_TRUE(std::equal(o.overlay.begin(), o.overlay.end(), rewritten.bytes.end() - 333));
    ExpectSameResources(fewer, rewritten.resources);
}

TEST(PeWrite, LaysTheTreeOutInCanonicalOrder)
{
    ResourceSet set;
    set.Set(Make(256, 12001, 0, Pattern(3, 1)));
    set.Set({ResourceName::Named(std::string("ZETA")), ResourceName::Id(1), 0, 0, Pattern(1, 2)});
    set.Set(Make(6, 501, 0x409, Pattern(9, 3)));
    set.Set({ResourceName::Named(std::string("ALPHA")), ResourceName::Id(1), 0, 0, Pattern(1, 4)});
    set.Set(Make(256, 12000, 0x409, Pattern(5, 5)));
    set.Set(Make(256, 12000, 0, Pattern(5, 6)));
    std::vector<uint8_t> tree;
    std::string error;
    ASSERT_TRUE(BuildResourceTree(set, 0x7000, tree, error)) << error;
    // Root: 2 named, 2 numbered; ALPHA, ZETA, 6, 256.
    EXPECT_EQ(tree[12], 2);
    EXPECT_EQ(tree[14], 2);
    auto nameAt = [&](uint32_t field) {
        uint32_t at = field & 0x7FFFFFFF;
        std::string s;
        for (uint32_t i = 0; i < tree[at]; ++i) s += char(tree[at + 2 + 2 * i]);
        return s;
    };
    EXPECT_EQ(nameAt(Le32(tree, 16)), "ALPHA");
    EXPECT_EQ(nameAt(Le32(tree, 24)), "ZETA");
    EXPECT_EQ(Le32(tree, 32), 6u);
    EXPECT_EQ(Le32(tree, 40), 256u);
    // Type 256 lists 12000 before 12001, and 12000's languages 0 before 0x409.
    uint32_t t256 = Le32(tree, 44) & 0x7FFFFFFF;
    EXPECT_EQ(Le32(tree, t256 + 16), 12000u);
    EXPECT_EQ(Le32(tree, t256 + 24), 12001u);
    uint32_t l12000 = Le32(tree, t256 + 20) & 0x7FFFFFFF;
    EXPECT_EQ(Le32(tree, l12000 + 16), 0u);
    EXPECT_EQ(Le32(tree, l12000 + 24), 0x409u);
    // Data blocks start on 8-byte boundaries.
    uint32_t entry = Le32(tree, l12000 + 20);
    EXPECT_EQ((Le32(tree, entry) - 0x7000) % 8, 0u);
    EXPECT_EQ(Le32(tree, entry + 4), 5u);
}

TEST(PeWrite, RefusesWhatItCannotWriteSoundly)
{
    std::string error;
    std::vector<uint8_t> out;
    // No room for another section header: the headers end with the table...
    FixtureOptions o = StandardFixture();
    o.sizeOfHeaders = 0x80 + 24 + 224 + 4 * 40;
    PeImage image = ReadOk(BuildFixturePe(o));
    EXPECT_FALSE(WritePeWithResources(image, image.resources, out, error));
    EXPECT_NE(error.find("no room"), std::string::npos) << error;
    EXPECT_TRUE(out.empty());
    // ... or the space after it is in use (bound imports, say).
    FixtureLayout layout;
    std::vector<uint8_t> used = BuildFixturePe(StandardFixture(), &layout);
    used[layout.sectionTable + 4 * 40 + 7] = 1;
    image = ReadOk(used);
    error.clear();
    EXPECT_FALSE(WritePeWithResources(image, image.resources, out, error));
    EXPECT_NE(error.find("no room"), std::string::npos) << error;

    // Already as many sections as a loader takes.
    FixtureOptions many = StandardFixture();
    many.sizeOfHeaders = 0x1200;
    while (many.sections.size() < 96) many.sections.push_back({".x", {1}, 0, 0x40000040, false});
    image = ReadOk(BuildFixturePe(many));
    EXPECT_FALSE(WritePeWithResources(image, image.resources, out, error));
    EXPECT_NE(error.find("most sections"), std::string::npos) << error;

    // A directory that no section holds, at the address where the new
    // section would go (a debug directory past the end of the image)...
    std::vector<uint8_t> pointing = BuildFixturePe(StandardFixture(), &layout);
    image = ReadOk(pointing);
    const PeSection& last = image.sections.back();
    const uint32_t newRva = (last.virtualAddress + last.virtualSize + 0xFFF) & ~0xFFFu;
    ASSERT_EQ(newRva, 0x6000u);
    Set32(pointing, layout.optionalHeader + 96 + 8 * kDirDebug, newRva + 0xA2);
    Set32(pointing, layout.optionalHeader + 100 + 8 * kDirDebug, 28);
    image = ReadOk(pointing);
    error.clear();
    EXPECT_FALSE(WritePeWithResources(image, image.resources, out, error));
    EXPECT_NE(error.find("debug data (RVA 0x"), std::string::npos) << error;
    EXPECT_TRUE(out.empty());
    // ... or data of another directory inside a resource section replaced in
    // place; one just beyond the section is left as it is.
    PeImage packed = ReadOk(WriteOk(ReadOk(BuildFixturePe(StandardFixture())), image.resources));
    const PeSection& rsrc = packed.sections.back();
    std::vector<uint8_t> inside = packed.bytes;
    Set32(inside, packed.optionalHeaderOffset + 96 + 8 * kDirBaseRelocation, rsrc.virtualAddress + 16);
    Set32(inside, packed.optionalHeaderOffset + 100 + 8 * kDirBaseRelocation, 8);
    image = ReadOk(inside);
    EXPECT_FALSE(WritePeWithResources(image, image.resources, out, error));
    EXPECT_NE(error.find("base relocation data"), std::string::npos) << error;
    Set32(inside, packed.optionalHeaderOffset + 96 + 8 * kDirBaseRelocation, packed.sizeOfImage + 0x1000);
    EXPECT_EQ(WriteOk(ReadOk(inside), image.resources).size(), inside.size());

    // A signed image.
    std::vector<uint8_t> signedFile = BuildFixturePe(StandardFixture(), &layout);
    Set32(signedFile, layout.optionalHeader + 96 + 8 * kDirSecurity, uint32_t(signedFile.size()));
    Set32(signedFile, layout.optionalHeader + 100 + 8 * kDirSecurity, 8);
    signedFile.resize(signedFile.size() + 8, 0);
    image = ReadOk(signedFile);
    EXPECT_FALSE(WritePeWithResources(image, image.resources, out, error));
    EXPECT_NE(error.find("signed"), std::string::npos) << error;
}

TEST(PeChecksum, MatchesTheLinkersAndAnIndependentSum)
{
    std::vector<uint8_t> odd = Pattern(1001, 9);  // odd length: last byte is a half word
    EXPECT_EQ(ComputePeChecksum(odd, 100), ReferenceChecksum(odd, 100));
    std::vector<uint8_t> ones(4096, 0xFF);  // carries on every word
    EXPECT_EQ(ComputePeChecksum(ones, 64), ReferenceChecksum(ones, 64));

    std::vector<uint8_t> stub = LoadStub();
    if (stub.empty()) GTEST_SKIP() << "build/win32/kivinstall.exe not built";
    PeImage image = ReadOk(stub);
    ASSERT_NE(image.checksum, 0u);
    EXPECT_EQ(ComputePeChecksum(stub, image.optionalHeaderOffset + 64), image.checksum);
}

TEST(PeStub, PacksTheRealStub)
{
    std::vector<uint8_t> stub = LoadStub();
    if (stub.empty()) GTEST_SKIP() << "build/win32/kivinstall.exe not built";
    PeImage before = ReadOk(stub);
    ASSERT_GE(before.resourceSection, 0);
    ASSERT_NE(before.resources.FindAny(ResourceName::Id(6), ResourceName::Id(501)), nullptr);
    ResourceSet set = before.resources;
    set.Set(Make(256, 12000, 0x409, Pattern(12345, 10)));
    set.Set(Make(256, 12001, 0x409, Pattern(77, 11)));
    PeImage after = ReadOk(WriteOk(before, set));
    ExpectSameResources(set, after.resources);
    ExpectOtherSectionsIntact(before, after);
    EXPECT_EQ(after.checksum, ReferenceChecksum(after.bytes, after.optionalHeaderOffset + 64));
}
