// What the loader accepts but the installation does not survive: files into
// directories that nothing creates, sources that are not there, disks at
// which the copying stops, and a DiskSpace below what the script installs.
#include <algorithm>
#include "tools/kivpack/os/os.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "script/installer_state.h"
#include "tools/kivpack/lint/install_rules.h"
#include "tools/kivpack/lint/source_lookup.h"
#include "tools/kivpack/lint/warning_parts.h"
#include "tools/kivpack/uninstaller.h"

namespace lint {
namespace {

const char* const DisplayNames[] = {"EGA", "VGA", "8514"};
const char* const DisplayKeys[] = {"EGADiskSpace", "VGADiskSpace", "8514DiskSpace"};
// DiskSpace is read as a signed 32-bit number.
const uint64_t LargestDiskSpace = 0x7FFFFFFF;

std::string Plural(size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

unsigned LineOfFile(const PayloadFile& f) { return CurrentScript().scan.LineOf(f.section, f.sourceName); }

// For each display class, the first disk (1-based) whose lines hold no file
// of it, where the installer's copying ends on that class; 0 when every disk
// holds one.
struct StopDisks {
    unsigned disk[3] = {0, 0, 0};
    explicit StopDisks(const PayloadPlan& plan)
    {
        std::vector<unsigned> held(plan.diskCount + 1, 0);
        for (const PayloadFile& f : plan.files)
            if (f.disk <= plan.diskCount) held[f.disk] |= f.displays;
        for (unsigned c = 0; c < 3; ++c)
            for (unsigned d = plan.diskCount; d >= 1; --d)
                if (!(held[d] & (1u << c))) disk[c] = d;
    }
    bool Copied(const PayloadFile& f, unsigned c) const
    {
        return (f.displays & (1u << c)) && (!disk[c] || f.disk < disk[c]);
    }
};

// Display classes with their articles: "an EGA or an 8514".
std::string ClassList(const std::vector<unsigned>& classes)
{
    std::string out;
    for (size_t i = 0; i < classes.size(); ++i)
        out += (i == 0 ? "" : i + 1 == classes.size() ? " or " : ", ") + DisplayWithArticle(classes[i]);
    return out;
}

void AddStopWarnings(std::vector<Warning>& out, const PayloadPlan& plan)
{
    StopDisks stops(plan);
    for (unsigned d = 1; d <= plan.diskCount; ++d) {
        std::vector<unsigned> classes;
        size_t lost = 0;
        for (unsigned c = 0; c < 3; ++c) {
            if (stops.disk[c] != d) continue;
            size_t after = 0;
            for (const PayloadFile& f : plan.files) after += f.disk > d && (f.displays & (1u << c));
            if (after) classes.push_back(c);
            lost = std::max(lost, after);
        }
        if (classes.empty()) continue;
        std::string section = "Disk " + std::to_string(d);
        std::string names;
        for (unsigned c : classes) names += std::string(names.empty() ? "" : " or ") + DisplayNames[c];
        out.push_back({CurrentScript().scan.LineOf(section),
                       "[" + section + "] has no file for " + ClassList(classes) +
                           " display, and the installer stops copying at the first disk without one: on " + names +
                           ", " + Plural(lost, "file", "files") + " of the later disks " + (lost == 1 ? "is" : "are") +
                           " never installed; put a file for " + names + " on this disk, or move the later disks' "
                           "files for it onto an earlier one"});
    }
}

} // namespace

std::string DisplayWithArticle(unsigned displayClass)
{
    // "an" before the letter E and the figure 8, as both are spoken.
    return std::string(displayClass == 1 ? "a " : "an ") + DisplayNames[displayClass < 3 ? displayClass : 1];
}

PayloadPlan CurrentPlan()
{
    const ScriptSource& source = CurrentScript();
    PayloadPlan plan;
    plan.scriptPath = source.path;
    size_t slash = source.loaderPath.rfind('/');
    plan.scriptDir = slash == std::string::npos ? std::string("./") : source.loaderPath.substr(0, slash + 1);
    plan.diskCount = std::min(ProfileReadInt("Basic Information", "TotalDisks", 0, source.loaderPath.c_str()), 32u);
    plan.files = ListPayloadFiles(source.loaderPath, plan.diskCount);
    return plan;
}

std::vector<Finding> InstallationErrors(const PayloadPlan& plan)
{
    // CreateDirectoryPath makes every directory along a subdirectory's path.
    std::vector<std::vector<std::string>> created;
    for (const std::string& s : plan.subdirectories) {
        ResolvedName r = ResolveBelow(s);
        if (r.climbsOut) continue;
        for (size_t n = 1; n <= r.parts.size(); ++n)
            created.push_back(std::vector<std::string>(r.parts.begin(), r.parts.begin() + n));
    }
    std::vector<Finding> errors;
    for (const PayloadFile& f : plan.files) {
        if (f.kind != DirTarget) continue;
        ResolvedName r = ResolveBelow(f.destinationName);
        if (r.climbsOut || r.parts.size() < 2) continue;
        std::vector<std::string> directory(r.parts.begin(), r.parts.end() - 1);
        bool made = false;
        for (const std::vector<std::string>& c : created) made = made || SamePath(c, directory);
        if (made) continue;
        std::string name;
        for (const std::string& p : directory) name += (name.empty() ? "" : "\\") + p;
        std::string remedy = plan.subdirectories.size() < MaxSubdirs
                                 ? "add Subdirectory" + std::to_string(plan.subdirectories.size() + 1) + "=" + name +
                                       " to [Target Subdirectories]"
                                 : "[Target Subdirectories] is full (32 lines): put the file in a directory it makes";
        unsigned line = LineOfFile(f);
        errors.push_back({line, plan.scriptPath + ":" + std::to_string(line) + ": [" + f.section + "] " + f.line +
                                    ": the directory " + name + " below Target is made by no [Target "
                                    "Subdirectories] line, and the installer makes no directory for a file: the "
                                    "installation stops at this file; " + remedy});
    }
    return errors;
}

std::vector<Finding> MissingSources(const PayloadPlan& plan)
{
    std::vector<Finding> missing;
    const ScriptScan& scan = CurrentScript().scan;
    if (FindSourceFile(plan, 1, plan.helpSource).empty())
        missing.push_back({scan.LineOf("Basic Information", "HelpFileName"),
                           SourceProblem(plan.scriptPath, "Basic Information", "HelpFileName",
                                         "HelpFileName=" + plan.helpSource, plan.helpSource, plan.scriptDir, 1)});
    for (const PayloadFile& f : plan.files)
        if (FindSourceFile(plan, f.disk, f.sourceName).empty() && !IsUninstallerLine(f))
            missing.push_back({LineOfFile(f), SourceProblem(plan.scriptPath, f.section, f.sourceName, f.line,
                                                            f.sourceName, plan.scriptDir, f.disk)});
    return missing;
}

InstalledBytes CountInstalledBytes(const PayloadPlan& plan)
{
    InstalledBytes bytes;
    uint64_t uninstaller = 0;
    std::vector<uint64_t> sizes;
    for (const PayloadFile& f : plan.files) {
        std::string path = FindSourceFile(plan, f.disk, f.sourceName);
        kivpack::os::FileStatus st;
        if (!path.empty() && kivpack::os::Status(path, st)) {
            sizes.push_back(st.size);
        } else if (path.empty() && IsUninstallerLine(f)) {
            std::string error;
            if (!uninstaller && !UninstallerSize(plan, f.destinationName, uninstaller, error)) {
                bytes.problem = error;
                return bytes;
            }
            sizes.push_back(uninstaller);
        } else {
            bytes.problem = "the source of [" + f.section + "] " + f.line + " is missing";
            return bytes;
        }
    }
    StopDisks stops(plan);
    for (unsigned c = 0; c < 3; ++c)
        for (size_t i = 0; i < plan.files.size(); ++i)
            if (stops.Copied(plan.files[i], c)) bytes.display[c] += sizes[i];
    bytes.known = true;
    return bytes;
}

bool CopiedOnDisplay(const PayloadPlan& plan, const PayloadFile& file, unsigned displayClass)
{
    return StopDisks(plan).Copied(file, displayClass);
}

uint64_t DiskSpaceFigure(const InstalledBytes& bytes, int displayClass)
{
    if (displayClass >= 0 && displayClass < 3) return bytes.display[displayClass];
    return std::max({bytes.display[0], bytes.display[1], bytes.display[2]});
}

void AddDiskSpaceWarnings(std::vector<Warning>& out, const PayloadPlan& plan, bool withFiles)
{
    AddStopWarnings(out, plan);
    if (!withFiles) return;
    InstalledBytes bytes = CountInstalledBytes(plan);
    if (!bytes.known) return;  // the missing source is an error of its own
    const ScriptScan& scan = CurrentScript().scan;
    auto given = [&](const char* key) -> const ScanKey* {
        const ScanKey* k = scan.FindGiven("Basic Information", key);
        return k && DiskSpaceAsRead(k->value) > 0 ? k : nullptr;
    };
    auto why = [](const std::string& key) {
        return ": the installer compares " + key + " with the free space of the target drive, so it may start on a "
               "drive too small for the files, and the progress bar, whose 100% it is, is full long before the end; ";
    };
    auto remedy = [](const char* key, uint64_t figure) {
        if (figure <= LargestDiskSpace) return std::string("write ") + key + "=" + std::to_string(figure);
        return std::string("the files come to more than ") + key + " can hold (2,147,483,647): write " + key +
               "=2147483647, and split the product over installers of less";
    };
    // A number too large for the key: the installer reads what is left of
    // it in 32 bits (one that reads 0 or less is a fault of the loader's).
    auto tooLarge = [&](const ScanKey* k, const char* key, uint64_t figure) {
        if (!PastLargestDiskSpace(k->value)) return false;
        out.push_back({k->line, std::string(key) + "=" + k->value + " is more than " + key +
                                    " can hold (2,147,483,647): the installer reads it as " +
                                    GroupedNumber((uint64_t)DiskSpaceAsRead(k->value)) +
                                    ", the figure it compares with the free space of the target drive and that "
                                    "fills the progress bar; " + remedy(key, figure)});
        return true;
    };
    if (const ScanKey* k = given("DiskSpace")) {
        uint64_t value = (uint64_t)DiskSpaceAsRead(k->value);
        uint64_t figure = DiskSpaceFigure(bytes);
        if (tooLarge(k, "DiskSpace", figure) || value >= figure) return;
        // Where the classes differ, the figure is the largest one's.
        std::string on, others;
        for (unsigned c = 0; c < 3; ++c)
            if (bytes.display[c] == figure)
                on += std::string(on.empty() ? " on " : " or ") + DisplayWithArticle(c);
            else
                others += std::string(others.empty() ? " (" : ", ") + GroupedNumber(bytes.display[c]) + " on " +
                          DisplayWithArticle(c) + " display";
        std::string where = others.empty() ? std::string() : on + " display" + others + ")";
        out.push_back({k->line, "DiskSpace=" + k->value + " is less than the " + GroupedNumber(figure) +
                                    " bytes this script installs" + where + why("DiskSpace") +
                                    remedy("DiskSpace", figure)});
        return;
    }
    for (unsigned c = 0; c < 3; ++c)
        if (const ScanKey* k = given(DisplayKeys[c]))
            if (!tooLarge(k, DisplayKeys[c], bytes.display[c]) &&
                (uint64_t)DiskSpaceAsRead(k->value) < bytes.display[c])
                out.push_back({k->line, std::string(DisplayKeys[c]) + "=" + k->value + " is less than the " +
                                            GroupedNumber(bytes.display[c]) + " bytes this script installs on " +
                                            DisplayWithArticle(c) + " display" + why(DisplayKeys[c]) +
                                            remedy(DisplayKeys[c], bytes.display[c])});
}

int DiskSpaceAsRead(const std::string& value) { return (int)TextToLong(value.c_str()); }

bool PastLargestDiskSpace(const std::string& value)
{
    size_t at = value.find_first_not_of(" \t");
    if (at == std::string::npos) return false;
    if (value[at] == '+') ++at;
    uint64_t n = 0;
    for (; at < value.size() && value[at] >= '0' && value[at] <= '9'; ++at)
        if ((n = n * 10 + unsigned(value[at] - '0')) > LargestDiskSpace) return true;
    return false;
}

std::string GroupedNumber(uint64_t n)
{
    std::string digits = std::to_string(n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

} // namespace lint
