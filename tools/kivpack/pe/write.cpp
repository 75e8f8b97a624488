// Writing a PE32 image with a rebuilt resource section. Only the headers named
// in image.h change; the raw data of every other section is copied as is.
#include <algorithm>
#include <cstdio>

#include "tools/kivpack/pe/bytes.h"
#include "tools/kivpack/pe/image.h"

namespace kivpack {

namespace {

constexpr uint32_t kScnInitializedData = 0x00000040;
constexpr uint32_t kScnMemRead = 0x40000000;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr size_t kMaxSections = 96;  // the loader's limit, and the reader's

bool Fail(std::string& error, const std::string& message)
{
    error = message;
    return false;
}

uint32_t MappedSize(const PeSection& s) { return s.virtualSize ? s.virtualSize : s.rawSize; }

// The resource section can be rewritten where it is when nothing follows it,
// in memory or in the file, and it is a section of its own: named .rsrc, with
// the directory at its start.
bool CanReplaceInPlace(const PeImage& image)
{
    int rs = image.resourceSection;
    if (rs < 0 || size_t(rs) + 1 != image.sections.size()) return false;
    const PeSection& r = image.sections[rs];
    if (r.name != ".rsrc" || r.virtualAddress != image.Directory(kDirResource).rva || r.rawSize == 0)
        return false;
    for (size_t i = 0; i + 1 < image.sections.size(); ++i) {
        const PeSection& s = image.sections[i];
        if (s.rawSize && uint64_t(s.rawPointer) + s.rawSize > r.rawPointer) return false;
    }
    return true;
}

// A new section header goes right after the table: the 40 bytes there must be
// unused header space, before any section's data and any directory's data.
bool CheckHeaderRoom(const PeImage& image, std::string& error)
{
    if (image.sections.size() >= kMaxSections)
        return Fail(error, "the image already has the most sections a loader accepts");
    uint64_t at = image.sectionTableOffset + uint64_t(kSectionHeaderSize) * image.sections.size();
    uint64_t end = at + kSectionHeaderSize;
    bool room = end <= image.sizeOfHeaders;
    for (const PeSection& s : image.sections)
        if (s.rawSize && s.rawPointer < end) room = false;
    for (size_t i = 0; room && i < image.directories.size(); ++i) {
        const PeDataDirectory& d = image.directories[i];
        if (i == kDirSecurity || !d.size || d.rva >= image.sizeOfHeaders) continue;
        if (d.rva < end && uint64_t(d.rva) + d.size > at) room = false;
    }
    for (uint64_t i = at; room && i < end; ++i)
        if (image.bytes[i]) room = false;
    if (!room)
        return Fail(error, "no room in the headers for another section (header space used up"
                           " or bound imports after the section table)");
    return true;
}

// Debug directory entries locate their data by file offset too; data that
// would move with the overlay cannot be followed without changing the
// section holding the directory.
bool CheckDebugData(const PeImage& image, std::string& error)
{
    PeDataDirectory d = image.Directory(kDirDebug);
    uint32_t offset;
    if (!d.size || !RvaToFileOffset(image, d.rva, d.size, offset)) return true;
    for (uint32_t i = 0; i + 28 <= d.size; i += 28) {
        uint32_t size = Get32(image.bytes.data() + offset + i + 16);
        uint32_t pointer = Get32(image.bytes.data() + offset + i + 24);
        if (size && pointer >= image.rawEnd)
            return Fail(error, "debug data is stored after the sections; strip the executable");
    }
    return true;
}

const char* DirectoryName(size_t index)
{
    static const char* const kNames[] = {
        "export", "import", "resource", "exception", "certificate", "base relocation",
        "debug", "architecture", "global pointer", "TLS", "load configuration",
        "bound import", "import address table", "delay import", "CLR header", "reserved"};
    return index < sizeof kNames / sizeof kNames[0] ? kNames[index] : "unnamed";
}

// No data directory but the resources' may lie in the addresses the resource
// section is written to: in place, its data would be overwritten by the tree;
// past the end of the image, a directory that pointed at nothing would come
// to point into the tree. (The certificate table's entry is a file offset.)
bool CheckDirectoriesClear(const PeImage& image, uint64_t begin, uint64_t end, std::string& error)
{
    for (size_t i = 0; i < image.directories.size(); ++i) {
        const PeDataDirectory& d = image.directories[i];
        if (i == kDirResource || i == kDirSecurity || !d.size) continue;
        if (d.rva < end && uint64_t(d.rva) + d.size > begin) {
            char message[200];
            std::snprintf(message, sizeof message,
                          "the image's %s data (RVA 0x%X) lies where the resource section is"
                          " written; the executable is damaged or laid out in a way that cannot"
                          " be packed",
                          DirectoryName(i), unsigned(d.rva));
            return Fail(error, message);
        }
    }
    return true;
}

void PutSectionHeader(std::vector<uint8_t>& out, size_t at, const char* name, uint32_t virtualSize,
                      uint32_t rva, uint32_t rawSize, uint32_t rawPointer, uint32_t characteristics)
{
    std::fill(out.begin() + at, out.begin() + at + kSectionHeaderSize, 0);
    for (int i = 0; i < 8 && name[i]; ++i) out[at + i] = uint8_t(name[i]);
    Put32(out, at + 8, virtualSize);
    Put32(out, at + 12, rva);
    Put32(out, at + 16, rawSize);
    Put32(out, at + 20, rawPointer);
    Put32(out, at + 36, characteristics);
}

class VectorSink : public ImageSink {
public:
    explicit VectorSink(std::vector<uint8_t>& out) : out_(out) {}
    bool Write(const uint8_t* data, size_t size, std::string&) override
    {
        out_.insert(out_.end(), data, data + size);
        return true;
    }
    bool Patch(uint64_t offset, const uint8_t* data, size_t size, std::string&) override
    {
        std::copy(data, data + size, out_.begin() + size_t(offset));
        return true;
    }

private:
    std::vector<uint8_t>& out_;
};

} // namespace

uint64_t ResourceSectionRva(const PeImage& image)
{
    if (image.sections.empty()) return 0;
    if (CanReplaceInPlace(image)) return image.sections[image.resourceSection].virtualAddress;
    const PeSection& last = image.sections.back();
    return AlignUp(uint64_t(last.virtualAddress) + MappedSize(last), image.sectionAlignment);
}

bool WritePeWithResources(const PeImage& image, const ResourceSet& resources,
                          std::vector<uint8_t>& out, std::string& error)
{
    out.clear();
    VectorSink sink(out);
    if (WritePeWithResources(image, resources, sink, error)) return true;
    out.clear();
    return false;
}

bool WritePeWithResources(const PeImage& image, const ResourceSet& resources, ImageSink& sink,
                          std::string& error)
{
    if (image.sections.empty() || image.bytes.empty()) return Fail(error, "no image to write");
    if (image.directories.size() <= kDirResource)
        return Fail(error, "the image has no slot for a resource directory");
    PeDataDirectory security = image.Directory(kDirSecurity);
    if (security.rva || security.size)
        return Fail(error, "the executable is signed; remove its signature before packing");

    const bool inPlace = CanReplaceInPlace(image);
    const PeSection* old = image.resourceSection >= 0 ? &image.sections[image.resourceSection] : nullptr;
    uint64_t rva = ResourceSectionRva(image), rawPointer;
    if (inPlace) {
        rawPointer = old->rawPointer;
    } else {
        if (!CheckHeaderRoom(image, error)) return false;
        rawPointer = AlignUp(image.rawEnd, image.fileAlignment);
    }
    if (image.OverlaySize() && !CheckDebugData(image, error)) return false;
    if (rva > 0xFFFFFFF0u) return Fail(error, "no address space left for a resource section");

    std::vector<uint8_t> head;
    std::vector<uint64_t> dataAt;
    uint64_t treeSize;
    if (!LayOutResourceTree(resources, uint32_t(rva), head, dataAt, treeSize, error)) return false;
    uint64_t rawSize = AlignUp(treeSize, image.fileAlignment);
    // SizeOfHeaders may reach over the section's old raw data; the overlay
    // starts where both the headers and the sections end, so a smaller tree
    // is padded to keep it from starting inside the declared headers.
    if (rawPointer + rawSize < image.sizeOfHeaders)
        rawSize = AlignUp(image.sizeOfHeaders - rawPointer, image.fileAlignment);
    uint64_t imageEnd = AlignUp(rva + treeSize, image.sectionAlignment);
    uint64_t written = imageEnd;
    if (inPlace)
        written = std::max<uint64_t>(written, AlignUp(uint64_t(rva) + MappedSize(*old), image.sectionAlignment));
    if (!CheckDirectoriesClear(image, rva, written, error)) return false;
    uint64_t newRawEnd = rawPointer + rawSize;
    if (imageEnd > 0xFFFFFFFFu || newRawEnd + image.OverlaySize() > 0xFFFFFFFFu)
        return Fail(error, "the executable would grow beyond 4 GB");

    // Everything before the section, with its headers fixed up; the fields
    // changed must lie in it, before the section's data.
    size_t keep = inPlace ? size_t(rawPointer) : image.rawEnd;
    std::vector<uint8_t> prefix(image.bytes.begin(), image.bytes.begin() + keep);
    prefix.resize(size_t(rawPointer), 0);
    const uint32_t opt = image.optionalHeaderOffset;
    size_t lastField = std::max<size_t>(opt + 8 * kDirResource + 104, image.peOffset + 16);
    lastField = std::max<size_t>(lastField, image.sectionTableOffset + kSectionHeaderSize * (image.sections.size() + !inPlace));
    if (lastField > prefix.size())
        return Fail(error, "the image's headers reach into its resource section's data");
    uint32_t characteristics = old ? old->characteristics : kScnInitializedData | kScnMemRead;
    int64_t initializedDelta = int64_t(rawSize);
    if (inPlace) {
        initializedDelta -= old->rawSize;
        PutSectionHeader(prefix, old->headerOffset, old->name.c_str(), uint32_t(treeSize),
                         uint32_t(rva), uint32_t(rawSize), uint32_t(rawPointer), characteristics);
    } else {
        size_t at = image.sectionTableOffset + kSectionHeaderSize * image.sections.size();
        PutSectionHeader(prefix, at, ".rsrc", uint32_t(treeSize), uint32_t(rva), uint32_t(rawSize),
                         uint32_t(rawPointer), characteristics);
        Put16(prefix, image.peOffset + 6, uint16_t(image.sections.size() + 1));
        if (old && old->name == ".rsrc") {
            static const char kOldName[8] = {'.', 'o', 'l', 'd', 'r', 's', 'r', 'c'};
            std::copy(kOldName, kOldName + 8, prefix.begin() + old->headerOffset);
        }
    }
    if (characteristics & kScnInitializedData) {
        int64_t total = int64_t(Get32(prefix.data() + opt + 8)) + initializedDelta;
        Put32(prefix, opt + 8, uint32_t(total < 0 ? 0 : total > 0xFFFFFFFF ? 0xFFFFFFFF : total));
    }
    Put32(prefix, opt + 56, uint32_t(imageEnd));
    Put32(prefix, opt + 96 + 8 * kDirResource, uint32_t(rva));
    Put32(prefix, opt + 100 + 8 * kDirResource, uint32_t(treeSize));
    if (image.symbolTablePointer >= image.rawEnd && image.symbolTablePointer) {
        int64_t moved = int64_t(image.symbolTablePointer) + int64_t(newRawEnd) - int64_t(image.rawEnd);
        Put32(prefix, image.peOffset + 12, uint32_t(moved));
    }
    Put32(prefix, opt + 64, 0);

    // Then the tree, its data, the padding and the overlay, summed as they go.
    PeChecksum checksum;
    uint64_t at = 0;
    auto put = [&](const uint8_t* data, size_t size) {
        checksum.Add(data, size);
        at += size;
        return sink.Write(data, size, error);
    };
    static const uint8_t kZeros[512] = {};
    auto pad = [&](uint64_t to) {
        while (at < to)
            if (!put(kZeros, size_t(std::min<uint64_t>(to - at, sizeof kZeros)))) return false;
        return true;
    };
    if (!put(prefix.data(), prefix.size()) || !put(head.data(), head.size())) return false;
    for (size_t i = 0; i < resources.Size(); ++i)
        if (!pad(rawPointer + dataAt[i]) || !ForEachDataPiece(resources.Entries()[i], put, error)) return false;
    if (!pad(newRawEnd) || !put(image.bytes.data() + image.rawEnd, image.OverlaySize())) return false;
    uint8_t sum[4];
    uint32_t value = checksum.Value();
    for (int i = 0; i < 4; ++i) sum[i] = uint8_t(value >> (8 * i));
    return sink.Patch(opt + 64, sum, 4, error);
}

} // namespace kivpack
