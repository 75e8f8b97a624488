// Writing the container and its B+ trees.
#include <algorithm>
#include <cstring>
#include "tools/kivpack/help/help_container.h"
#include "tools/kivpack/help/help_model.h"

namespace kivpack::help {
namespace {

constexpr uint16_t NoPage = 0xFFFF;
constexpr size_t LeafHeaderSize = 8;
constexpr size_t IndexHeaderSize = 6;

struct PageRef {
    std::vector<uint8_t> firstKey;
    uint16_t page;
};

void FinishPage(std::vector<uint8_t>& page, uint16_t pageSize)
{
    uint16_t unused = uint16_t(pageSize - page.size());
    page[0] = uint8_t(unused);
    page[1] = uint8_t(unused >> 8);
    page.resize(pageSize, 0);
}

} // namespace

std::vector<uint8_t> BuildBTree(const std::vector<BTreeEntry>& entries, uint16_t pageSize, uint16_t flags,
                                const char* structure)
{
    std::vector<std::vector<uint8_t>> pages;
    std::vector<PageRef> level;

    // Leaves, filled in order; previous and next links are set once all exist.
    size_t i = 0;
    do {
        std::vector<uint8_t> page(LeafHeaderSize, 0);
        uint16_t count = 0;
        PageRef ref{i < entries.size() ? entries[i].key : std::vector<uint8_t>(), uint16_t(pages.size())};
        while (i < entries.size() && page.size() + entries[i].leaf.size() <= pageSize) {
            page.insert(page.end(), entries[i].leaf.begin(), entries[i].leaf.end());
            ++count, ++i;
        }
        page[2] = uint8_t(count);
        page[3] = uint8_t(count >> 8);
        FinishPage(page, pageSize);
        pages.push_back(std::move(page));
        level.push_back(std::move(ref));
    } while (i < entries.size());
    for (size_t p = 0; p < pages.size(); ++p) {
        uint16_t prev = p == 0 ? NoPage : uint16_t(p - 1);
        uint16_t next = p + 1 == pages.size() ? NoPage : uint16_t(p + 1);
        pages[p][4] = uint8_t(prev), pages[p][5] = uint8_t(prev >> 8);
        pages[p][6] = uint8_t(next), pages[p][7] = uint8_t(next >> 8);
    }

    uint16_t levels = 1;
    while (level.size() > 1) {
        std::vector<PageRef> upper;
        size_t c = 0;
        while (c < level.size()) {
            std::vector<uint8_t> page(IndexHeaderSize, 0);
            page[4] = uint8_t(level[c].page), page[5] = uint8_t(level[c].page >> 8);
            PageRef ref{level[c].firstKey, uint16_t(pages.size())};
            ++c;
            uint16_t count = 0;
            while (c < level.size() && page.size() + level[c].firstKey.size() + 2 <= pageSize) {
                page.insert(page.end(), level[c].firstKey.begin(), level[c].firstKey.end());
                Put16(page, level[c].page);
                ++count, ++c;
            }
            page[2] = uint8_t(count), page[3] = uint8_t(count >> 8);
            FinishPage(page, pageSize);
            pages.push_back(std::move(page));
            upper.push_back(std::move(ref));
        }
        level.swap(upper);
        ++levels;
    }

    std::vector<uint8_t> out;
    Put16(out, BTreeMagic);
    Put16(out, flags);
    Put16(out, pageSize);
    char format[16] = {};
    std::memcpy(format, structure, std::min(std::strlen(structure), sizeof format));
    out.insert(out.end(), format, format + sizeof format);
    Put16(out, 0);                        // must be zero
    Put16(out, 0);                        // page splits
    Put16(out, uint16_t(pages.size() - 1));  // the root is the last page
    Put16(out, 0xFFFF);                   // must be -1
    Put16(out, uint16_t(pages.size()));
    Put16(out, levels);
    Put32(out, uint32_t(entries.size()));
    for (const auto& page : pages) out.insert(out.end(), page.begin(), page.end());
    return out;
}

std::vector<uint8_t> BuildContainer(const std::vector<InternalFile>& files)
{
    std::vector<uint8_t> out(16, 0);
    std::vector<BTreeEntry> directory;
    for (const InternalFile& file : files) {
        uint32_t offset = uint32_t(out.size());
        Put32(out, uint32_t(file.content.size() + FileHeaderSize));
        Put32(out, uint32_t(file.content.size()));
        out.push_back(0);
        out.insert(out.end(), file.content.begin(), file.content.end());
        BTreeEntry entry;
        PutString(entry.key, file.name);
        entry.leaf = entry.key;
        Put32(entry.leaf, offset);
        directory.push_back(std::move(entry));
    }
    std::vector<uint8_t> tree = BuildBTree(directory, 1024, 0x0402, "z4");
    uint32_t directoryOffset = uint32_t(out.size());
    Put32(out, uint32_t(tree.size() + FileHeaderSize));
    Put32(out, uint32_t(tree.size()));
    out.push_back(4);
    out.insert(out.end(), tree.begin(), tree.end());
    Set32(out, 0, HelpFileMagic);
    Set32(out, 4, directoryOffset);
    Set32(out, 8, 0xFFFFFFFF);
    Set32(out, 12, uint32_t(out.size()));
    return out;
}

} // namespace kivpack::help
