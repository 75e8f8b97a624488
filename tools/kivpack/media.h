// The media a disk set ships on, and whether each disk's files fit one. A
// floppy is a fresh FAT12 volume as mtools formats it: files take whole
// clusters, and every name takes root directory entries (the volume label
// one of them). A CD is one ISO 9660 volume with Joliet names holding every
// disk's folder: files take whole 2048-byte blocks, and the volume's own
// structures a reserve. A byte count is a plain capacity.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Medium {
    std::string name;             // "1.44M", "CD", "1000000-byte"
    uint64_t freeBytes = 0;       // what a fresh volume offers for files
    uint32_t unit = 1;            // the unit files are allocated in
    unsigned rootEntries = 0;     // directory entries for names; 0: no limit
    unsigned formatKilobytes = 0; // a floppy's size for mformat -f; 0 for the others
    bool cd = false;              // one volume for the whole set
};

// 360K, 720K, 1.2M, 1.44M, 2.88M, CD (650 MB) or a byte count, in any case.
bool ParseMedium(const std::string& text, Medium& medium, std::string& error);

struct DiskFile {
    std::string name;
    uint64_t size = 0;
};

struct DiskUse {
    uint64_t bytes = 0;     // the files' own sizes
    uint64_t used = 0;      // what they take, in whole units
    unsigned entries = 0;   // directory entries their names take
};

// What `files` take on `medium`.
DiskUse MeasureDisk(const Medium& medium, const std::vector<DiskFile>& files);

// The space a CD's volume structures take (system area, volume descriptors,
// path tables and directories of both name sets) for `files` files in
// `folders` folders, in bytes: an upper bound.
uint64_t CdReserve(size_t files, size_t folders);
