// Reading a PE32 image: the DOS stub's pointer, the file and optional headers,
// the section table and, through resources.cpp, the resource tree.
#include "tools/kivpack/pe/image.h"

#include <algorithm>

#include <cstdarg>
#include <cstdio>

#include "tools/kivpack/pe/bytes.h"

namespace kivpack {

namespace {

constexpr uint16_t kMachineI386 = 0x14C;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kFileExecutable = 0x0002;
constexpr uint32_t kMaxSections = 96;
constexpr uint32_t kOptionalFixedSize = 96;  // PE32 fields before the data directories

bool Fail(std::string& error, const char* format, ...)
{
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    error = text;
    return false;
}

bool IsPowerOfTwo(uint32_t v) { return v && !(v & (v - 1)); }

// The size the loader maps for a section: VirtualSize, or the raw size when
// a linker left VirtualSize 0.
uint32_t MappedSize(const PeSection& s) { return s.virtualSize ? s.virtualSize : s.rawSize; }

bool ReadHeaders(const std::vector<uint8_t>& file, PeImage& image, std::string& error)
{
    if (file.size() > 0xFFFFFFFFu) return Fail(error, "file too large for a PE image");
    if (file.size() < 64 || file[0] != 'M' || file[1] != 'Z')
        return Fail(error, "not a Windows executable (no MZ header)");
    uint32_t pe = Get32(file.data() + 0x3C);
    if (!InRange(file.size(), pe, 24))
        return Fail(error, "PE header offset 0x%X lies outside the file", pe);
    if (Get32(file.data() + pe) != 0x00004550u)
        return Fail(error, "not a PE image (no PE signature at 0x%X)", pe);
    // The image checksum is a sum of 16-bit words that leaves out its own
    // field; at an odd offset that field straddles two words, and no value
    // written there can equal the sum it takes part in.
    if (pe % 2) return Fail(error, "the PE header lies at an odd offset (0x%X)", pe);
    const uint8_t* fh = file.data() + pe + 4;
    uint16_t machine = Get16(fh);
    if (machine != kMachineI386)
        return Fail(error, "not a 32-bit i386 image (machine 0x%04X)", machine);
    uint32_t sectionCount = Get16(fh + 2);
    image.symbolTablePointer = Get32(fh + 8);
    uint32_t optionalSize = Get16(fh + 16);
    uint16_t characteristics = Get16(fh + 18);
    if (!(characteristics & kFileExecutable)) return Fail(error, "not an executable image");
    if (sectionCount == 0 || sectionCount > kMaxSections)
        return Fail(error, "bad number of sections (%u)", sectionCount);

    uint32_t opt = pe + 24;
    if (optionalSize < kOptionalFixedSize || !InRange(file.size(), opt, optionalSize))
        return Fail(error, "optional header truncated or too small (%u bytes)", optionalSize);
    const uint8_t* oh = file.data() + opt;
    uint16_t magic = Get16(oh);
    if (magic != kMagicPe32) return Fail(error, "not a PE32 optional header (magic 0x%X)", magic);
    image.peOffset = pe;
    image.optionalHeaderOffset = opt;
    image.sectionAlignment = Get32(oh + 32);
    image.fileAlignment = Get32(oh + 36);
    image.sizeOfImage = Get32(oh + 56);
    image.sizeOfHeaders = Get32(oh + 60);
    image.checksum = Get32(oh + 64);
    if (!IsPowerOfTwo(image.sectionAlignment) || !IsPowerOfTwo(image.fileAlignment) ||
        image.fileAlignment > image.sectionAlignment || image.fileAlignment > 0x10000 ||
        image.sectionAlignment > 0x10000000)
        return Fail(error, "bad alignment (section 0x%X, file 0x%X)", image.sectionAlignment,
                    image.fileAlignment);

    uint32_t dirCount = Get32(oh + 92);
    if (dirCount > kMaxDataDirectories) dirCount = kMaxDataDirectories;
    if (kOptionalFixedSize + 8 * dirCount > optionalSize)
        return Fail(error, "optional header too small for its %u data directories", dirCount);
    image.directories.clear();
    for (uint32_t i = 0; i < dirCount; ++i)
        image.directories.push_back({Get32(oh + 96 + 8 * i), Get32(oh + 100 + 8 * i)});

    image.sectionTableOffset = opt + optionalSize;
    uint64_t tableEnd = uint64_t(image.sectionTableOffset) + 40ull * sectionCount;
    if (tableEnd > file.size()) return Fail(error, "section table runs past the end of the file");
    if (tableEnd > image.sizeOfHeaders || image.sizeOfHeaders > file.size())
        return Fail(error, "SizeOfHeaders 0x%X does not cover the section table within the file",
                    image.sizeOfHeaders);
    image.sections.clear();
    for (uint32_t i = 0; i < sectionCount; ++i) {
        uint32_t at = image.sectionTableOffset + 40 * i;
        const uint8_t* sh = file.data() + at;
        PeSection s;
        for (int k = 0; k < 8 && sh[k]; ++k) s.name += char(sh[k]);
        s.virtualSize = Get32(sh + 8);
        s.virtualAddress = Get32(sh + 12);
        s.rawSize = Get32(sh + 16);
        s.rawPointer = Get32(sh + 20);
        s.characteristics = Get32(sh + 36);
        s.headerOffset = at;
        image.sections.push_back(s);
    }
    return true;
}

bool CheckSections(PeImage& image, std::string& error)
{
    const std::vector<uint8_t>& file = image.bytes;
    uint64_t tableEnd = image.sectionTableOffset + 40ull * image.sections.size();
    uint64_t nextFree = AlignUp(image.sizeOfHeaders, image.sectionAlignment);
    uint64_t rawEnd = image.sizeOfHeaders;
    for (const PeSection& s : image.sections) {
        const char* name = s.name.c_str();
        if (s.rawSize) {
            if (s.rawPointer < tableEnd)
                return Fail(error, "section '%s' overlaps the headers", name);
            if (!InRange(file.size(), s.rawPointer, s.rawSize))
                return Fail(error, "section '%s' runs past the end of the file", name);
            if (uint64_t(s.rawPointer) + s.rawSize > rawEnd) rawEnd = uint64_t(s.rawPointer) + s.rawSize;
        }
        if (s.virtualAddress % image.sectionAlignment || s.virtualAddress < nextFree)
            return Fail(error, "section '%s' at 0x%X is misplaced in memory", name, s.virtualAddress);
        nextFree = uint64_t(s.virtualAddress) + AlignUp(MappedSize(s), image.sectionAlignment);
        if (nextFree > 0xFFFFFFFFu) return Fail(error, "section '%s' ends beyond 4 GB", name);
    }
    if (image.sizeOfImage < nextFree)
        return Fail(error, "SizeOfImage 0x%X is smaller than the sections (0x%llX)",
                    image.sizeOfImage, (unsigned long long)nextFree);
    image.rawEnd = uint32_t(rawEnd);
    return true;
}

} // namespace

PeDataDirectory PeImage::Directory(uint32_t index) const
{
    return index < directories.size() ? directories[index] : PeDataDirectory{};
}

bool RvaToFileOffset(const PeImage& image, uint32_t rva, uint32_t size, uint32_t& offset)
{
    for (const PeSection& s : image.sections) {
        uint32_t limit = MappedSize(s) < s.rawSize ? MappedSize(s) : s.rawSize;
        if (rva < s.virtualAddress) continue;
        uint32_t delta = rva - s.virtualAddress;
        if (delta > limit || size > limit - delta) continue;
        offset = s.rawPointer + delta;
        return true;
    }
    return false;
}

uint32_t ComputePeChecksum(const std::vector<uint8_t>& file, size_t checksumOffset)
{
    PeChecksum sum;
    size_t skip = std::min(file.size(), checksumOffset);
    size_t resume = std::min(file.size(), checksumOffset + 4);
    static const uint8_t kZero[4] = {};
    sum.Add(file.data(), skip);
    sum.Add(kZero, resume - skip);
    sum.Add(file.data() + resume, file.size() - resume);
    return sum.Value();
}

void PeChecksum::Add(const uint8_t* data, size_t size)
{
    // A byte at an odd offset is the high half of its word.
    for (size_t i = 0; i < size; ++i) sum_ += uint64_t(data[i]) << (8 * ((length_ + i) & 1));
    length_ += size;
}

uint32_t PeChecksum::Value() const
{
    // Folding the carries back in at the end gives what folding them after
    // every word gives: both are the ones' complement sum of the words.
    uint64_t sum = sum_;
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return uint32_t(sum) + uint32_t(length_);
}

bool ReadPeImage(const std::vector<uint8_t>& file, PeImage& image, std::string& error)
{
    image = PeImage();
    if (!ReadHeaders(file, image, error)) return false;
    image.bytes = file;
    if (!CheckSections(image, error)) return false;

    PeDataDirectory rsrc = image.Directory(kDirResource);
    if (rsrc.rva == 0) return true;
    for (size_t i = 0; i < image.sections.size(); ++i) {
        const PeSection& s = image.sections[i];
        if (rsrc.rva >= s.virtualAddress && rsrc.rva - s.virtualAddress < MappedSize(s))
            image.resourceSection = int(i);
    }
    if (image.resourceSection < 0)
        return Fail(error, "resource directory RVA 0x%X lies in no section", rsrc.rva);
    std::string treeError;
    if (!ReadResourceTree(image, rsrc.rva, image.resources, treeError))
        return Fail(error, "bad resource directory: %s", treeError.c_str());
    return true;
}

} // namespace kivpack
