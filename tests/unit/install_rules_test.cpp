// kivpack's reading of the names a script gives the installer: where a name
// below a directory lands as Windows resolves it, the groups and files that
// belong to everyone, and the [Run] value split into program and arguments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/kivpack/lint/install_rules.h"

namespace {

using lint::ResolveBelow;

std::string Joined(const lint::ResolvedName& r)
{
    std::string out = r.climbsOut ? "^" : "";
    for (const std::string& p : r.parts) out += "/" + p;
    return out;
}

TEST(InstallRules, NamesResolveAsWindowsResolvesThem)
{
    const struct {
        const char* name;
        const char* resolved;  // "^" first: some prefix lies above the directory
    } cases[] = {
        {"README.TXT", "/README.TXT"},
        {"DOCS\\README.TXT", "/DOCS/README.TXT"},
        {"a/b\\\\c", "/a/b/c"},
        {".\\A\\.\\B", "/A/B"},
        {"A\\..\\B", "/B"},
        {"SUB.\\X.TXT", "/SUB/X.TXT"},
        {"SUB \\X", "/SUB/X"},
        {"..\\VICTIM1.TXT", "^/VICTIM1.TXT"},
        {"a/../../VICTIM3.TXT", "^/VICTIM3.TXT"},
        {"x/../../VICTIM.INI", "^/VICTIM.INI"},
        {"A\\B\\..\\..\\C", "/C"},
        {"A\\...\\X", "^/X"},   // Windows 95 reads ... as ..\..
        {"A\\B\\...\\X", "/X"},
        {".. \\X", "^/X"},
        {"..", "^"},
        {"A..B\\C", "/A..B/C"},
    };
    for (const auto& c : cases) EXPECT_EQ(Joined(ResolveBelow(c.name)), c.resolved) << c.name;
    EXPECT_TRUE(ResolveBelow("A\\B\\..\\C").goesUp);
    EXPECT_FALSE(ResolveBelow("A..B\\.\\C").goesUp);
    EXPECT_TRUE(lint::SamePath(ResolveBelow("Data\\Sub.\\").parts, ResolveBelow("DATA/SUB").parts));
    EXPECT_FALSE(lint::SamePath(ResolveBelow("DATA").parts, ResolveBelow("DATA\\SUB").parts));
    EXPECT_TRUE(lint::SamePath(ResolveBelow("\xC9T\xC9").parts, ResolveBelow("\xE9t\xE9").parts));  // 1252 letters
}

TEST(InstallRules, SharedGroupsAndSystemFilesAreKnownByAnySpelling)
{
    EXPECT_EQ(lint::SharedGroup("StartUp"), "StartUp");
    EXPECT_EQ(lint::SharedGroup(" startup "), "StartUp");
    EXPECT_EQ(lint::SharedGroup("Tools\\..\\Startup"), "StartUp");
    EXPECT_EQ(lint::SharedGroup("accessories/games"), "Accessories\\Games");
    EXPECT_EQ(lint::SharedGroup("Administrative Tools"), "Administrative Tools");
    EXPECT_EQ(lint::SharedGroup("System Tools\\"), "System Tools");
    for (const char* own : {"HarborLog", "Games\\HarborLog", "StartUp Tools", "My Accessories", ""})
        EXPECT_EQ(lint::SharedGroup(own), "") << own;

    EXPECT_EQ(lint::SystemFile("win.ini"), "WIN.INI");
    EXPECT_EQ(lint::SystemFile("C:\\WINDOWS\\SYSTEM.INI"), "SYSTEM.INI");
    EXPECT_EQ(lint::SystemFile("..\\..\\AUTOEXEC.BAT"), "AUTOEXEC.BAT");
    EXPECT_EQ(lint::SystemFile("C:MSDOS.SYS"), "MSDOS.SYS");
    for (const char* own : {"HARBOR.INI", "WIN.INI.BAK", "MYWIN.INI", ""}) EXPECT_EQ(lint::SystemFile(own), "") << own;
}

} // namespace
