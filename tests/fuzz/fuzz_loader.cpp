// The script loader over an in-memory script. Whatever the text, the read
// ends in 0 or one of the loader's dialog ids, every table stays within its
// bounds and holds only complete rows, every text field is terminated, and
// the clean-up releases every atom and memory block the read took.
//
// Input: two bytes of environment, then the script.
//   byte 0  bits 0-1 display class (mod 3), bits 2-3 platform kind (mod 3),
//           bit 4 resource mode, bit 5 directories near the path limit,
//           bits 6-7 both set: no script at all
//   byte 1  the running Windows version, an entry of kVersions
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "platform/host/host_platform.h"
#include "platform/platform.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"
#include "script/keywords.h"
#include "script/loader.h"

namespace {

struct Version {
    int major, minor;  // minor as start-up stores it: divided by 10 when a multiple of 10
};
const Version kVersions[] = {{3, 1}, {3, 11}, {3, 51}, {4, 0}, {4, 1}, {4, 9},
                             {5, 0}, {5, 1}, {6, 0}, {6, 1}, {6, 2}, {10, 0}};
const unsigned kPlatformKinds[] = {PlatformWin31, PlatformWin95, PlatformWinNt};

#define CHECK_TERMINATED(field) FUZZ_CHECK(std::memchr(field, 0, sizeof field) != nullptr)

// A handle the loader kept must read back as a name of 1 to 255 characters.
bool ReadsBack(AtomHandle atom)
{
    if (!atom) return false;
    char name[300];
    unsigned n = AtomGetName(atom, name, sizeof name);
    return n >= 1 && n <= 255 && std::strlen(name) == n;
}

void SetEnvironment(uint8_t flags, uint8_t version, bool longDirectories)
{
    ResetInstallerState();
    std::string dir = "C:\\KIVFUZZ\\";
    // 240 characters: the script's path still fits, most help paths do not.
    if (longDirectories) dir = "C:\\" + std::string(236, 'D') + "\\";
    std::snprintf(State.SourceDir, sizeof State.SourceDir, "%sSRC\\", dir.c_str());
    std::snprintf(State.WindowsDir, sizeof State.WindowsDir, "%s", dir.c_str());
    State.DisplayClass = (flags & 3) % 3;
    State.DisplayMask = 1u << State.DisplayClass;
    State.PlatformKind = kPlatformKinds[((flags >> 2) & 3) % 3];
    const Version& v = kVersions[version % (sizeof kVersions / sizeof kVersions[0])];
    State.OsMajor = v.major;
    State.OsMinor = v.minor;
}

void CheckTexts()
{
    CHECK_TERMINATED(State.ScriptFileName);
    CHECK_TERMINATED(State.ScriptPath);
    CHECK_TERMINATED(State.HelpPath);
    CHECK_TERMINATED(State.Caption);
    CHECK_TERMINATED(State.ViewButtonText);
    CHECK_TERMINATED(State.ProductIni);
    CHECK_TERMINATED(State.OldProductIni);
    CHECK_TERMINATED(State.ProductName);
    CHECK_TERMINATED(State.ProductVersion);
    CHECK_TERMINATED(State.VersionToPatch);
    CHECK_TERMINATED(State.OldProductName);
    CHECK_TERMINATED(State.OldProductVersion);
    CHECK_TERMINATED(State.UninstallName);
    CHECK_TERMINATED(State.TargetDir);
    CHECK_TERMINATED(State.GroupName);
    CHECK_TERMINATED(State.RunFile);
    CHECK_TERMINATED(State.RunMessage);
    CHECK_TERMINATED(State.RunName);
    CHECK_TERMINATED(State.CurrentSection);
    CHECK_TERMINATED(State.MessageArg);
    CHECK_TERMINATED(State.WorkBuffer);
    FUZZ_CHECK(State.Caption[0]);  // "Install" until the script names one
}

// The disk table: every kept record is complete, for the display class, in
// the directory of a keyword, and numbered in script order. Reading each
// record through its block lets ASan catch a count beyond the block.
void CheckDisks(unsigned outcome)
{
    unsigned disks = State.DiskCount < MaxDisks ? State.DiskCount : MaxDisks;
    unsigned lastId = KIV_FIRST_FILE_RESOURCE - 1;
    for (unsigned d = 0; d < MaxDisks; ++d) {
        const DiskEntry& disk = State.Disks[d];
        if (d >= disks || !disk.NameAtom) {
            // Rows are filled in order; a complete read fills all of them.
            FUZZ_CHECK(!disk.NameAtom && !disk.Files && !disk.FileCount);
            FUZZ_CHECK(outcome != 0 || d >= disks);
            continue;
        }
        FUZZ_CHECK(ReadsBack(disk.NameAtom));
        if (!disk.Files) {
            FUZZ_CHECK(outcome == IDD_OUT_OF_MEMORY);
            FUZZ_CHECK(!disk.FileCount);
            continue;
        }
        const FileRecord* records = static_cast<const FileRecord*>(MemoryLock(disk.Files));
        FUZZ_CHECK(records || !disk.FileCount);
        for (unsigned i = 0; i < disk.FileCount; ++i) {
            const FileRecord& r = records[i];
            FUZZ_CHECK(ReadsBack(r.SourceAtom) && ReadsBack(r.DestAtom));
            FUZZ_CHECK(!r.DescAtom || ReadsBack(r.DescAtom));
            FUZZ_CHECK(r.DirKind <= DirFonts);
            FUZZ_CHECK(r.Flags & State.DisplayMask);
            FUZZ_CHECK(!(r.Flags & 0xC0));
            FUZZ_CHECK(r.ResourceId > lastId);
            lastId = r.ResourceId;
        }
        MemoryUnlock(disk.Files);
    }
}

void CheckLists(unsigned outcome)
{
    FUZZ_CHECK(State.ExitCount <= MaxExitLines);
    FUZZ_CHECK(State.DeleteCount <= MaxDeleteLines);
    FUZZ_CHECK(State.SubdirCount <= MaxSubdirs);
    FUZZ_CHECK(State.OldGroupCount <= MaxOldGroups);
    FUZZ_CHECK(State.RunButtons <= 2);
    for (unsigned i = 0; i < State.ExitCount; ++i) {
        FUZZ_CHECK(ReadsBack(State.ExitList[i].ClassAtom));
        FUZZ_CHECK(!State.ExitList[i].TitlesAtom || ReadsBack(State.ExitList[i].TitlesAtom));
    }
    for (unsigned i = 0; i < State.DeleteCount; ++i) {
        FUZZ_CHECK(ReadsBack(State.DeleteList[i].NameAtom));
        FUZZ_CHECK(State.DeleteList[i].DirKind <= DirFonts);
    }
    for (unsigned i = 0; i < State.SubdirCount; ++i) FUZZ_CHECK(ReadsBack(State.Subdirs[i]));
    for (unsigned i = 0; i < State.OldGroupCount; ++i) {
        FUZZ_CHECK(ReadsBack(State.OldGroups[i].VersionAtom));
        FUZZ_CHECK(!State.OldGroups[i].GroupAtom || ReadsBack(State.OldGroups[i].GroupAtom));
    }
    if (outcome != 0) return;

    // A complete read: the tables that end at their first empty row have no
    // row after it, and every row before it is whole.
    bool ended = false;
    for (const FontEntry& f : State.FontTable) {
        if (!f.FileAtom) ended = true;
        if (ended) FUZZ_CHECK(!f.FileAtom && !f.NameAtom);
        else FUZZ_CHECK(ReadsBack(f.FileAtom) && ReadsBack(f.NameAtom));
    }
    ended = false;
    for (const GroupItem& g : State.GroupItems) {
        if (!g.FileAtom) ended = true;
        if (ended) {
            FUZZ_CHECK(!g.FileAtom && !g.DescAtom && !g.PlatformMask);
        } else {
            FUZZ_CHECK(State.GroupName[0]);
            FUZZ_CHECK(ReadsBack(g.FileAtom) && ReadsBack(g.DescAtom));
            FUZZ_CHECK(g.PlatformMask >= 1 && g.PlatformMask <= 7);
        }
    }
    FUZZ_CHECK(State.DiskCount >= 1 && State.DiskCount <= MaxDisks);
    FUZZ_CHECK(State.DiskSpace > 0);
    FUZZ_CHECK(State.ProductName[0] && State.HelpPath[0]);
    FUZZ_CHECK(State.FontsOnly || State.TargetDir[0]);
    FUZZ_CHECK((State.RunButtons != 0) == (State.RunFile[0] != 0));
    FUZZ_CHECK(!State.RunFile[0] || (State.RunMessage[0] && State.RunName[0]));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    const uint8_t flags = data[0];
    const bool resourceMode = flags & 0x10;
    const bool noScript = (flags & 0xC0) == 0xC0;
    HostResetPlatform();
    SetEnvironment(flags, data[1], flags & 0x20);

    std::string scriptPath = std::string(resourceMode ? State.WindowsDir : State.SourceDir) + "INSTALL.INI";
    if (resourceMode) HostSetPayloadResource(KIV_SCRIPT_RESOURCE, 1);
    if (!noScript) HostSetMemoryFile(scriptPath.c_str(), data + 2, size - 2);

    unsigned outcome = ReadInstallScript();
    FUZZ_CHECK(outcome == 0 || outcome == IDD_BAD_LINE || outcome == IDD_MISSING_KEY ||
               outcome == IDD_CANNOT_OPEN_SCRIPT || outcome == IDD_OUT_OF_MEMORY ||
               outcome == IDD_TOO_MANY_DISKS || outcome == IDD_WINDOWS_TOO_OLD);
    FUZZ_CHECK((outcome == IDD_CANNOT_OPEN_SCRIPT) == noScript);
    FUZZ_CHECK(State.ScriptPath == scriptPath);
    // An extracted script read whole is gone; after a fault it stays for the
    // clean-up, so that the file the dialog names can be read.
    if (resourceMode && !noScript)
        FUZZ_CHECK(HostMemoryFileExists(scriptPath.c_str()) == (outcome != 0));
    FUZZ_CHECK(outcome != IDD_BAD_LINE || State.MessageArg[0]);
    if (outcome == IDD_MISSING_KEY) {
        // The dialog names a key that is indeed missing or empty where it
        // says (TotalDisks: not a number above 0). The script is still there
        // after the fault, in both modes.
        FUZZ_CHECK(State.CurrentSection[0] && State.CurrentKey < KeyNameCount);
        const char* key = KeyNames[State.CurrentKey];
        char value[WorkBufferSize];
        if (State.CurrentKey == KeyTotalDisks)
            FUZZ_CHECK(ProfileReadInt(State.CurrentSection, key, 0, State.ScriptPath) == 0);
        else
            FUZZ_CHECK(ProfileReadString(State.CurrentSection, key, "", value, sizeof value,
                                         State.ScriptPath) == 0);
    }
    FUZZ_CHECK(outcome == IDD_TOO_MANY_DISKS ? State.DiskCount > MaxDisks : State.DiskCount <= MaxDisks);

    CheckTexts();
    CheckDisks(outcome);
    CheckLists(outcome);

    ReleaseScriptTables();
    FUZZ_CHECK(HostLiveAtomCount() == 0);
    FUZZ_CHECK(HostLiveMemoryBlocks() == 0);
    return 0;
}
