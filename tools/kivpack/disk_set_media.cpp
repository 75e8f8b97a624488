#include "tools/kivpack/disk_set_media.h"
#include <cstdio>
#include <cstring>
#include "script/installer_state.h"
#include "tools/kivpack/commands.h"
#include "tools/kivpack/lint/script_lint.h"
#include "tools/kivpack/lint/script_scan.h"
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/resource_stamp.h"

const char MediaOptionsHelp[] =
    "--media SIZE checks that each disk fits its medium: 360K, 720K, 1.2M,\n"
    "1.44M, 2.88M (FAT12 floppies: whole clusters, root directory entries and\n"
    "the volume label counted), CD (650 MB, the whole set on one disc) or a\n"
    "number of bytes. --images also writes DIR/DISKn.IMG for each floppy\n"
    "(labelled with its DiskName) or DIR/CD.ISO (the DISKn folders, Joliet\n"
    "names), made with mtools or xorriso and dated with --date (else\n"
    "SOURCE_DATE_EPOCH, else now): the same inputs and date give the same bytes.\n";

namespace {

std::string DiskName(unsigned disk)
{
    const lint::ScanKey* key = lint::CurrentScript().scan.FindGiven("Disk " + std::to_string(disk), "DiskName");
    return key ? key->value : "";
}

std::string Where(const PayloadPlan& plan, unsigned disk)
{
    const std::string section = "Disk " + std::to_string(disk);
    unsigned line = lint::CurrentScript().scan.LineOf(section, "DiskName");
    if (!line) line = lint::CurrentScript().scan.LineOf(section);
    return plan.scriptPath + (line ? ":" + std::to_string(line) : std::string()) + ": [" + section + "]";
}

} // namespace

bool TakeMediaOption(int argc, char** argv, int& i, MediaOptions& options)
{
    if (!std::strcmp(argv[i], "--images")) {
        options.images = true;
        return true;
    }
    std::string* field = !std::strcmp(argv[i], "--media") ? &options.media
                         : !std::strcmp(argv[i], "--date") ? &options.date
                                                           : nullptr;
    if (!field || i + 1 >= argc) return false;
    *field = argv[++i];
    return true;
}

bool CheckMediaOptions(const MediaOptions& options, Medium& medium, int64_t& seconds, std::string& error)
{
    ResourceStamp stamp;
    if (!ChooseResourceStamp(options.date, stamp, error)) return false;
    seconds = StampSeconds(stamp);
    if (!options.media.empty() && !ParseMedium(options.media, medium, error)) return false;
    if (!options.images) return true;
#ifdef _WIN32
    error = "--images: kivpack.exe makes no images (it would need mtools and xorriso); make them with the Linux "
            "kivpack, or copy the DISKn folders to the media";
    return false;
#endif
    if (options.media.empty() || (!medium.cd && !medium.formatKilobytes)) {
        error = "--images needs --media with a floppy size (360K, 720K, 1.2M, 1.44M, 2.88M) or CD";
        return false;
    }
    return true;
}

int FinishDiskSet(const MediaOptions& options, const Medium& medium, int64_t seconds, const PayloadPlan& plan,
                  const std::string& out, const std::vector<std::vector<ImageFile>>& disks)
{
    const bool checked = !options.media.empty();
    uint64_t cdUsed = 0;
    size_t cdFiles = 0;
    for (const std::vector<ImageFile>& disk : disks) cdFiles += disk.size();
    const uint64_t room = medium.cd ? medium.freeBytes - CdReserve(cdFiles, disks.size()) : medium.freeBytes;
    std::string error;
    for (unsigned d = 1; d <= disks.size(); ++d) {
        std::vector<DiskFile> files;
        for (const ImageFile& f : disks[d - 1]) {
            kivpack::os::FileStatus st;
            if (!kivpack::os::Status(f.path, st) || !st.regular)
                return CommandFailed(f.path + ": cannot be measured: " + kivpack::os::LastErrorText());
            files.push_back({f.name, st.size});
        }
        DiskUse use = MeasureDisk(checked ? medium : Medium(), files);
        std::string line = "  DISK" + std::to_string(d) + ": " + std::to_string(files.size()) + " files, " +
                           lint::GroupedNumber(use.bytes) + " bytes";
        if (checked && !medium.cd)
            line += ", " + lint::GroupedNumber(use.used) + " of " + lint::GroupedNumber(room) + " on " + medium.name;
        std::printf("%s\n", line.c_str());
        if (!checked) continue;
        cdUsed += use.used;
        const uint64_t used = medium.cd ? cdUsed : use.used;
        if (used > room)
            return CommandFailed(Where(plan, d) + ": DISK" + std::to_string(d) + " does not fit on " +
                                 (medium.cd ? "the CD" : "a " + medium.name + " disk") + ": its files take " +
                                 lint::GroupedNumber(used) + " bytes" + (medium.cd ? " with the disks before it" : "") +
                                 " of the " + lint::GroupedNumber(room) + " free, " + lint::GroupedNumber(used - room) +
                                 " bytes too many (move files to another disk, or add one)");
        if (medium.rootEntries && use.entries > medium.rootEntries)
            return CommandFailed(Where(plan, d) + ": DISK" + std::to_string(d) + " does not fit on a " + medium.name +
                                 " disk: its file names take " + std::to_string(use.entries) +
                                 " root directory entries of the " + std::to_string(medium.rootEntries) + " free, " +
                                 std::to_string(use.entries - medium.rootEntries) + " too many");
    }
    if (checked && medium.cd)
        std::printf("  CD: %s of %s bytes\n", lint::GroupedNumber(cdUsed).c_str(), lint::GroupedNumber(room).c_str());
    if (!options.images) return 0;
    if (medium.cd) {
        const std::string target = kivpack::os::JoinPath(out, "CD.ISO");
        if (!MakeCdImage(disks, CdVolumeId(State.ProductName), seconds, target, error)) return CommandFailed(error);
        std::printf("%s: the CD image\n", target.c_str());
        return 0;
    }
    for (unsigned d = 1; d <= disks.size(); ++d) {
        const std::string label = FatVolumeLabel(DiskName(d), d);
        const std::string target = kivpack::os::JoinPath(out, "DISK" + std::to_string(d) + ".IMG");
        if (!MakeFloppyImage(medium, disks[d - 1], label, seconds, target, error)) return CommandFailed(error);
        std::printf("%s: the image of disk %u, labelled %s\n", target.c_str(), d, label.c_str());
    }
    return 0;
}
