#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>
#include "platform/text.h"
#include "resources/kivformat.h"
#include "ui/directory_text.h"

namespace {

std::string WithoutTrailingBackslashes(const char* text)
{
    char b[260];
    TextCopy(b, sizeof b, text);
    RemoveTrailingBackslashes(b);
    return b;
}

std::string FieldText(const char* text)
{
    char b[260];
    FormDirectoryFieldText(b, sizeof b, text);
    return b;
}

int Compare(const char* a, const char* b)
{
    return TextCompareNoCase(a, b);
}

std::vector<std::string> Prefixes(const char* path, int failAt = -1, int* result = nullptr)
{
    struct Context {
        std::vector<std::string> seen;
        int failAt;
    } context{{}, failAt};
    int r = ForEachPathPrefix(
        path,
        [](const char* prefix, void* c) {
            Context* ctx = static_cast<Context*>(c);
            ctx->seen.push_back(prefix);
            return (int)ctx->seen.size() - 1 == ctx->failAt ? -1 : 0;
        },
        &context);
    if (result) *result = r;
    return context.seen;
}

} // namespace

TEST(DirectoryText, TrailingBackslashesGoButNotAfterAColonOrTheFirstCharacter)
{
    EXPECT_EQ(WithoutTrailingBackslashes("C:\\APPS\\"), "C:\\APPS");
    EXPECT_EQ(WithoutTrailingBackslashes("C:\\APPS\\\\\\"), "C:\\APPS");
    EXPECT_EQ(WithoutTrailingBackslashes("C:\\APPS"), "C:\\APPS");
    EXPECT_EQ(WithoutTrailingBackslashes("C:\\"), "C:\\");
    EXPECT_EQ(WithoutTrailingBackslashes("C:\\\\\\"), "C:\\");
    EXPECT_EQ(WithoutTrailingBackslashes("\\"), "\\");
    EXPECT_EQ(WithoutTrailingBackslashes("\\\\\\"), "\\");
    EXPECT_EQ(WithoutTrailingBackslashes("apps\\"), "apps");
    EXPECT_EQ(WithoutTrailingBackslashes(""), "");
}

TEST(DirectoryText, FieldTextDropsOneBackslashExceptOfADriveRoot)
{
    EXPECT_EQ(FieldText("C:\\KIVDEMO\\"), "C:\\KIVDEMO");
    EXPECT_EQ(FieldText("C:\\KIVDEMO\\\\"), "C:\\KIVDEMO\\");
    EXPECT_EQ(FieldText("C:\\"), "C:\\");
    EXPECT_EQ(FieldText("AB\\"), "AB\\");
    EXPECT_EQ(FieldText("ABC\\"), "ABC");
    EXPECT_EQ(FieldText("C:\\KIVDEMO"), "C:\\KIVDEMO");
    EXPECT_EQ(FieldText(""), "");
    char small[5];
    FormDirectoryFieldText(small, sizeof small, "C:\\LONGER\\");
    EXPECT_STREQ(small, "C:\\L");
}

TEST(DirectoryText, EnsureTrailingBackslash)
{
    char b[260] = "C:\\APPS";
    EnsureTrailingBackslash(b);
    EXPECT_STREQ(b, "C:\\APPS\\");
    EnsureTrailingBackslash(b);
    EXPECT_STREQ(b, "C:\\APPS\\");
    b[0] = 0;
    EnsureTrailingBackslash(b);
    EXPECT_STREQ(b, "\\");
}

TEST(FreeSpace, FreeSectorsAreRoundedToUnitsOf1024BeforeTheSectorSize)
{
    EXPECT_EQ(ComputeFreeKBytes(8, 512, 100), 512u);
    EXPECT_EQ(ComputeFreeKBytes(8, 512, 300), 1024u);
    EXPECT_EQ(ComputeFreeKBytes(8, 512, 63), 0u);   // 504 sectors round down
    EXPECT_EQ(ComputeFreeKBytes(8, 512, 64), 512u); // 512 sectors round up
    EXPECT_EQ(ComputeFreeKBytes(1, 4096, 2048), 8192u);
    EXPECT_EQ(ComputeFreeKBytes(8, 512, 0), 0u);
}

TEST(FreeSpace, LargeDrivesNeitherWrapNorTurnNegative)
{
    // 2^32 free sectors: a 32-bit product wraps to 0 and would report 0K.
    EXPECT_EQ(ComputeFreeKBytes(8, 512, 0x20000000u), 0x80000000u);
    // 2 TB free is above every need, whatever its sign as a 32-bit integer.
    EXPECT_FALSE(DiskSpaceIsShort(0x80000000u, 0x7FFFFFFF));
    // Beyond 0xFFFFFFFF K the result saturates.
    EXPECT_EQ(ComputeFreeKBytes(64, 4096, 0xFFFFFFFFu), 0xFFFFFFFFu);
    EXPECT_EQ(ComputeFreeKBytes(8, 512, 0x40000000u), 0xFFFFFFFFu);
    EXPECT_FALSE(DiskSpaceIsShort(0xFFFFFFFFu, 0x7FFFFFFF));
}

TEST(FreeSpace, TheNeedIsRoundedToTheNearestK)
{
    EXPECT_EQ(NeededKBytes(1536), 2u);
    EXPECT_EQ(NeededKBytes(1535), 1u);
    EXPECT_EQ(NeededKBytes(511), 0u);
    EXPECT_EQ(NeededKBytes(0x7FFFFFFF), 0x200000u);
    EXPECT_TRUE(DiskSpaceIsShort(512, 512 * 1024 + 512));
    EXPECT_FALSE(DiskSpaceIsShort(512, 512 * 1024 + 511));
    EXPECT_FALSE(DiskSpaceIsShort(0, 0));
}

TEST(StartDialogChoice, UpdatesAreOfferedWithinTheVersionRangeByTextComparison)
{
    EXPECT_EQ(ChooseUpgradeDialog("2.10", "2.0", "2.9", Compare), IDD_UPGRADE);
    EXPECT_EQ(ChooseUpgradeDialog("2.0", "2.0", "2.9", Compare), IDD_UPGRADE);
    EXPECT_EQ(ChooseUpgradeDialog("2.9", "2.0", "2.9", Compare), IDD_UPGRADE);
    EXPECT_EQ(ChooseUpgradeDialog("2.9A", "2.0", "2.9a", Compare), IDD_UPGRADE);
    EXPECT_EQ(ChooseUpgradeDialog("1.9", "2.0", "2.9", Compare), IDD_NO_COPY_TO_UPGRADE);
    EXPECT_EQ(ChooseUpgradeDialog("3.0", "2.0", "2.9", Compare), IDD_NO_COPY_TO_UPGRADE);
    EXPECT_EQ(ChooseUpgradeDialog("", "2.0", "2.9", Compare), IDD_NO_COPY_TO_UPGRADE);
}

TEST(StartDialogChoice, EarlierCopyIsNamedByItsVersion)
{
    EXPECT_STREQ(EarlierCopyName("2.0", "1.5", "New", "Old", Compare), "New");
    EXPECT_STREQ(EarlierCopyName("1.5", "1.5", "New", "Old", Compare), "Old");
    EXPECT_STREQ(EarlierCopyName("1.0", "1.5", "New", "Old", Compare), "Old");
    EXPECT_STREQ(EarlierCopyName("1.0", "", "New", "Old", Compare), "New");
}

// The files of a target directory, as the launch asks after them.
const std::set<std::string> TargetFiles = {"APP.EXE", "KIV LAUNCHED.EXE", "My App.exe", "BIN\\TOOL.EXE"};

int InTarget(const char* name, void* asked)
{
    ++*(int*)asked;
    return TargetFiles.count(name) != 0;
}

unsigned Launch(char* b, unsigned size, const char* dir, const char* runFile, int* asked = nullptr)
{
    int count = 0;
    unsigned n = FormLaunchCommand(b, size, dir, runFile, SplitRunFile(runFile, InTarget, &count));
    if (asked) *asked = count;
    return n;
}

TEST(LaunchCommand, TheProgramPathIsQuotedWholeAndNeverCut)
{
    char b[260];
    EXPECT_EQ(Launch(b, sizeof b, "C:\\Program Files\\Kiv Demo\\", "KIVDEMO.EXE"),
              TextLength("\"C:\\Program Files\\Kiv Demo\\KIVDEMO.EXE\""));
    EXPECT_STREQ(b, "\"C:\\Program Files\\Kiv Demo\\KIVDEMO.EXE\"");

    std::string dir = "C:\\" + std::string(240, 'D') + "\\";   // 244 characters
    std::string fits(260 - 1 - 2 - dir.size(), 'F');             // 259 in all
    EXPECT_EQ(Launch(b, sizeof b, dir.c_str(), fits.c_str()), 259u);
    EXPECT_EQ(b[0], '"');
    EXPECT_EQ(b[258], '"');
    std::string tooLong = fits + "X";
    EXPECT_EQ(Launch(b, sizeof b, dir.c_str(), tooLong.c_str()), 0u);
    EXPECT_STREQ(b, "");
    int asked = 0;
    const RunFileParts whole = SplitRunFile(fits.c_str(), InTarget, &asked);
    EXPECT_EQ(FormRunProgramPath(b, sizeof b, dir.c_str(), fits.c_str(), whole), 257u);
    EXPECT_EQ(FormRunProgramPath(b, 257, dir.c_str(), fits.c_str(), whole), 0u);
    EXPECT_STREQ(b, "");
}

TEST(LaunchCommand, AWholeNameThatTheTargetHoldsIsTheProgramElseTheFirstWord)
{
    char b[260];
    const char* dir = "C:\\Program Files\\App\\";
    const struct {
        const char* runFile;
        const char* command;
        const char* program;  // the path FormRunProgramPath gives
        int asked;            // whether the target directory was asked
    } cases[] = {
        {"APP.EXE", "\"C:\\Program Files\\App\\APP.EXE\"", "C:\\Program Files\\App\\APP.EXE", 0},
        {"KIV LAUNCHED.EXE", "\"C:\\Program Files\\App\\KIV LAUNCHED.EXE\"",
         "C:\\Program Files\\App\\KIV LAUNCHED.EXE", 1},
        {"APP.EXE /config \"two words\"", "\"C:\\Program Files\\App\\APP.EXE\" /config \"two words\"",
         "C:\\Program Files\\App\\APP.EXE", 1},
        {"APP.EXE\t-a  b", "\"C:\\Program Files\\App\\APP.EXE\"\t-a  b", "C:\\Program Files\\App\\APP.EXE", 1},
        {"My Other.exe", "\"C:\\Program Files\\App\\My\" Other.exe", "C:\\Program Files\\App\\My", 1},
        {"BIN\\TOOL.EXE --quiet", "\"C:\\Program Files\\App\\BIN\\TOOL.EXE\" --quiet",
         "C:\\Program Files\\App\\BIN\\TOOL.EXE", 1},
        // Its own quotes are taken as they are, whatever the directory holds.
        {"\"My App.exe\" /x \"a b\"", "\"C:\\Program Files\\App\\My App.exe\" /x \"a b\"",
         "C:\\Program Files\\App\\My App.exe", 0},
        {"\"KIV LAUNCHED.EXE\"", "\"C:\\Program Files\\App\\KIV LAUNCHED.EXE\"",
         "C:\\Program Files\\App\\KIV LAUNCHED.EXE", 0},
        {"\"Unclosed App.exe", "\"C:\\Program Files\\App\\Unclosed App.exe\"",
         "C:\\Program Files\\App\\Unclosed App.exe", 0},
    };
    for (const auto& c : cases) {
        int asked = -1;
        EXPECT_EQ(Launch(b, sizeof b, dir, c.runFile, &asked), TextLength(c.command)) << c.runFile;
        EXPECT_STREQ(b, c.command);
        EXPECT_EQ(asked, c.asked) << c.runFile;
        EXPECT_EQ(FormRunProgramPath(b, sizeof b, dir, c.runFile, SplitRunFile(c.runFile, InTarget, &asked)),
                  TextLength(c.program));
        EXPECT_STREQ(b, c.program);
    }
    // Surrounding blanks are no part of a name.
    int asked = 0;
    RunFileParts parts = SplitRunFile("  KIV LAUNCHED.EXE  ", InTarget, &asked);
    EXPECT_EQ(parts.Program, 2u);
    EXPECT_EQ(parts.Length, 16u);
    parts = SplitRunFile("", InTarget, &asked);
    EXPECT_EQ(parts.Length, 0u);
    EXPECT_EQ(parts.Arguments, 0u);
    // Arguments count towards the whole: a command line that does not fit is
    // refused rather than started without its last arguments.
    std::string args = " " + std::string(260 - 1 - 2 - TextLength(dir) - 7 - 1, 'a');  // 259 in all
    EXPECT_EQ(Launch(b, sizeof b, dir, ("APP.EXE" + args).c_str()), 259u);
    EXPECT_EQ(Launch(b, sizeof b, dir, ("APP.EXE" + args + "a").c_str()), 0u);
    EXPECT_STREQ(b, "");
}

TEST(PathPrefixes, EveryDirectoryAlongThePathButNoDrive)
{
    EXPECT_EQ(Prefixes("C:\\A\\B"), (std::vector<std::string>{"C:\\A", "C:\\A\\B"}));
    EXPECT_EQ(Prefixes("C:\\A\\B\\"), (std::vector<std::string>{"C:\\A", "C:\\A\\B", "C:\\A\\B\\"}));
    EXPECT_EQ(Prefixes("C:/A/B"), (std::vector<std::string>{"C:/A", "C:/A/B"}));
    EXPECT_EQ(Prefixes("C:"), std::vector<std::string>{});
    EXPECT_EQ(Prefixes("C:\\"), std::vector<std::string>{"C:\\"});
    EXPECT_EQ(Prefixes("APPS\\X"), (std::vector<std::string>{"APPS", "APPS\\X"}));
}

TEST(PathPrefixes, TheFirstFailureStopsTheWalk)
{
    int result = 0;
    EXPECT_EQ(Prefixes("C:\\A\\B\\C", 1, &result), (std::vector<std::string>{"C:\\A", "C:\\A\\B"}));
    EXPECT_EQ(result, -1);
    EXPECT_EQ(Prefixes("C:\\A\\B\\C", -1, &result).size(), 3u);
    EXPECT_EQ(result, 0);
    std::string tooLong = "C:\\" + std::string(300, 'x');
    EXPECT_EQ(Prefixes(tooLong.c_str(), -1, &result), std::vector<std::string>{});
    EXPECT_EQ(result, -1);
}
