// A 32-bit PE image (i386, optional header PE32) read and checked field by
// field, and rewritten with a new resource section.
//
//  file
//  +--------------------------------+ 0
//  | DOS header, e_lfanew at 0x3C   |
//  | ...                            |
//  | "PE\0\0"                       | e_lfanew
//  | file header, 20 bytes          |
//  | optional header (PE32, 0x10B)  |   CheckSum at +64, data directories at +96
//  | section table, 40 bytes each   |
//  | (room for more headers)        |
//  +--------------------------------+ SizeOfHeaders
//  | raw data of the sections       |
//  +--------------------------------+ end of the last section's raw data
//  | overlay (anything after)       |
//  +--------------------------------+
//
// Every function reports a fault as false with a message and never reads
// outside the file, whatever its contents.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/kivpack/pe/resources.h"

namespace kivpack {

enum : uint32_t {
    kDirImport = 1,
    kDirResource = 2,
    kDirSecurity = 4,
    kDirBaseRelocation = 5,
    kDirDebug = 6,
    kMaxDataDirectories = 16,
};

struct PeSection {
    std::string name;  // up to 8 characters
    uint32_t virtualSize = 0;
    uint32_t virtualAddress = 0;
    uint32_t rawSize = 0;
    uint32_t rawPointer = 0;
    uint32_t characteristics = 0;
    uint32_t headerOffset = 0;  // file offset of this section's table entry
};

struct PeDataDirectory {
    uint32_t rva = 0;
    uint32_t size = 0;
};

struct PeImage {
    std::vector<uint8_t> bytes;  // the whole file as read
    uint32_t peOffset = 0;       // e_lfanew: the "PE\0\0" signature
    uint32_t optionalHeaderOffset = 0;
    uint32_t sectionTableOffset = 0;
    uint32_t sectionAlignment = 0;
    uint32_t fileAlignment = 0;
    uint32_t sizeOfImage = 0;
    uint32_t sizeOfHeaders = 0;
    uint32_t checksum = 0;
    uint32_t symbolTablePointer = 0;  // COFF symbols, 0 when stripped
    // Data directories actually present (NumberOfRvaAndSizes, at most 16).
    std::vector<PeDataDirectory> directories;
    std::vector<PeSection> sections;  // ascending virtual addresses
    uint32_t rawEnd = 0;  // end of the headers and of every section's raw data
    ResourceSet resources;

    // Index of the section whose mapped range holds the resource directory,
    // or -1 when the image has none.
    int resourceSection = -1;

    PeDataDirectory Directory(uint32_t index) const;
    // Bytes after the sections that the loader does not map.
    uint32_t OverlaySize() const { return uint32_t(bytes.size()) - rawEnd; }
};

// Validates the headers, the section table and the resource tree of `file`
// and fills `image` (taking a copy of the bytes).
bool ReadPeImage(const std::vector<uint8_t>& file, PeImage& image, std::string& error);

// Maps [rva, rva + size) to a file offset when the whole range lies in the
// raw data of one section (and within that section's mapped size).
bool RvaToFileOffset(const PeImage& image, uint32_t rva, uint32_t size, uint32_t& offset);

// The standard PE checksum of `file`, taking the 4 bytes at checksumOffset
// as zero: 16-bit little-endian word sum with end-around carry, plus the
// file's length.
uint32_t ComputePeChecksum(const std::vector<uint8_t>& file, size_t checksumOffset);

// The same sum over a file given in pieces, in order.
class PeChecksum {
public:
    void Add(const uint8_t* data, size_t size);
    uint32_t Value() const;

private:
    uint64_t sum_ = 0;
    uint64_t length_ = 0;
};

// Where an image is written: its bytes in order, then a few bytes put back
// at an earlier offset (the checksum, known last).
class ImageSink {
public:
    virtual ~ImageSink() = default;
    virtual bool Write(const uint8_t* data, size_t size, std::string& error) = 0;
    virtual bool Patch(uint64_t offset, const uint8_t* data, size_t size, std::string& error) = 0;
};

// Writes `image` with `resources` as its resource section. When the image's
// resource section is the last one, both in memory and in the file, it is
// replaced in place; otherwise a new section ".rsrc" is appended after the
// last one and the old section keeps its bytes under the name ".oldrsrc".
// Every other section keeps its bytes and place. An overlay is kept, byte
// for byte, after the new last section (a COFF symbol table pointer into it
// moves with it); a signed image is refused, since its signature would no
// longer match. Fixed up: NumberOfSections, the section table, SizeOfImage,
// SizeOfInitializedData, the resource data directory and CheckSum.
bool WritePeWithResources(const PeImage& image, const ResourceSet& resources,
                          std::vector<uint8_t>& out, std::string& error);
// Where WritePeWithResources puts the resource section of `image`: the RVA
// of the old section when it is replaced in place, else the first aligned
// address after the last section. The image's SizeOfImage is then this plus
// the tree's size, aligned to SectionAlignment.
uint64_t ResourceSectionRva(const PeImage& image);

// The largest SizeOfImage of a packed installer that kivpack writes: one
// that every 32-bit Windows this installer runs on can map in one piece at
// the stub's image base (0x400000). A 32-bit program has the addresses below
// 2 GB. On Windows 95, 98 and ME the system's own DLLs live above 2 GB, so
// the program has 0x400000 to 2 GB for itself, less its stack and heaps. On
// NT up to XP the system DLLs have fixed preferred addresses, ntdll and
// kernel32 at 0x7C800000 and above, and others (the common controls, lpk,
// uxtheme, usp10, IMEs) from about 0x5A000000 up; an image over a DLL that
// cannot move, or over all the room left for the others, fails to start.
// From Vista on, system DLLs are placed at random between 0x50000000 and
// 0x78000000, ntdll among them, the same in every process, so the image must
// end below 0x50000000 wherever they fall: 0x4FC00000 bytes from 0x400000.
// Wine keeps its own libraries higher still: the stub with a SizeOfImage of
// 0x7A000000 starts there as Windows 95, XP and 10 alike, so Wine shows no
// limit below the systems' own. 1 GiB keeps a fifth of the room that every
// system leaves free for what may be loaded low in a process (injected DLLs,
// a shell extension, an IME) and for the stack and heaps placed after the
// image is mapped.
constexpr uint64_t kMaxLoadableImage = 0x40000000;

// The same, written to `sink` as it is made, so that resource data from a
// ResourceSource never has to be in memory at once. On a failure the sink
// holds part of an image, which the caller throws away.
bool WritePeWithResources(const PeImage& image, const ResourceSet& resources, ImageSink& sink,
                          std::string& error);

} // namespace kivpack
