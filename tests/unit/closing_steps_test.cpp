#include <gtest/gtest.h>
#include <string>
#include "engine/closing_values.h"
#include "integration/font_names.h"
#include "integration/progman_commands.h"
#include "integration/uninstall_values.h"
#include "script/installer_state.h"

namespace {

// The installer's case rules know the letters of code page 1252; a rule that
// does so stands in for them here, to show that the rule given is the one used.
int CompareLatin1NoCase(const char* a, const char* b)
{
    auto fold = [](unsigned char c) -> unsigned char {
        if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
        return c;
    };
    for (; fold(*a) == fold(*b); ++a, ++b)
        if (!*a) return 0;
    return 1;
}

void LowerLatin1(char* text)
{
    for (unsigned char* p = (unsigned char*)text; *p; ++p)
        if ((*p >= 'A' && *p <= 'Z') || (*p >= 0xC0 && *p <= 0xDE && *p != 0xD7)) *p += 32;
}

bool Closes(const char* windowText, const char* titles)
{
    return ExitTitlesMatch(windowText, titles, AsciiCompareNoCase) != 0;
}

}  // namespace

TEST(ExitList, TitlesArePrefixesInAnyCase)
{
    EXPECT_TRUE(Closes("Tool - README.TXT", ""));
    EXPECT_TRUE(Closes("", ""));
    EXPECT_TRUE(Closes("Tool - README.TXT", "tOOL"));
    EXPECT_TRUE(Closes("Viewer", "Tool,VIEW"));
    EXPECT_TRUE(Closes("Tool", "Tool"));
    EXPECT_FALSE(Closes("My Tool", "Tool"));  // the title only further on
    EXPECT_FALSE(Closes("Too", "Tool"));      // a shorter text cannot begin with it
    EXPECT_FALSE(Closes("Editor", "Tool,View"));
    // A blank after a comma belongs to the next title.
    EXPECT_FALSE(Closes("View", "Tool, View"));
    EXPECT_TRUE(Closes(" View", "Tool, View"));
}

TEST(ExitList, EmptyTitlesMatchEverythingButATrailingCommaAddsNone)
{
    EXPECT_TRUE(Closes("Anything", ",Tool"));
    EXPECT_TRUE(Closes("Anything", "Tool,,View"));
    EXPECT_TRUE(Closes("Anything", ","));
    EXPECT_FALSE(Closes("Anything", "Tool,"));
    EXPECT_FALSE(Closes("Anything", "Tool,View,"));
    EXPECT_TRUE(Closes("View 2", "Tool,View,"));
}

TEST(ExitList, TheGivenCaseRuleDecides)
{
    // \xC9 is E with acute accent, \xE9 its lower case.
    EXPECT_FALSE(ExitTitlesMatch("\xC9" "diteur", "\xE9" "dit", AsciiCompareNoCase));
    EXPECT_TRUE(ExitTitlesMatch("\xC9" "diteur", "\xE9" "dit", CompareLatin1NoCase));
}

TEST(ExitList, SixtyThreeCharacterTitlesStillMatch)
{
    std::string title(63, 'T');
    std::string text = title;
    EXPECT_TRUE(Closes(text.c_str(), title.c_str()));
    text[62] = 'x';
    EXPECT_FALSE(Closes(text.c_str(), title.c_str()));
    EXPECT_TRUE(Closes(text.c_str(), ("A," + title.substr(0, 61)).c_str()));
}

TEST(Settings, DirectoryLosesItsTrailingBackslashOnly)
{
    char b[PathSize];
    EXPECT_EQ(CopyDirectoryName(b, sizeof b, "D:\\APPS\\TOOL\\"), 12u);
    EXPECT_STREQ(b, "D:\\APPS\\TOOL");
    CopyDirectoryName(b, sizeof b, "D:\\");
    EXPECT_STREQ(b, "D:");
    CopyDirectoryName(b, sizeof b, "D:\\APPS");
    EXPECT_STREQ(b, "D:\\APPS");
    EXPECT_EQ(CopyDirectoryName(b, sizeof b, ""), 0u);
    EXPECT_STREQ(b, "");
}

namespace {

std::string SettingsWritten(const char* productVersion, const char* installedVersion,
                            const char* targetDir, CompareNoCaseRule compare = AsciiCompareNoCase)
{
    SettingsValue values[MaxSettingsValues];
    char directory[PathSize];
    unsigned count = ProductSettingsValues(values, directory, productVersion, installedVersion,
                                           targetDir, compare);
    std::string written;
    for (unsigned i = 0; i < count; ++i) written += std::string(values[i].Key) + "=" + values[i].Value + ";";
    return written;
}

}  // namespace

TEST(Settings, KeysAndTheirOrder)
{
    // A first installation writes all three keys.
    EXPECT_EQ(SettingsWritten("2.0", "", "D:\\APPS\\TOOL\\"),
              "Version=2.0;Directory=D:\\APPS\\TOOL;FirstTime=1;");
    // The same version again, case apart, leaves FirstTime alone.
    EXPECT_EQ(SettingsWritten("2.0a", "2.0A", "C:\\"), "Version=2.0a;Directory=C:;");
    EXPECT_EQ(SettingsWritten("2.0", "1.5", "C:\\T\\"), "Version=2.0;Directory=C:\\T;FirstTime=1;");
    // No version of our own: the old Version stays; FirstTime only when an
    // earlier version was found.
    EXPECT_EQ(SettingsWritten("", "", "C:\\T\\"), "Directory=C:\\T;");
    EXPECT_EQ(SettingsWritten("", "1.5", "C:\\T\\"), "Directory=C:\\T;FirstTime=1;");
    EXPECT_EQ(SettingsWritten("V\xC9", "v\xE9", "C:\\T\\", CompareLatin1NoCase),
              "Version=V\xC9;Directory=C:\\T;");
}

TEST(Progman, TheCommandsOfAnInstallation)
{
    char line[ItemCommandLineSize];
    char command[512];
    FormatDeleteGroupCommand(command, sizeof command, "Tools");
    EXPECT_STREQ(command, "[DeleteGroup(Tools)]");
    FormatCreateGroupCommand(command, sizeof command, "Tools");
    EXPECT_STREQ(command, "[CreateGroup(Tools)]");
    ASSERT_TRUE(BuildItemCommandLine(line, "D:\\APPS\\TOOL\\", "TOOL.EXE", AsciiLowerCase));
    FormatAddItemCommand(command, sizeof command, line, "My Tool");
    EXPECT_STREQ(command, "[AddItem(d:\\apps\\tool\\tool.exe, My Tool)]");
    // Commas, parentheses and percent signs go through as they are.
    FormatAddItemCommand(command, sizeof command, "c:\\a,b\\(x).exe", "Tool (1, 2) 100%s");
    EXPECT_STREQ(command, "[AddItem(c:\\a,b\\(x).exe, Tool (1, 2) 100%s)]");
}

TEST(Progman, TheLongestPartsFitTheCommandBuffer)
{
    std::string line(ItemCommandLineSize - 1, 'p');
    std::string title(ItemTitleSize - 1, 't');
    std::string group(OldGroupNameSize - 1, 'g');
    char command[512];
    EXPECT_EQ(FormatAddItemCommand(command, sizeof command, line.c_str(), title.c_str()),
              line.size() + title.size() + 13);
    EXPECT_EQ(FormatDeleteGroupCommand(command, sizeof command, group.c_str()), group.size() + 15);
}

TEST(Progman, ACommandLineThatDoesNotFitIsRefusedNotCut)
{
    char line[ItemCommandLineSize];
    std::string dir = "C:\\" + std::string(245, 'D') + "\\";  // 249 characters
    ASSERT_TRUE(BuildItemCommandLine(line, dir.c_str(), "ABCDEFGHIJ", AsciiLowerCase));  // 259
    EXPECT_EQ(std::string(line).size(), 259u);
    EXPECT_EQ(std::string(line).substr(249), "abcdefghij");
    EXPECT_FALSE(BuildItemCommandLine(line, dir.c_str(), "ABCDEFGHIJK", AsciiLowerCase));  // 260
    EXPECT_STREQ(line, "");
    ASSERT_TRUE(BuildItemCommandLine(line, "C:\\\xC9T\xC9\\", "A.EXE", LowerLatin1));
    EXPECT_STREQ(line, "c:\\\xE9t\xE9\\a.exe");
}

TEST(Progman, ItemsFollowThePlatform)
{
    EXPECT_TRUE(ItemRunsOn(PlatformWin31 | PlatformWin95 | PlatformWinNt, PlatformWin95));
    EXPECT_TRUE(ItemRunsOn(PlatformWin31 | PlatformWin95 | PlatformWinNt, PlatformWinNt));
    EXPECT_TRUE(ItemRunsOn(PlatformWinNt, PlatformWinNt));
    EXPECT_FALSE(ItemRunsOn(PlatformWinNt, PlatformWin95));
    EXPECT_FALSE(ItemRunsOn(PlatformWin95, PlatformWinNt));
    EXPECT_FALSE(ItemRunsOn(PlatformWin31, PlatformWin95));
    EXPECT_FALSE(ItemRunsOn(PlatformWin31, PlatformWinNt));
}

TEST(Progman, OnlyTheReplacedVersionsNamedGroupsAreDeleted)
{
    EXPECT_TRUE(OldGroupIsReplaced("1.0", 1, "1.0", AsciiCompareNoCase));
    EXPECT_TRUE(OldGroupIsReplaced("1.0beta", 1, "1.0BETA", AsciiCompareNoCase));
    EXPECT_FALSE(OldGroupIsReplaced("1.0", 0, "1.0", AsciiCompareNoCase));  // empty value
    EXPECT_FALSE(OldGroupIsReplaced("1.0", 1, "1.01", AsciiCompareNoCase));
    EXPECT_FALSE(OldGroupIsReplaced("1.0", 1, "", AsciiCompareNoCase));
    // An empty key matches an empty replaced version.
    EXPECT_TRUE(OldGroupIsReplaced("", 1, "", AsciiCompareNoCase));
}

TEST(Fonts, TrueTypeNamesBecomeTheirResourceFile)
{
    char b[PathSize] = "SAMPLE.TTF";
    EXPECT_TRUE(MakeFontResourceName(b));
    EXPECT_STREQ(b, "SAMPLE.FOT");
    char x[PathSize] = "XTTF";
    EXPECT_TRUE(MakeFontResourceName(x));
    EXPECT_STREQ(x, "XFOT");
    char lower[PathSize] = "sans.tTf";
    EXPECT_TRUE(MakeFontResourceName(lower));
    EXPECT_STREQ(lower, "sans.FOT");
    char bare[PathSize] = "TTF";  // not longer than three characters
    EXPECT_FALSE(MakeFontResourceName(bare));
    EXPECT_STREQ(bare, "TTF");
    char raster[PathSize] = "SMALL.FON";
    EXPECT_FALSE(MakeFontResourceName(raster));
    EXPECT_STREQ(raster, "SMALL.FON");
    char short3[PathSize] = "ab";
    EXPECT_FALSE(MakeFontResourceName(short3));
}

TEST(Fonts, RowsOnBothShells)
{
    FontRowText row;
    ASSERT_TRUE(PrepareFontRow(row, "Sample (TrueType)", "SAMPLE.TTF", "C:\\WINDOWS\\SYSTEM\\", 1));
    EXPECT_STREQ(row.Name, "Sample (TrueType)");
    EXPECT_STREQ(row.File, "SAMPLE.FOT");
    EXPECT_STREQ(row.TrueType, "SAMPLE.TTF");
    EXPECT_STREQ(row.Path, "C:\\WINDOWS\\SYSTEM\\SAMPLE.FOT");
    ASSERT_TRUE(PrepareFontRow(row, "Sample", "SAMPLE.TTF", "C:\\WINDOWS\\FONTS\\", 0));
    EXPECT_STREQ(row.File, "SAMPLE.TTF");
    EXPECT_STREQ(row.TrueType, "");
    EXPECT_STREQ(row.Path, "C:\\WINDOWS\\FONTS\\SAMPLE.TTF");
    ASSERT_TRUE(PrepareFontRow(row, "Small", "SMALL.FON", "C:\\WINDOWS\\SYSTEM\\", 1));
    EXPECT_STREQ(row.File, "SMALL.FON");
    EXPECT_STREQ(row.TrueType, "");
    EXPECT_STREQ(row.Path, "C:\\WINDOWS\\SYSTEM\\SMALL.FON");
}

TEST(Fonts, APathThatDoesNotFitIsRefused)
{
    FontRowText row;
    std::string dir = "C:\\" + std::string(250, 'F') + "\\";  // 254 characters
    EXPECT_TRUE(PrepareFontRow(row, "A", "A.FON", dir.c_str(), 0));  // 259
    EXPECT_EQ(std::string(row.Path).size(), 259u);
    EXPECT_FALSE(PrepareFontRow(row, "A", "AB.FON", dir.c_str(), 0));  // 260
    EXPECT_STREQ(row.Path, "");
}

TEST(Uninstall, TheUninstallerIsNamedInLowerCase)
{
    char path[PathSize];
    ASSERT_TRUE(BuildUninstallString(path, "D:\\APPS\\TOOL\\", AsciiLowerCase));
    EXPECT_STREQ(path, "d:\\apps\\tool\\uninst.exe");
    ASSERT_TRUE(BuildUninstallString(path, "C:\\\xC9T\xC9\\", LowerLatin1));
    EXPECT_STREQ(path, "c:\\\xE9t\xE9\\uninst.exe");
    std::string dir = "C:\\" + std::string(244, 'D') + "\\";  // 248 + 10 = 258
    EXPECT_TRUE(BuildUninstallString(path, dir.c_str(), AsciiLowerCase));
    dir = "C:\\" + std::string(246, 'D') + "\\";  // 250 + 10 = 260
    EXPECT_FALSE(BuildUninstallString(path, dir.c_str(), AsciiLowerCase));
    EXPECT_STREQ(path, "");
}

// "Name=text" or "Name=#number" for each value of the entry, in order.
std::string EntryValues(const char* version, const char* targetDir, unsigned bytes)
{
    UninstallValue values[MaxUninstallValues];
    char location[PathSize];
    unsigned n = UninstallEntryValues(values, location, "Tool 2.0", "\"c:\\my tool\\uninst.exe\"", version,
                                      targetDir, "C:\\My Tool\\TOOL.EXE", bytes);
    std::string all;
    for (unsigned i = 0; i < n; ++i)
        all += std::string(values[i].Name) + "=" +
               (values[i].Text ? std::string(values[i].Text) : "#" + std::to_string(values[i].Number)) + ";";
    return all;
}

TEST(Uninstall, TheEntryShowsVersionLocationIconAndSizeAndOffersNoChange)
{
    EXPECT_EQ(EntryValues("2.0", "C:\\My Tool\\", 1025),
              "DisplayName=Tool 2.0;UninstallString=\"c:\\my tool\\uninst.exe\";DisplayVersion=2.0;"
              "InstallLocation=C:\\My Tool;DisplayIcon=C:\\My Tool\\TOOL.EXE;EstimatedSize=#2;NoModify=#1;"
              "NoRepair=#1;");
    // No version, no value; a drive root keeps its backslash; the size is
    // rounded up to whole K, without overflow.
    EXPECT_EQ(EntryValues("", "D:\\", 0xFFFFFFFFu),
              "DisplayName=Tool 2.0;UninstallString=\"c:\\my tool\\uninst.exe\";InstallLocation=D:\\;"
              "DisplayIcon=C:\\My Tool\\TOOL.EXE;EstimatedSize=#4194304;NoModify=#1;NoRepair=#1;");
    EXPECT_NE(EntryValues("1", "C:\\T\\", 1024).find("EstimatedSize=#1;"), std::string::npos);
    EXPECT_NE(EntryValues("1", "C:\\T\\", 0).find("EstimatedSize=#0;"), std::string::npos);
}

TEST(Uninstall, EntryKeysBelowTheParent)
{
    char key[PathSize];
    ASSERT_TRUE(BuildUninstallKeyPath(key, "My Tool 2.0"));
    EXPECT_STREQ(key, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\My Tool 2.0");
    std::string parent = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    std::string longest(PathSize - 1 - parent.size(), 'k');
    EXPECT_TRUE(BuildUninstallKeyPath(key, longest.c_str()));
    EXPECT_EQ(std::string(key), parent + longest);
    EXPECT_FALSE(BuildUninstallKeyPath(key, (longest + "k").c_str()));
    EXPECT_STREQ(key, "");
}
