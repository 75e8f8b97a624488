// The layout of a compiled help file, decoded here independently of the
// reader and looked up the way a viewer looks things up: B+ trees searched
// from the root by key, not walked; topic blocks expanded one by one.
#include <gtest/gtest.h>
#include <cstring>
#include <functional>
#include <string>
#include <vector>
#include "tools/kivpack/help/help_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t U16(const Bytes& b, size_t at) { return b.at(at) | b.at(at + 1) << 8; }
uint32_t U32(const Bytes& b, size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }

// The internal file at `offset`: its used bytes, after checking that the
// reserved size is exactly the header and those bytes.
Bytes InternalFile(const Bytes& file, uint32_t offset)
{
    uint32_t reserved = U32(file, offset), used = U32(file, offset + 4);
    EXPECT_EQ(reserved, used + 9);
    return Bytes(file.begin() + offset + 9, file.begin() + offset + 9 + used);
}

// Searches a B+ tree for the leaf entry whose key compares equal; `compare`
// gets an entry and says <0, 0, >0 and the entry's size in the page kind.
size_t Search(const Bytes& tree, const std::function<int(size_t at, bool leaf, size_t& size)>& compare)
{
    EXPECT_EQ(U16(tree, 0), 0x293Bu);
    uint32_t pageSize = U16(tree, 4), page = U16(tree, 26), levels = U16(tree, 32);
    for (uint32_t level = 1; level < levels; ++level) {
        size_t at = 38 + page * pageSize, entries = U16(tree, at + 2);
        uint32_t next = U16(tree, at + 4);
        at += 6;
        for (size_t e = 0; e < entries; ++e) {
            size_t size = 0;
            if (compare(at, false, size) > 0) break;
            next = U16(tree, at + size - 2);
            at += size;
        }
        page = next;
    }
    size_t at = 38 + page * pageSize, entries = U16(tree, at + 2);
    at += 8;
    for (size_t e = 0; e < entries; ++e) {
        size_t size = 0;
        int c = compare(at, true, size);
        if (c == 0) return at;
        at += size;
    }
    return 0;
}

int32_t Hash(const std::string& name)
{
    uint32_t hash = 0;
    for (char c : name) {
        uint32_t x = c >= 'A' && c <= 'Z' ? c - 'A' + 17 : c >= '1' && c <= '9' ? c - '0' : c == '0' ? 10 : 13;
        hash = hash * 43 + x;
    }
    return int32_t(hash);
}

TEST(HelpFile, LayoutIsWhatViewersExpect)
{
    std::string source = "% Layout\n";
    const int count = 700;
    for (int i = 0; i < count; ++i)
        source += "\n# " + std::to_string(3 * i + 1) + " Title " + std::to_string(i) + "\n\nText " +
                  std::string(size_t(i % 50), 'y') + ".\n";
    Bytes file;
    std::vector<std::string> errors;
    ASSERT_TRUE(kivpack::help::CompileHelpSource(source, "layout", file, errors));
    ASSERT_EQ(U32(file, 0), 0x00035F3Fu);
    EXPECT_EQ(U32(file, 12), file.size());
    Bytes directory = InternalFile(file, U32(file, 4));
    EXPECT_EQ(U16(directory, 4), 1024u);
    auto find = [&](const std::string& name) {
        size_t at = Search(directory, [&](size_t a, bool leaf, size_t& size) {
            std::string key(reinterpret_cast<const char*>(&directory[a]));
            size = key.size() + 1 + (leaf ? 4 : 2);
            return key.compare(name);
        });
        EXPECT_NE(at, 0u) << name;
        return at ? InternalFile(file, U32(directory, at + name.size() + 1)) : Bytes();
    };

    Bytes system = find("|SYSTEM");
    EXPECT_EQ(U16(system, 0), 0x036Cu);
    EXPECT_EQ(U16(system, 2), 21u);  // WinHelp 3.1
    EXPECT_EQ(U16(system, 4), 1u);
    EXPECT_NE(U32(system, 6), 0u);   // a build stamp
    EXPECT_EQ(U16(system, 10), 4u);  // LZ77, 4 KB topic blocks
    EXPECT_EQ(U16(system, 12), 1u);
    EXPECT_STREQ(reinterpret_cast<const char*>(&system[16]), "Layout");

    // Every topic block expands to the same length, so TOPICPOS is block * 0x4000 + offset + 12.
    Bytes topic = find("|TOPIC");
    ASSERT_EQ(topic.size() % 4096, 0u);
    for (size_t block = 0; block < topic.size(); block += 4096) {
        size_t expanded = 0;
        for (size_t i = block + 12; i < block + 4096;) {
            uint8_t flags = topic[i++];
            for (int bit = 0; bit < 8 && i < block + 4096; ++bit)
                if (flags & (1 << bit)) expanded += 3 + (topic[i + 1] >> 4), i += 2;
                else ++expanded, ++i;
        }
        EXPECT_EQ(expanded, 3630u) << block;
    }
    EXPECT_EQ(U32(topic, 4), 12u);  // the first link

    Bytes context = find("|CONTEXT"), titles = find("|TTLBTREE"), map = find("|CTXOMAP");
    EXPECT_GT(U16(context, 32), 1u);  // an index level above the leaves
    EXPECT_GT(U16(titles, 32), 1u);
    ASSERT_EQ(U16(map, 0), uint32_t(count));
    uint32_t previousOffset = 0;
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        uint32_t number = U32(map, 2 + 8 * i), offset = U32(map, 6 + 8 * i);
        EXPECT_EQ(number, uint32_t(3 * i + 1));
        if (i) EXPECT_GT(offset, previousOffset);
        previousOffset = offset;
        int32_t hash = Hash("IDH_" + std::to_string(number));
        size_t at = Search(context, [&](size_t a, bool leaf, size_t& size) {
            size = leaf ? 8 : 6;
            int32_t key = int32_t(U32(context, a));
            return key < hash ? -1 : key > hash;
        });
        ASSERT_NE(at, 0u);
        EXPECT_EQ(U32(context, at + 4), offset);
        at = Search(titles, [&](size_t a, bool leaf, size_t& size) {
            size = leaf ? 4 + std::strlen(reinterpret_cast<const char*>(&titles[a + 4])) + 1 : 6;
            uint32_t key = U32(titles, a);
            return key < offset ? -1 : key > offset;
        });
        ASSERT_NE(at, 0u);
        EXPECT_STREQ(reinterpret_cast<const char*>(&titles[at + 4]), ("Title " + std::to_string(i)).c_str());
    }
}

} // namespace
