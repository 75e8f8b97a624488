// The container of a WinHelp file: internal files found through a directory
// B+ tree, and the B+ trees that several internal files are made of.
//
//   offset 0   header: magic 0x00035F3F, directory offset, first free block
//              (-1), file size                                 16 bytes
//   ...        internal files, each: reserved size (= used + 9), used size,
//              flags, then `used` bytes
//   directory  an internal file holding a B+ tree of name -> offset
//
//   B+ tree:   header (38 bytes: magic 0x293B, flags, page size, structure
//              string, root page, page count, levels, entry count), then the
//              pages; leaf pages (8-byte header: free bytes, entries,
//              previous and next leaf) hold the entries, index pages (6-byte
//              header: free bytes, entries, page before the first key) hold
//              key -> page pairs. Leaves come first, the root last.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kivpack::help {

constexpr uint32_t HelpFileMagic = 0x00035F3F;
constexpr uint16_t BTreeMagic = 0x293B;
constexpr size_t FileHeaderSize = 9;
constexpr size_t BTreeHeaderSize = 38;

struct BTreeEntry {
    std::vector<uint8_t> leaf;  // the entry as a leaf page holds it
    std::vector<uint8_t> key;   // its key as an index page holds it
};

// A B+ tree over `entries`, which are in key order. `structure` is the
// format string of the header ("z4", "L4", "Lz").
std::vector<uint8_t> BuildBTree(const std::vector<BTreeEntry>& entries, uint16_t pageSize, uint16_t flags,
                                const char* structure);

struct InternalFile {
    std::string name;
    std::vector<uint8_t> content;
};

// The whole help file from its internal files, whose names are in byte order.
std::vector<uint8_t> BuildContainer(const std::vector<InternalFile>& files);

} // namespace kivpack::help
