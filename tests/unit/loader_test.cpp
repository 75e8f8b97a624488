// The script loader: faults in reading order, what the tables hold, and the
// limits of every table and buffer. Built natively over the host side of the
// seam, and for Windows (loader_wine.exe, run under Wine by the end-to-end
// suite) over the system's profile and atom calls, with the installer's own
// string table and file transfer.
#include <gtest/gtest.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#endif
#include "platform/platform.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"
#include "script/keywords.h"
#include "script/loader.h"

namespace {

#ifdef _WIN32
const char Separator[] = "\\";
#else
const char Separator[] = "/";
#endif

// A new, empty directory under the system's temporary directory; empty when
// none can be made.
std::string MakeTemporaryDirectory()
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path base = fs::temp_directory_path(error);
    std::random_device random;
    for (int attempt = 0; !error && attempt < 100; ++attempt) {
        fs::path dir = base / ("kiv-loader-" + std::to_string(random()));
        if (fs::create_directory(dir, error)) return dir.string();
    }
    return std::string();
}

const char BasicLines[] =
    "[Basic Information]\n"
    "HelpFileName=DEMO.HLP\n"
    "Caption=Demo Setup\n"
    "ProductName=Demo\n"
    "DefaultTargetDir=C:\\DEMO\n"
    "TotalDisks=1\n"
    "DiskSpace=1000\n";

std::string AtomText(AtomHandle atom)
{
    char buffer[300];
    unsigned n = AtomGetName(atom, buffer, sizeof buffer);
    return std::string(buffer, n);
}

class Loader : public ::testing::Test {
protected:
    std::string dir;

    unsigned display = DisplayVga;
    int osMajor = 4, osMinor = 0;
    unsigned platformKind = PlatformWin95;

    void SetUp() override
    {
        dir = MakeTemporaryDirectory();
        ASSERT_FALSE(dir.empty());
        Reset();
    }

    // Each read starts from the state of a new process.
    void Reset()
    {
        ReleaseScriptTables();
        ResetInstallerState();
#ifdef _WIN32
        State.Instance = GetModuleHandleA(0);  // string 8000 and the resources
#endif
        std::snprintf(State.SourceDir, sizeof State.SourceDir, "%s%s", dir.c_str(), Separator);
        std::snprintf(State.WindowsDir, sizeof State.WindowsDir, "%s%s", dir.c_str(), Separator);
        State.DisplayClass = display;
        State.DisplayMask = 1u << display;
        State.OsMajor = osMajor;
        State.OsMinor = osMinor;
        State.PlatformKind = platformKind;
    }

    void TearDown() override
    {
        ReleaseScriptTables();
        std::error_code error;
        if (!dir.empty()) std::filesystem::remove_all(dir, error);
    }

    std::string InDir(const char* name) const { return dir + Separator + name; }

    void SetDisplay(unsigned value)
    {
        display = value;
        Reset();
    }

    // Writes the script and reads it; `basic` replaces the basic lines.
    unsigned Read(const std::string& rest, const std::string& basic = BasicLines)
    {
        Reset();
        std::ofstream(InDir("INSTALL.INI")) << basic << rest;
        return ReadInstallScript();
    }

    std::string Section() const { return State.CurrentSection; }
    std::string Key() const { return KeyNames[State.CurrentKey]; }
    std::string Line() const { return State.MessageArg; }

    std::vector<FileRecord> Files(unsigned disk)
    {
        std::vector<FileRecord> out;
        const DiskEntry& d = State.Disks[disk];
        if (!d.Files) return out;
        const FileRecord* r = (const FileRecord*)MemoryLock(d.Files);
        out.assign(r, r + d.FileCount);
        MemoryUnlock(d.Files);
        return out;
    }
};

std::string Without(std::string text, const std::string& line)
{
    size_t at = text.find(line);
    if (at != std::string::npos) text.erase(at, line.size());
    return text;
}

std::string Replace(std::string text, const std::string& line, const std::string& by)
{
    size_t at = text.find(line);
    if (at != std::string::npos) text.replace(at, line.size(), by);
    return text;
}

} // namespace

TEST_F(Loader, MinimalScriptIsValidAndInstallsNothing)
{
    ASSERT_EQ(Read("[Disk 1]\nDiskName=Disk One\n"), 0u);
    EXPECT_STREQ(State.Caption, "Demo Setup");
    EXPECT_STREQ(State.ProductName, "Demo");
    EXPECT_STREQ(State.TargetDir, "C:\\DEMO");
    EXPECT_EQ(State.DiskCount, 1u);
    EXPECT_EQ(State.DiskSpace, 1000);
    EXPECT_EQ(State.ScriptFromResource, 0u);
    EXPECT_EQ(std::string(State.ScriptPath), InDir("INSTALL.INI"));
    EXPECT_EQ(std::string(State.HelpPath), InDir("DEMO.HLP"));
    EXPECT_EQ(AtomText(State.Disks[0].NameAtom), "Disk One");
    EXPECT_EQ(State.Disks[0].FileCount, 0);
    EXPECT_EQ(State.RunButtons, 0u);
    EXPECT_EQ(State.ExitCount + State.DeleteCount + State.SubdirCount + State.OldGroupCount, 0u);
}

TEST_F(Loader, MissingScriptIsReportedWithItsPath)
{
    Reset();
    EXPECT_EQ(ReadInstallScript(), (unsigned)IDD_CANNOT_OPEN_SCRIPT);
    EXPECT_EQ(Line(), InDir("INSTALL.INI"));
    // Every retry reads again.
    EXPECT_EQ(ReadInstallScript(), (unsigned)IDD_CANNOT_OPEN_SCRIPT);
    EXPECT_EQ(Read("[Disk 1]\nDiskName=D\n"), 0u);
}

TEST_F(Loader, RequiredKeysOfBasicInformationInReadingOrder)
{
    const char* keys[] = {"HelpFileName", "Caption", "ProductName", "DefaultTargetDir", "TotalDisks",
                          "DiskSpace"};
    for (const char* key : keys) {
        std::string basic = BasicLines;
        size_t at = basic.find(std::string(key) + "=");
        basic.erase(at, basic.find('\n', at) - at + 1);
        EXPECT_EQ(Read("[Disk 1]\nDiskName=D\n", basic), (unsigned)IDD_MISSING_KEY) << key;
        EXPECT_EQ(Key(), key);
        EXPECT_EQ(Section(), "Basic Information");
        ReleaseScriptTables();
    }
    // An empty value counts as missing.
    EXPECT_EQ(Read("", Replace(BasicLines, "ProductName=Demo", "ProductName=  ")),
              (unsigned)IDD_MISSING_KEY);
    EXPECT_EQ(Key(), "ProductName");
}

TEST_F(Loader, MissingCaptionKeepsTheDefaultTitle)
{
    EXPECT_EQ(Read("", Without(BasicLines, "Caption=Demo Setup\n")), (unsigned)IDD_MISSING_KEY);
    EXPECT_STREQ(State.Caption, "Install");
}

TEST_F(Loader, HelpFileNameWithAndWithoutInstalledName)
{
    ASSERT_EQ(Read("[Disk 1]\nDiskName=D\n", Replace(BasicLines, "DEMO.HLP", "a,b")), 0u);
    EXPECT_EQ(std::string(State.HelpPath), InDir("b"));
    EXPECT_EQ(Read("", Replace(BasicLines, "DEMO.HLP", "a,")), (unsigned)IDD_BAD_LINE);
    EXPECT_EQ(Line(), "HelpFileName=a,");
    EXPECT_EQ(Section(), "Basic Information");
    EXPECT_EQ(Read("", Replace(BasicLines, "DEMO.HLP", ",b")), (unsigned)IDD_BAD_LINE);
    EXPECT_EQ(Line(), "HelpFileName=,b");

    // The uninstaller's read passes the help file by: a faulty or missing
    // HelpFileName= is no fault there, nothing is placed for it, and the
    // sections after it are read as the installer reads them.
    const std::string disk = "[Disk 1]\nDiskName=D\nA.TXT=Target\n";
    for (const std::string& basic : {Replace(BasicLines, "DEMO.HLP", ",b"), Without(BasicLines, "HelpFileName=DEMO.HLP\n")}) {
        Reset();
        std::ofstream(InDir("INSTALL.INI")) << basic << disk;
        ASSERT_EQ(ReadUninstallScript(), 0u) << basic;
        EXPECT_STREQ(State.HelpPath, "");
        EXPECT_STREQ(State.ProductName, "Demo");
        ASSERT_EQ(Files(0).size(), 1u);
        EXPECT_EQ(AtomText(Files(0)[0].DestAtom), "A.TXT");
        ReleaseScriptTables();
    }
    Reset();
    std::ofstream(InDir("INSTALL.INI")) << Without(BasicLines, "ProductName=Demo\n") << disk;
    EXPECT_EQ(ReadUninstallScript(), (unsigned)IDD_MISSING_KEY);
    EXPECT_EQ(Key(), "ProductName");
}

TEST_F(Loader, WindowsVersionIsComparedWithTheRunningSystem)
{
    const std::string disk = "[Disk 1]\nDiskName=D\n";
    auto with = [](const char* v) { return std::string(BasicLines) + "WindowsVersion=" + v + "\n"; };
    EXPECT_EQ(Read(disk, with("4")), 0u);
    EXPECT_EQ(Read(disk, with("2.0")), 0u);
    EXPECT_EQ(Read(disk, with("4.0")), 0u);
    EXPECT_EQ(Read(disk, with("4.10")), (unsigned)IDD_WINDOWS_TOO_OLD);
    EXPECT_EQ(State.RequiredWinMajor, 4);
    EXPECT_EQ(State.RequiredWinMinor, 1);
    EXPECT_EQ(Read(disk, with("5.0")), (unsigned)IDD_WINDOWS_TOO_OLD);
    osMinor = 1;  // Windows 98
    EXPECT_EQ(Read(disk, with("4.10")), 0u);
    osMajor = 3;
    osMinor = 51;
    EXPECT_EQ(Read(disk, with("3.50")), 0u);  // 3.5 against 3.51
    EXPECT_EQ(Read(disk, with("3.60")), 0u);  // 6 against 51: numbers, not decimals
    EXPECT_EQ(Read(disk, with("4.-1")), 0u);  // a negative minor imposes nothing
}

TEST_F(Loader, TotalDisksAndDiskSpaceLimits)
{
    const std::string disk = "[Disk 1]\nDiskName=D\n";
    for (const char* value : {"0", "x", ""}) {
        EXPECT_EQ(Read(disk, Replace(BasicLines, "TotalDisks=1", std::string("TotalDisks=") + value)),
                  (unsigned)IDD_MISSING_KEY);
        EXPECT_EQ(Key(), "TotalDisks");
    }
    EXPECT_EQ(Read(disk, Replace(BasicLines, "TotalDisks=1", "TotalDisks=33")),
              (unsigned)IDD_TOO_MANY_DISKS);
    for (const char* value : {"0", "-5", "abc"}) {
        EXPECT_EQ(Read(disk, Replace(BasicLines, "DiskSpace=1000", std::string("DiskSpace=") + value)),
                  (unsigned)IDD_BAD_LINE);
        EXPECT_EQ(Line(), std::string("DiskSpace=") + value);
    }
    std::string noSpace = Without(BasicLines, "DiskSpace=1000\n");
    EXPECT_EQ(Read(disk, noSpace + "VGADiskSpace=1000\nEGADiskSpace=5\n"), 0u);
    EXPECT_EQ(State.DiskSpace, 1000);
    EXPECT_EQ(Read(disk, noSpace + "VGADiskSpace=abc\n"), (unsigned)IDD_BAD_LINE);
    EXPECT_EQ(Line(), "VGADiskSpace=abc");
    EXPECT_EQ(Section(), "Basic Information");
    EXPECT_EQ(Read(disk, noSpace + "EGADiskSpace=5\n"), (unsigned)IDD_MISSING_KEY);
    EXPECT_EQ(Key(), "DiskSpace");
    SetDisplay(DisplayEga);
    EXPECT_EQ(Read(disk, noSpace + "EGADiskSpace=5\n"), 0u);
    EXPECT_EQ(State.DiskSpace, 5);
}

TEST_F(Loader, FontsOnlyNeedsNoTargetDirectory)
{
    std::string basic = Without(BasicLines, "DefaultTargetDir=C:\\DEMO\n") + "FontsOnly=1\n";
    ASSERT_EQ(Read("[Disk 1]\nDiskName=D\n", basic), 0u);
    EXPECT_EQ(State.FontsOnly, 1u);
    // The installer's own resources hold no bitmap 500 (kivpack adds one on
    // request), nor does the host: the default size of the picture.
    EXPECT_EQ(State.FontsBitmapWidth, 40);
    EXPECT_EQ(State.FontsBitmapHeight, 100);
}

TEST_F(Loader, DiskLinesBecomeFileRecords)
{
    ASSERT_EQ(Read("[Disk 1]\n"
                   "DiskName=First disk\n"
                   "README.TXT=Target\n"
                   "MAIN.DL_=System\\MAIN.DLL,Main library\n"
                   "SMALL.FON=Fonts,,EGA,HiddenFont\n"
                   "PART2.DAT=Target\\DATA\\ALL.DAT,,Append,Bogus,VGA,8514\n"
                   "[Disk 2]\n"
                   "DiskName=Second disk\n"
                   "NT.DL_=System32\\NT.DLL,,SystemFont\n",
                   Replace(BasicLines, "TotalDisks=1", "TotalDisks=2")),
              0u);
    std::vector<FileRecord> one = Files(0);
    ASSERT_EQ(one.size(), 3u);  // SMALL.FON is for EGA displays only
    EXPECT_EQ(AtomText(one[0].SourceAtom), "README.TXT");
    EXPECT_EQ(AtomText(one[0].DestAtom), "README.TXT");
    EXPECT_EQ(one[0].DescAtom, 0);
    EXPECT_EQ(one[0].DirKind, DirTarget);
    EXPECT_EQ(one[0].Flags, FlagAllDisplays);
    EXPECT_EQ(one[0].ResourceId, 12002);
    EXPECT_EQ(AtomText(one[1].DestAtom), "MAIN.DLL");
    EXPECT_EQ(AtomText(one[1].DescAtom), "Main library");
    EXPECT_EQ(one[1].DirKind, DirSystem);
    EXPECT_EQ(one[1].ResourceId, 12003);
    EXPECT_EQ(AtomText(one[2].DestAtom), "DATA\\ALL.DAT");
    EXPECT_EQ(one[2].Flags, FlagVga | Flag8514 | FlagAppend);
    EXPECT_EQ(one[2].ResourceId, 12005);  // 12004 went to the dropped line
    std::vector<FileRecord> two = Files(1);
    ASSERT_EQ(two.size(), 1u);
    EXPECT_EQ(two[0].ResourceId, 12006);
    EXPECT_EQ(two[0].DirKind, DirSystem32);
    EXPECT_EQ(two[0].Flags, FlagAllDisplays | FlagSystemFont);
    EXPECT_EQ(AtomText(State.Disks[1].NameAtom), "Second disk");
}

TEST_F(Loader, DroppedLinesKeepTheirResourceIds)
{
    SetDisplay(DisplayEga);
    ASSERT_EQ(Read("[Disk 1]\nDiskName=D\nONLY.VGA=Target,,VGA\n[Disk 2]\nDiskName=E\nNEXT=Target\n",
                   Replace(BasicLines, "TotalDisks=1", "TotalDisks=2")),
              0u);
    EXPECT_EQ(State.Disks[0].FileCount, 0);
    ASSERT_EQ(Files(1).size(), 1u);
    EXPECT_EQ(Files(1)[0].ResourceId, 12003);
}

TEST_F(Loader, FaultyDiskLinesNameSectionAndLine)
{
    EXPECT_EQ(Read("[Disk 1]\nDiskName=D\nA.TXT=Temp\n"), (unsigned)IDD_BAD_LINE);
    EXPECT_EQ(Section(), "Disk 1");
    EXPECT_EQ(Line(), "A.TXT=Temp");
    EXPECT_EQ(Read("[Disk 1]\nDiskName=D\nA.TXT=Target\\\n"), (unsigned)IDD_BAD_LINE);
    EXPECT_EQ(Line(), "A.TXT=Target\\");
    EXPECT_EQ(Read("[Disk 1]\nA.TXT=Target\n"), (unsigned)IDD_MISSING_KEY);
    EXPECT_EQ(Key(), "DiskName");
    EXPECT_EQ(Section(), "Disk 1");
    EXPECT_EQ(Read("[Disk 1]\nDiskName=D\nB.TXT=target,,ega\n"), 0u);
    EXPECT_EQ(State.Disks[0].FileCount, 0);  // keywords ignore case; EGA only
}

TEST_F(Loader, NamesDifferingInCaseShareOneAtomInTheFirstSpelling)
{
    ASSERT_EQ(Read("[Disk 1]\nDiskName=D\nreadme.txt=Target\nREADME.TXT=Windows\n"), 0u);
    // Both spellings are one key to the profile reader, so the section holds
    // one line; the atom of the destination reads back the first spelling.
    std::vector<FileRecord> files = Files(0);
    ASSERT_GE(files.size(), 1u);
    EXPECT_EQ(AtomText(files[0].SourceAtom), "readme.txt");
    AtomHandle again = AtomAdd("ReadMe.Txt");
    EXPECT_EQ(again, files[0].SourceAtom);
    EXPECT_EQ(AtomText(again), "readme.txt");
    AtomDelete(again);
}

TEST_F(Loader, DeleteListAndSubdirectoriesStopAtTheFirstGap)
{
    ASSERT_EQ(Read("[Disk 1]\nDiskName=D\n[Delete List]\nFile1=Windows\\OLD.DLL\nFile2=Fonts\\X.FON\n"
                   "File4=Target\\SKIPPED\n[Target Subdirectories]\nSubdirectory1=DATA\n"
                   "Subdirectory3=LOST\n"),
              0u);
    ASSERT_EQ(State.DeleteCount, 2u);
    EXPECT_EQ(State.DeleteList[0].DirKind, DirWindows);
    EXPECT_EQ(AtomText(State.DeleteList[0].NameAtom), "OLD.DLL");
    EXPECT_EQ(State.DeleteList[1].DirKind, DirFonts);
    ASSERT_EQ(State.SubdirCount, 1u);
    EXPECT_EQ(AtomText(State.Subdirs[0]), "DATA");

    for (const char* bad : {"Target\\SUB\\OLD.DLL", "OLD.DLL", "Windows\\"}) {
        ReleaseScriptTables();
        EXPECT_EQ(Read(std::string("[Delete List]\nFile1=") + bad + "\n"), (unsigned)IDD_BAD_LINE) << bad;
        EXPECT_EQ(Line(), std::string("File1=") + bad);
        EXPECT_EQ(Section(), "Delete List");
    }
    ReleaseScriptTables();
    // File3 is never read when File2 is missing.
    EXPECT_EQ(Read("[Disk 1]\nDiskName=D\n[Delete List]\nFile1=Windows\\A\nFile3=bad\n"), 0u);
    EXPECT_EQ(State.DeleteCount, 1u);
}

TEST_F(Loader, FontsFromBothSectionsIntoOneTable)
{
    ASSERT_EQ(Read("[Disk 1]\nDiskName=D\n[fonts]\nSans (TrueType)=SANS.TTF\nEmpty=\n"
                   "[VGA Fonts]\nSmall=SMALLV.FON\n[EGA Fonts]\nOther=SMALLE.FON\n"),
              0u);
    EXPECT_EQ(AtomText(State.FontTable[0].NameAtom), "Sans (TrueType)");
    EXPECT_EQ(AtomText(State.FontTable[0].FileAtom), "SANS.TTF");
    EXPECT_EQ(AtomText(State.FontTable[1].FileAtom), "SMALLV.FON");
    EXPECT_EQ(State.FontTable[2].FileAtom, 0);
}

TEST_F(Loader, GroupItemsAndTheirPlatforms)
{
    ASSERT_EQ(Read("[Disk 1]\nDiskName=D\n[Program Manager Group]\nGroupName=Tools\n"
                   "TOOL.EXE=My Tool\nNT.EXE=NT only, WinNT\nBOTH.EXE=Both,Win95,Bogus,WinNT\n"
                   "NONE.EXE=\n[Old Program Manager Groups]\n1.0=Old Tools\n0.9=\n"),
              0u);
    EXPECT_STREQ(State.GroupName, "Tools");
    EXPECT_EQ(AtomText(State.GroupItems[0].FileAtom), "TOOL.EXE");
    EXPECT_EQ(AtomText(State.GroupItems[0].DescAtom), "My Tool");
    EXPECT_EQ(State.GroupItems[0].PlatformMask, 7u);
    // Fields are taken as they stand: " WinNT" with its blank is no keyword.
    EXPECT_EQ(State.GroupItems[1].PlatformMask, 7u);
    EXPECT_EQ(State.GroupItems[2].PlatformMask, (unsigned)(PlatformWin95 | PlatformWinNt));
    EXPECT_EQ(State.GroupItems[3].FileAtom, 0);
    ASSERT_EQ(State.OldGroupCount, 2u);
    EXPECT_EQ(AtomText(State.OldGroups[0].VersionAtom), "1.0");
    EXPECT_EQ(AtomText(State.OldGroups[0].GroupAtom), "Old Tools");
    EXPECT_EQ(State.OldGroups[1].GroupAtom, 0);

    ReleaseScriptTables();
    EXPECT_EQ(Read("[Program Manager Group]\nA.EXE=x\n"), (unsigned)IDD_MISSING_KEY);  // no GroupName: ignored
    EXPECT_EQ(State.GroupItems[0].FileAtom, 0);
}

TEST_F(Loader, RunSectionByPlatform)
{
    const std::string disk = "[Disk 1]\nDiskName=D\n";
    ASSERT_EQ(Read(disk + "[Run]\nWin95File=A95.EXE\nWinNTFile=ANT.EXE\nFile=ANY.EXE\n"
                          "Buttons=ok/cancel\nMessage=Start %s now?\nName=Demo\n"),
              0u);
    EXPECT_STREQ(State.RunFile, "A95.EXE");
    EXPECT_EQ(State.RunButtons, 1u);
    EXPECT_STREQ(State.RunMessage, "Start %s now?");
    platformKind = PlatformWinNt;
    ASSERT_EQ(Read(disk + "[Run]\nWin95File=A95.EXE\nFile=ANY.EXE\nButtons=Yes/No\nMessage=m\nName=n\n"), 0u);
    EXPECT_STREQ(State.RunFile, "ANY.EXE");
    EXPECT_EQ(State.RunButtons, 2u);

    EXPECT_EQ(Read(disk + "[Run]\nFile=A.EXE\nButtons=OK\nMessage=m\nName=n\n"), (unsigned)IDD_BAD_LINE);
    EXPECT_EQ(Line(), "Buttons=OK");
    EXPECT_EQ(Section(), "Run");
    EXPECT_EQ(Read(disk + "[Run]\nFile=A.EXE\nMessage=m\nName=n\n"), (unsigned)IDD_MISSING_KEY);
    EXPECT_EQ(Key(), "Buttons");
    EXPECT_EQ(Read(disk + "[Run]\nFile=A.EXE\nButtons=Yes/No\nName=n\n"), (unsigned)IDD_MISSING_KEY);
    EXPECT_EQ(Key(), "Message");
    EXPECT_EQ(Read(disk + "[Run]\nFile=A.EXE\nButtons=Yes/No\nMessage=m\n"), (unsigned)IDD_MISSING_KEY);
    EXPECT_EQ(Key(), "Name");
    // No program: the other keys are not read at all.
    EXPECT_EQ(Read(disk + "[Run]\nButtons=nonsense\n"), 0u);
    EXPECT_EQ(State.RunButtons, 0u);
}

TEST_F(Loader, TablesStopAtTheirLimitsWithoutAMessage)
{
    std::string s = "[Disk 1]\nDiskName=D\n[fonts]\n";
    for (int i = 1; i <= 33; ++i) s += "Font" + std::to_string(i) + "=F" + std::to_string(i) + ".FON\n";
    s += "[Exit List]\n";
    for (int i = 1; i <= 33; ++i) s += "Class" + std::to_string(i) + "=Title\n";
    s += "[Delete List]\n";
    for (int i = 1; i <= 33; ++i) s += "File" + std::to_string(i) + "=Windows\\D" + std::to_string(i) + "\n";
    s += "[Target Subdirectories]\n";
    for (int i = 1; i <= 33; ++i) s += "Subdirectory" + std::to_string(i) + "=S" + std::to_string(i) + "\n";
    s += "[Program Manager Group]\nGroupName=G\n";
    for (int i = 1; i <= 33; ++i) s += "P" + std::to_string(i) + ".EXE=Item\n";
    s += "[Old Program Manager Groups]\n";
    for (int i = 1; i <= 9; ++i) s += "1." + std::to_string(i) + "=Old\n";
    ASSERT_EQ(Read(s), 0u);
    EXPECT_NE(State.FontTable[31].FileAtom, 0);
    EXPECT_EQ(State.ExitCount, 32u);
    EXPECT_EQ(AtomText(State.ExitList[31].ClassAtom), "Class32");
    EXPECT_EQ(State.DeleteCount, 32u);
    EXPECT_EQ(State.SubdirCount, 32u);
    EXPECT_NE(State.GroupItems[31].FileAtom, 0);
    EXPECT_EQ(State.OldGroupCount, 8u);
}

TEST_F(Loader, ValuesAreCutAtTheirBuffers)
{
    std::string longName(100, 'N');
    std::string basic = Replace(BasicLines, "ProductName=Demo", "ProductName=" + longName) +
                        "ViewButtonText=" + std::string(40, 'V') + "\n";
    ASSERT_EQ(Read("[Disk 1]\nDiskName=" + std::string(300, 'L') + "\n", basic), 0u);
    EXPECT_EQ(std::string(State.ProductName), std::string(63, 'N'));
    EXPECT_EQ(std::string(State.ViewButtonText), std::string(31, 'V'));
    EXPECT_EQ(AtomText(State.Disks[0].NameAtom), std::string(255, 'L'));
}

TEST_F(Loader, NamesLongerThanAnAtomHoldsAreFaultyLines)
{
    std::string name255(251, 'a'), name256(252, 'a');
    name255 += ".TXT";
    name256 += ".TXT";
    ASSERT_EQ(Read("[Disk 1]\nDiskName=D\n" + name255 + "=Target\n"), 0u);
    EXPECT_EQ(AtomText(Files(0)[0].SourceAtom), name255);
    ReleaseScriptTables();
    EXPECT_EQ(Read("[Disk 1]\nDiskName=D\n" + name256 + "=Target\n"), (unsigned)IDD_BAD_LINE);
    EXPECT_EQ(Section(), "Disk 1");
}

TEST_F(Loader, TextWithFormatCharactersIsKeptAsItStands)
{
    ASSERT_EQ(Read("[Disk 1]\nDiskName=Disk %s (1), %u%%\nA%s.TXT=Target\\B%d,Copy %s, (x)\n"), 0u);
    EXPECT_EQ(AtomText(State.Disks[0].NameAtom), "Disk %s (1), %u%%");
    EXPECT_EQ(AtomText(Files(0)[0].DestAtom), "B%d");
    EXPECT_EQ(AtomText(Files(0)[0].DescAtom), "Copy %s");
}
