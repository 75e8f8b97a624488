// kivpack script's install script for a directory tree: what it writes for
// a product, how it splits key lists and folders at the installer's limits,
// and the names it refuses.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "tools/kivpack/tree_script.h"

namespace {

ProductFacts Facts()
{
    ProductFacts f;
    f.name = "Hello";
    f.version = "1.0";
    f.programs = {{"bin/hello.exe", "Hello World"}};
    f.readme = "Read *me* [now]\n";
    f.license = "Free to use.";
    return f;
}

std::string Fails(const std::vector<TreeEntry>& entries, ProductFacts facts = Facts())
{
    TreeScript out;
    std::string error;
    EXPECT_FALSE(MakeTreeScript(entries, facts, out, error));
    return error;
}

bool Works(const std::vector<TreeEntry>& entries, const ProductFacts& facts)
{
    TreeScript out;
    std::string error;
    bool ok = MakeTreeScript(entries, facts, out, error);
    EXPECT_TRUE(ok) << error;
    return ok;
}

TEST(TreeScript, InstallsEveryFileAndFolderWithGroupRunAndUninstaller)
{
    std::vector<TreeEntry> tree = {{"bin/hello.exe", false, 1000}, {"bin", true, 4096}, {"docs/a/b", true, 0},
                                   {"README.txt", false, 20},      {"docs", true, 0},   {"docs/a", true, 0},
                                   {"docs/a/guide.txt", false, 5}};
    TreeScript out;
    std::string error;
    ASSERT_TRUE(MakeTreeScript(tree, Facts(), out, error)) << error;
    const std::string& s = out.script;
    for (const char* line : {"HelpFileName=KIVSETUP.HLP\r\n", "Caption=Hello Setup\r\n", "ProductVersion=1.0\r\n",
                             "DefaultTargetDir=C:\\Program Files\\Hello\r\n", "UninstallName=Hello 1.0\r\n",
                             "TotalDisks=1\r\n", "DiskSpace=1025\r\n", "GroupName=Hello\r\n",
                             "bin\\hello.exe=Hello World\r\n", "File=bin\\hello.exe\r\n", "Name=Hello World\r\n",
                             "Message=Do you want to start Hello World now?\r\n", "DiskName=Hello Disk 1\r\n"})
        EXPECT_NE(s.find(line), std::string::npos) << line;
    // Parents first; files in path order; the uninstaller last.
    EXPECT_NE(s.find("Subdirectory1=bin\r\nSubdirectory2=docs\r\nSubdirectory3=docs\\a\r\n"
                     "Subdirectory4=docs\\a\\b\r\n"),
              std::string::npos);
    EXPECT_NE(s.find("README.txt=Target\r\nbin\\hello.exe=Target\r\ndocs\\a\\guide.txt=Target\r\n"
                     "UNINST.EXE=Target,Uninstaller\r\n"),
              std::string::npos);
    EXPECT_EQ(out.files, 3u);
    EXPECT_EQ(out.disks, 1u);
    // The readme topic: the texts, their marks escaped; no placeholder left.
    EXPECT_NE(out.helpSource.find("# 3904 About Hello\n\nRead \\*me\\* \\[now\\]\n\n\nFree to use."),
              std::string::npos);
    EXPECT_NE(out.helpSource.find("% Hello Setup Help\n"), std::string::npos);
    EXPECT_EQ(out.helpSource.find("Replace this text"), std::string::npos);
}

TEST(TreeScript, SplitsKeyListsAtTheInstallersLimitAndFoldersAtItsCount)
{
    // Each key "F/NNNN-...=" of 100 characters: 4,096 - 9 for DiskName
    // leaves room for 40 keys of 101 bytes with their zeros (and the list's
    // final zero); the 41st starts disk 2.
    std::vector<TreeEntry> tree = {{"F", true, 0}};
    for (int i = 0; i < 81; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "%04d", i);
        tree.push_back({"F/" + std::string(name) + std::string(94, 'x'), false, 1});
    }
    TreeScript out;
    std::string error;
    ProductFacts noPrograms = Facts();
    noPrograms.programs.clear();
    ASSERT_TRUE(MakeTreeScript(tree, noPrograms, out, error)) << error;
    EXPECT_EQ(out.disks, 3u);  // 40 + 40 + 1 files and the uninstaller
    size_t disk2 = out.script.find("[Disk 2]"), disk3 = out.script.find("[Disk 3]");
    ASSERT_NE(disk3, std::string::npos);
    EXPECT_NE(out.script.find("F\\0039", 0), std::string::npos);
    EXPECT_LT(out.script.find("F\\0039"), disk2);
    EXPECT_GT(out.script.find("F\\0040"), disk2);
    EXPECT_GT(out.script.find("F\\0080"), disk3);
    EXPECT_NE(out.script.find("TotalDisks=3\r\n"), std::string::npos);

    // 40 folders are more than the installer makes: the 33 without
    // subfolders are listed instead, their parents made with them.
    std::vector<TreeEntry> folders;
    for (int i = 0; i < 7; ++i) folders.push_back({"P" + std::to_string(i), true, 0});
    for (int i = 0; i < 33; ++i) folders.push_back({"P" + std::to_string(i % 7) + "/L" + std::to_string(i), true, 0});
    EXPECT_NE(Fails(folders, noPrograms).find("33 folders without subfolders; the installer creates at most 32"),
              std::string::npos);
    folders.pop_back();
    ASSERT_TRUE(MakeTreeScript(folders, noPrograms, out, error)) << error;
    EXPECT_NE(out.script.find("Subdirectory32=P6\\L6\r\n"), std::string::npos);
    EXPECT_EQ(out.script.find("Subdirectory33"), std::string::npos);
    EXPECT_EQ(out.script.find("=P0\r\n"), std::string::npos);
}

TEST(TreeScript, RefusesWhatTheInstallerCannotInstall)
{
    ProductFacts none = Facts();
    none.programs.clear();
    EXPECT_NE(Fails({{"a/" + std::string(254, 'n'), false, 1}, {"a", true, 0}}, none)
                  .find("has 256 characters, and the installer holds at most 255"),
              std::string::npos);
    EXPECT_TRUE(Works({{std::string(255, 'n'), false, 1}}, none));
    EXPECT_NE(Fails({{"Read.me", false, 1}, {"READ.ME", false, 1}}, none).find("differ only in letter case"),
              std::string::npos);
    EXPECT_NE(Fails({{"Docs", true, 0}, {"docs", false, 1}}, none).find("differ only in letter case"),
              std::string::npos);
    for (const char* bad : {"a:b", "a?", "q\"", "x|y", "trail.", "trail ", " lead", "k=v", ";comment", "[sec]",
                            "NUL", "con.txt", "COM1", "lpt9.log", "tab\t", "gr\xc3\xb6\xc3\x9f" "e"})
        EXPECT_NE(Fails({{bad, false, 1}}, none).find("cannot be installed"), std::string::npos) << bad;
    EXPECT_TRUE(Works({{"sub/;ok", false, 1}, {"sub", true, 0}, {"COM10", false, 1}, {"a[b]", false, 1}}, none));
    EXPECT_NE(Fails({{"big", false, 0x80000000ull}}, none).find("installs at most 2147483647"), std::string::npos);
    EXPECT_NE(Fails({{"bin/other.exe", false, 1}, {"bin", true, 0}}).find("'bin/hello.exe' is not a file of the tree"),
              std::string::npos);
    ProductFacts longName = none;
    longName.name = std::string(60, 'N');
    EXPECT_NE(Fails({}, longName).find("the caption"), std::string::npos);
}

} // namespace
