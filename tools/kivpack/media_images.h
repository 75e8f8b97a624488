// Images of a disk set's media, made by Debian's file system tools (mtools
// for FAT12 floppies, xorriso for ISO 9660 with Joliet names), which kivpack
// starts without a shell. Each tool writes into a folder of kivpack's own;
// the image is then copied to its place through an os::OutputFile. The same
// files, labels and date give the same bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "tools/kivpack/media.h"

// A disk's volume label as FAT holds it: the DiskName (code page 1252)
// upper-cased, each character FAT refuses in a label (any of "*+,./:;<=>?[\]|
// and every character outside ASCII) as '_', cut to 11 characters and trailing blanks
// dropped; "DISKn" when nothing is left.
std::string FatVolumeLabel(const std::string& diskName, unsigned disk);

// A CD's volume id: `name` upper-cased with every character but A-Z, 0-9
// and '_' as '_', cut to 32; "SETUP" when nothing is left.
std::string CdVolumeId(const std::string& name);

// The volume serial number, from the label and the date, as eight hex
// digits.
std::string VolumeSerial(const std::string& label, int64_t seconds);

struct ImageFile {
    std::string name;  // on the medium
    std::string path;  // on this machine
};

// A FAT12 image of `medium` with `files` at its root, labelled, every date
// `seconds` (UTC), as `target`.
bool MakeFloppyImage(const Medium& medium, const std::vector<ImageFile>& files, const std::string& label,
                     int64_t seconds, const std::string& target, std::string& error);

// An ISO 9660 image with Rock Ridge and Joliet names holding folder DISKn
// with `disks[n - 1]` for each disk, every date `seconds`, as `target`.
bool MakeCdImage(const std::vector<std::vector<ImageFile>>& disks, const std::string& volumeId, int64_t seconds,
                 const std::string& target, std::string& error);
