#include "tools/kivpack/media.h"

namespace {

struct FloppyFormat {
    const char* name;
    unsigned kilobytes;
    uint64_t freeBytes;    // of a freshly formatted volume
    uint32_t cluster;
    unsigned rootEntries;  // the label takes one of them
};

// As mformat lays them out (and as DOS did): data area, cluster size, root
// directory slots.
const FloppyFormat Floppies[] = {
    {"360K", 360, 362496, 1024, 112},   {"720K", 720, 730112, 1024, 112},
    {"1.2M", 1200, 1213952, 512, 224},  {"1.44M", 1440, 1457664, 512, 224},
    {"2.88M", 2880, 2931712, 1024, 240},
};

// A CD of 650 MB: 333,000 blocks of 2048 bytes.
const uint64_t CdBlocks = 333000;
const uint32_t CdBlock = 2048;

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = char(c - 32);
    return text;
}

bool IsShortNameCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           std::string("!#$%&'()-@^_`{}~").find(c) != std::string::npos;
}

// Whether a part of an 8.3 name is all one case (or has no letters): such a
// name is kept in its one short entry, with the case as a flag.
bool OneCase(const std::string& part)
{
    bool lower = false, upper = false;
    for (char c : part) {
        lower = lower || (c >= 'a' && c <= 'z');
        upper = upper || (c >= 'A' && c <= 'Z');
    }
    return !(lower && upper);
}

// The root directory entries a name takes on FAT: one for an 8.3 name, else
// one more for each 13 UTF-16 units of the long name.
unsigned FatEntries(const std::string& name)
{
    size_t dot = name.find('.');
    std::string base = name.substr(0, dot), extension = dot == std::string::npos ? "" : name.substr(dot + 1);
    bool shortName = !base.empty() && base.size() <= 8 && extension.size() <= 3 &&
                     extension.find('.') == std::string::npos && OneCase(base) && OneCase(extension) &&
                     (dot == std::string::npos || !extension.empty());
    for (char c : base + extension) shortName = shortName && IsShortNameCharacter(c);
    if (shortName) return 1;
    size_t units = 0;
    for (unsigned char c : name) units += (c & 0xC0) != 0x80;  // UTF-8 lead bytes; a rough count above U+FFFF
    return unsigned(1 + (units + 12) / 13);
}

} // namespace

bool ParseMedium(const std::string& text, Medium& medium, std::string& error)
{
    medium = Medium();
    const std::string upper = Upper(text);
    for (const FloppyFormat& f : Floppies)
        if (upper == f.name) {
            medium.name = f.name;
            medium.freeBytes = f.freeBytes;
            medium.unit = f.cluster;
            medium.rootEntries = f.rootEntries - 1;
            medium.formatKilobytes = f.kilobytes;
            return true;
        }
    if (upper == "CD") {
        medium.name = "CD";
        medium.freeBytes = CdBlocks * CdBlock;
        medium.unit = CdBlock;
        medium.cd = true;
        return true;
    }
    uint64_t bytes = 0;
    bool digits = !text.empty() && text.size() <= 15;
    for (char c : text) {
        digits = digits && c >= '0' && c <= '9';
        if (digits) bytes = bytes * 10 + unsigned(c - '0');
    }
    if (!digits || bytes == 0) {
        error = "--media " + text + ": not a medium (360K, 720K, 1.2M, 1.44M, 2.88M, CD, or a number of bytes)";
        return false;
    }
    medium.name = text + "-byte";
    medium.freeBytes = bytes;
    return true;
}

DiskUse MeasureDisk(const Medium& medium, const std::vector<DiskFile>& files)
{
    DiskUse use;
    for (const DiskFile& f : files) {
        use.bytes += f.size;
        use.used += (f.size + medium.unit - 1) / medium.unit * medium.unit;
        use.entries += medium.rootEntries ? FatEntries(f.name) : 1;
    }
    return use;
}

uint64_t CdReserve(size_t files, size_t folders)
{
    // 16 blocks of system area, three descriptors, four path tables, the root
    // in both name sets, then for each folder and each name set its
    // directory: a record of at most 256 bytes per file (Rock Ridge and
    // Joliet names included), and the padding mkisofs adds at the end.
    uint64_t blocks = 16 + 3 + 4 + 2 + 150;
    blocks += 2 * (folders + (files * 256 + CdBlock - 1) / CdBlock + folders);
    return blocks * CdBlock;
}
