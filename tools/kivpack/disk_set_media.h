// `kivpack disks` on media: --media checks that every disk of the set fits
// its medium, --images also makes the media's images, and the summary gives
// what each disk holds.
#pragma once
#include <string>
#include <vector>
#include "tools/kivpack/media.h"
#include "tools/kivpack/media_images.h"
#include "tools/kivpack/payload.h"

struct MediaOptions {
    std::string media;  // --media SIZE
    bool images = false;  // --images
    std::string date;   // --date, for the images' dates
};

extern const char MediaOptionsHelp[];

// Takes argv[i] (and its value) when it is one of the options above.
bool TakeMediaOption(int argc, char** argv, int& i, MediaOptions& options);

// Checks the options before any work: the medium is known, --images has
// one, and this kivpack can make images.
bool CheckMediaOptions(const MediaOptions& options, Medium& medium, int64_t& seconds, std::string& error);

// Prints each disk's files and size (and the medium's room when there is
// one), refuses a disk that does not fit with the script's line of its
// section, and makes the images. `disks[n - 1]` are the files written to
// DISKn of `out`. Returns the command's exit code.
int FinishDiskSet(const MediaOptions& options, const Medium& medium, int64_t seconds, const PayloadPlan& plan,
                  const std::string& out, const std::vector<std::vector<ImageFile>>& disks);
