// The uninstaller's decisions that touch nothing: which names it follows,
// which files it removes or keeps, which directories it tries and in what
// order, how it recognises the uninstall entry's command, and the line it
// adds to WININIT.INI.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "engine/payload_crc.h"
#include "integration/uninstall_values.h"
#include "platform/text.h"
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

TEST(UninstallRules, TheCopyTakesAnEventAndThePathItWasGiven)
{
    unsigned long event = 0;
    char original[PathSize];
    ASSERT_TRUE(ParseCopyArguments("1a4 \"C:\\Program Files\\A\\uninst.exe\"", &event, original));
    EXPECT_EQ(event, 0x1a4ul);
    EXPECT_STREQ(original, "C:\\Program Files\\A\\uninst.exe");
    ASSERT_TRUE(ParseCopyArguments("  FFFFFFFF C:\\A\\uninst.exe ", &event, original));
    EXPECT_EQ(event, 0xFFFFFFFFul);
    EXPECT_STREQ(original, "C:\\A\\uninst.exe");
    // A path alone (the form of a hand start), a number alone, a number too
    // long for a handle, an unterminated quote: nothing to act on.
    for (const char* refused : {"C:\\A\\uninst.exe", "\"C:\\A\\uninst.exe\"", "1a4", "1a4 ", "123456789 C:\\A\\u.exe",
                                "1a4\"C:\\A\\uninst.exe\"", "1a4 \"C:\\A\\uninst.exe", ""})
        EXPECT_FALSE(ParseCopyArguments(refused, &event, original)) << refused;
}

TEST(UninstallRules, TheClosingDialogNamesWhatWasKeptThenCountsTheRest)
{
    auto compare = [](const char* a, const char* b) { return TextCompareNoCase(a, b); };
    KeptList list;
    list.Count = 0;
    char text[1024] = "A was removed.";
    AppendKeptList(text, sizeof text, list, "One:", "Many:", "and %u more");
    EXPECT_STREQ(text, "A was removed.") << "an empty list adds nothing";

    AddKept(list, "C:\\A\\Data", compare);
    AddKept(list, "c:\\a\\DATA", compare);
    AppendKeptList(text, sizeof text, list, "One:", "Many:", "and %u more");
    EXPECT_STREQ(text, "A was removed.\n\nOne:\nC:\\A\\Data") << "a name given twice counts once, as first spelt";

    list.Count = 0;
    for (const char* name : {"F1", "F2", "F3", "F4", "F5", "F6", "F7", "F1"}) AddKept(list, name, compare);
    EXPECT_EQ(list.Count, 7u);
    text[0] = 0;
    AppendKeptList(text, sizeof text, list, "One:", "Many:", "and %u more");
    EXPECT_STREQ(text, "\n\nMany:\nF1\nF2\nF3\nF4\nF5\nand 2 more");

    // A full buffer cuts the text, and nothing is written past it.
    char small[16];
    MemoryZero(small, sizeof small);
    TextCopy(small, 12, "A removed.");
    small[12] = 'X';
    AppendKeptList(small, 12, list, "One:", "Many:", "and %u more");
    EXPECT_EQ(TextLength(small), 11u);
    EXPECT_EQ(small[12], 'X');
}

TEST(UninstallRules, AFileIsTheProductsOnlyWhileItsSizeAndChecksumAreAsInstalled)
{
    // Two records: DATA\A.TXT of 5 bytes, CRC 0x11223344, and of 7 bytes
    // (another display class), CRC 0x55667788.
    std::vector<unsigned char> table = {2, 0};
    auto add = [&](unsigned crc, unsigned size, const std::string& name) {
        for (int i = 0; i < 4; ++i) table.push_back((unsigned char)(crc >> (8 * i)));
        for (int i = 0; i < 4; ++i) table.push_back((unsigned char)(size >> (8 * i)));
        table.push_back((unsigned char)name.size());
        table.insert(table.end(), name.begin(), name.end());
    };
    add(0x11223344, 5, "DATA\\A.TXT");
    add(0x55667788, 7, "data\\a.txt");
    const unsigned n = (unsigned)table.size();
    EXPECT_EQ(MatchInstalledFile(table.data(), n, "Data\\A.txt", 5, 0x11223344), 1);
    EXPECT_EQ(MatchInstalledFile(table.data(), n, "DATA\\A.TXT", 7, 0x55667788), 1);
    EXPECT_EQ(MatchInstalledFile(table.data(), n, "DATA\\A.TXT", 5, 0x55667788), 2) << "edited, same size";
    EXPECT_EQ(MatchInstalledSize(table.data(), n, "DATA\\A.TXT", 6), 2) << "another size needs no checksum";
    EXPECT_EQ(MatchInstalledSize(table.data(), n, "DATA\\A.TXT", 7), 1);
    EXPECT_EQ(MatchInstalledFile(table.data(), n, "DATA\\A.TX", 5, 0x11223344), 0) << "a name it has no record of";
    // Cut anywhere, the table yields the records it holds whole and reads
    // nothing past its end (ASan watches the copy).
    for (unsigned cut = 0; cut < n; ++cut) {
        std::vector<unsigned char> part(table.begin(), table.begin() + cut);
        const int found = MatchInstalledFile(part.data(), cut, "DATA\\A.TXT", 7, 0x55667788);
        EXPECT_EQ(found, cut == n ? 1 : cut >= 2 + 19 ? 2 : 0) << cut;
    }
}
