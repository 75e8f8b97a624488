// The uninstaller's decisions that touch nothing: which names it follows,
// which files it removes or keeps, which directories it tries and in what
// order, how it recognises the uninstall entry's command, and the line it
// adds to WININIT.INI.
#include <gtest/gtest.h>
#include <string>
#include "integration/uninstall_values.h"
#include "uninstall/removal_rules.h"

namespace {

std::string Command(const char* path)
{
    char command[PathSize];
    int fits = FormatUninstallCommand(command, path);
    return fits ? command : "(does not fit)";
}

std::string Argument(const char* commandLine)
{
    char argument[PathSize];
    CommandLineArgument(argument, commandLine);
    return argument;
}

std::string WithRenameLine(const std::string& text, const char* line, unsigned size = 512)
{
    std::string out(size, '\0');
    unsigned n = AddRenameLine(&out[0], size, text.data(), (unsigned)text.size(), line);
    return n ? out.substr(0, n) : "(does not fit)";
}

}  // namespace

TEST(UninstallRules, OnlyNamesThatStayInsideTheirDirectoryAreFollowed)
{
    for (const char* inside : {"APP.EXE", "DATA\\NOTES.TXT", "a.b\\c..d\\e", "...x", "DATA/SUB/F"})
        EXPECT_TRUE(IsContainedName(inside)) << inside;
    for (const char* outside : {"", "..", "..\\WIN.INI", "DATA\\..\\..\\X", "C:\\AUTOEXEC.BAT", "C:X",
                                "\\WINDOWS\\X", "/etc/x", "DATA\\\\X", "DATA\\", ". .\\X", "...\\X",
                                "DATA\\.\\X", "FILE.TXT:stream"})
        EXPECT_FALSE(IsContainedName(outside)) << outside;

    EXPECT_EQ(DecideRecordFate(DirTarget, "DATA\\NOTES.TXT"), FateRemove);
    EXPECT_EQ(DecideRecordFate(DirTarget, "..\\..\\WINDOWS\\WIN.INI"), FatePassOver);
    EXPECT_EQ(DecideRecordFate(DirTarget, "D:\\OTHER.DLL"), FatePassOver);
    // Shared places are kept whatever the name; fonts go through the font
    // table, the installer's own directory is never the product's.
    EXPECT_EQ(DecideRecordFate(DirWindows, "SHARED.INI"), FateKeepShared);
    EXPECT_EQ(DecideRecordFate(DirSystem, "COMMON.DLL"), FateKeepShared);
    EXPECT_EQ(DecideRecordFate(DirSystem32, "COMMON.DLL"), FateKeepShared);
    EXPECT_EQ(DecideRecordFate(DirFonts, "FONT.TTF"), FatePassOver);
    EXPECT_EQ(DecideRecordFate(DirSource, "X"), FatePassOver);
}

TEST(UninstallRules, NoRootOrSystemDirectoryIsTakenForAnInstallation)
{
    const char* windows = "C:\\WINDOWS\\";
    const char* system = "C:\\WINDOWS\\SYSTEM\\";
    const char* system32 = "C:\\WINDOWS\\SYSTEM32\\";
    for (const char* target : {"C:\\KIVDEMO\\", "c:\\program files\\harbor\\", "\\\\SRV\\SHARE\\APP\\"})
        EXPECT_TRUE(IsRemovableTarget(target, windows, system, system32, AsciiCompareNoCase)) << target;
    for (const char* target : {"C:\\", "D:\\", "\\\\SRV\\SHARE\\", "", "c:\\windows\\",
                               "C:\\Windows\\System\\", "C:\\WINDOWS\\SYSTEM32\\"})
        EXPECT_FALSE(IsRemovableTarget(target, windows, system, system32, AsciiCompareNoCase)) << target;
}

TEST(UninstallRules, DirectoriesAreTriedOnceEachDeepestFirst)
{
    DirectoryList list = {};
    AddLeadingDirectories(list, "DATA\\DEEP\\F.TXT", 0, AsciiCompareNoCase);
    AddLeadingDirectories(list, "data\\G.TXT", 0, AsciiCompareNoCase);  // DATA again, in another case
    AddLeadingDirectories(list, "LOGS", 1, AsciiCompareNoCase);          // a target subdirectory
    AddLeadingDirectories(list, "TOP.EXE", 0, AsciiCompareNoCase);       // none
    AddLeadingDirectories(list, "..\\ESCAPE\\F", 0, AsciiCompareNoCase); // never
    AddLeadingDirectories(list, "DATA\\DEEP\\ER", 1, AsciiCompareNoCase);
    SortDeepestFirst(list);
    ASSERT_EQ(list.Count, 4u);
    EXPECT_STREQ(list.Names[0], "DATA\\DEEP\\ER");
    EXPECT_STREQ(list.Names[1], "DATA\\DEEP");
    // Each directory comes before the one that holds it.
    for (unsigned i = 0; i < list.Count; ++i)
        for (unsigned j = i + 1; j < list.Count; ++j)
            EXPECT_NE(std::string(list.Names[j]).rfind(std::string(list.Names[i]) + "\\", 0), 0u)
                << list.Names[i] << " before " << list.Names[j];

    DirectoryList full = {};
    for (unsigned i = 0; i < MaxRemovalDirs + 5; ++i)
        AddLeadingDirectories(full, ("D" + std::to_string(i)).c_str(), 1, AsciiCompareNoCase);
    EXPECT_EQ(full.Count, (unsigned)MaxRemovalDirs);
}

TEST(UninstallRules, TheEntryCommandIsQuotedOnlyWhenItHoldsABlank)
{
    EXPECT_EQ(Command("c:\\kivdemo\\uninst.exe"), "c:\\kivdemo\\uninst.exe");
    EXPECT_EQ(Command("c:\\program files\\harbor\\uninst.exe"), "\"c:\\program files\\harbor\\uninst.exe\"");
    std::string longest(PathSize - 3, 'x');
    longest[5] = ' ';
    EXPECT_EQ(Command(longest.c_str()), "\"" + longest + "\"");
    longest += "y";
    EXPECT_EQ(Command(longest.c_str()), "(does not fit)");

    // Earlier entries match with or without quotes, in any case; another
    // program, an unterminated quote or a quoted path with arguments does not.
    const char* path = "c:\\program files\\harbor\\uninst.exe";
    EXPECT_TRUE(UninstallCommandNames("\"C:\\Program Files\\Harbor\\UNINST.EXE\"", path, AsciiCompareNoCase));
    EXPECT_TRUE(UninstallCommandNames("c:\\program files\\harbor\\uninst.exe", path, AsciiCompareNoCase));
    EXPECT_TRUE(UninstallCommandNames("  \"c:\\program files\\harbor\\uninst.exe\"  ", path, AsciiCompareNoCase));
    EXPECT_FALSE(UninstallCommandNames("c:\\program files\\other\\uninst.exe", path, AsciiCompareNoCase));
    EXPECT_FALSE(UninstallCommandNames("\"c:\\program files\\harbor\\uninst.exe", path, AsciiCompareNoCase));
    EXPECT_FALSE(UninstallCommandNames("c:\\program.exe", path, AsciiCompareNoCase));

    // The copy finds its original's path in its command line.
    EXPECT_EQ(Argument("\"C:\\TEMP\\~KIVUNST.EXE\" \"C:\\Program Files\\H\\uninst.exe\""),
              "C:\\Program Files\\H\\uninst.exe");
    EXPECT_EQ(Argument("C:\\TEMP\\COPY.EXE C:\\H\\uninst.exe  "), "C:\\H\\uninst.exe");
    EXPECT_EQ(Argument("\"C:\\Program Files\\H\\uninst.exe\""), "");
    EXPECT_EQ(Argument("uninst.exe   "), "");
}

TEST(UninstallRules, WininitKeepsEveryLineOthersLeftThere)
{
    EXPECT_EQ(WithRenameLine("", "NUL=C:\\TEMP\\A.EXE"), "[rename]\r\nNUL=C:\\TEMP\\A.EXE\r\n");
    EXPECT_EQ(WithRenameLine("[Rename]\r\nNUL=C:\\OTHER.EXE\r\n", "NUL=C:\\A"),
              "[Rename]\r\nNUL=C:\\A\r\nNUL=C:\\OTHER.EXE\r\n");
    EXPECT_EQ(WithRenameLine("[other]\nx=1", "NUL=C:\\A"), "[other]\nx=1\r\n[rename]\r\nNUL=C:\\A\r\n");
    EXPECT_EQ(WithRenameLine("[x]\r\n  [RENAME]  \r\n[y]\r\n", "NUL=C:\\A"),
              "[x]\r\n  [RENAME]  \r\nNUL=C:\\A\r\n[y]\r\n");
    EXPECT_EQ(WithRenameLine("[rename]", "NUL=C:\\A"), "[rename]\r\nNUL=C:\\A\r\n");
    EXPECT_EQ(WithRenameLine("[renamed]\r\n", "NUL=C:\\A"), "[renamed]\r\n[rename]\r\nNUL=C:\\A\r\n");
    EXPECT_EQ(WithRenameLine("[rename]\r\n", "NUL=C:\\A", 20), "(does not fit)");
}
