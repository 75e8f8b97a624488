// The seam's output files on POSIX: a target is replaced whole or not at
// all, never written through a link, and no temporary outlives its object.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>
#include "tools/kivpack/os/os.h"

namespace {

namespace os = kivpack::os;

struct Folder {
    std::string path;
    Folder()
    {
        std::string error;
        EXPECT_TRUE(os::MakeTemporaryDirectory("kivpack-test-", path, error)) << error;
    }
    ~Folder() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::vector<std::string> Names() const
    {
        std::vector<os::DirectoryEntry> entries;
        std::string error;
        os::ListDirectory(path, entries, error);
        std::vector<std::string> names;
        for (const auto& e : entries) names.push_back(e.name);
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string Read(const std::string& name) const
    {
        std::vector<uint8_t> bytes;
        std::string error;
        if (!os::ReadWholeFile(path + "/" + name, bytes, error)) return "<" + error + ">";
        return std::string(bytes.begin(), bytes.end());
    }
};

void Write(const std::string& path, const std::string& text)
{
    std::string error;
    ASSERT_TRUE(os::WriteWholeFile(path, text.data(), text.size(), error)) << error;
}

TEST(OutputFile, ReplacesTheTargetOnlyOnCommitAndLeavesNoTemporary)
{
    Folder f;
    std::string target = f.path + "/out.bin", error;
    Write(target, "old");
    {
        os::OutputFile out(target);
        ASSERT_TRUE(out.Open(error)) << error;
        ASSERT_TRUE(out.Write("new ", 4, error));
        EXPECT_EQ(f.Read("out.bin"), "old");  // streamed parts are not the target yet
        EXPECT_EQ(f.Names().size(), 2u);
        ASSERT_TRUE(out.Write("bytes", 5, error));
        ASSERT_TRUE(out.Commit(error)) << error;
    }
    EXPECT_EQ(f.Read("out.bin"), "new bytes");
    EXPECT_EQ(f.Names(), std::vector<std::string>{"out.bin"});
    {
        os::OutputFile abandoned(target);
        ASSERT_TRUE(abandoned.Open(error));
        ASSERT_TRUE(abandoned.Write("half", 4, error));
    }  // destroyed without Commit
    EXPECT_EQ(f.Read("out.bin"), "new bytes");
    EXPECT_EQ(f.Names(), std::vector<std::string>{"out.bin"});
    os::OutputFile discarded(target);
    ASSERT_TRUE(discarded.Open(error));
    discarded.Discard();
    EXPECT_FALSE(discarded.Commit(error));
    EXPECT_EQ(f.Names(), std::vector<std::string>{"out.bin"});
    // The mode is a new file's under the umask, not the temporary's 0600.
    mode_t mask = umask(022);
    Write(target, "x");
    umask(mask);
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(OutputFile, NeverWritesThroughALinkAndReportsFailures)
{
    Folder f;
    std::string error;
    Write(f.path + "/victim", "keep");
    ASSERT_EQ(symlink((f.path + "/victim").c_str(), (f.path + "/link").c_str()), 0);
    Write(f.path + "/link", "replaced");
    EXPECT_EQ(f.Read("victim"), "keep");
    os::FileStatus st;
    ASSERT_TRUE(os::Status(f.path + "/link", st));
    EXPECT_FALSE(st.link);
    EXPECT_TRUE(st.regular);
    EXPECT_EQ(f.Read("link"), "replaced");

    // No folder for the target: nothing is made, the message names the target.
    std::string missing = f.path + "/none/out.bin";
    EXPECT_FALSE(os::WriteWholeFile(missing, "x", 1, error));
    EXPECT_EQ(error.rfind(missing + ": ", 0), 0u) << error;
    // A target that is a folder: the temporary goes again.
    ASSERT_TRUE(os::MakeDirectory(f.path + "/dir", error));
    ASSERT_TRUE(os::MakeDirectory(f.path + "/dir", error)) << "an existing folder is success";
    EXPECT_FALSE(os::WriteWholeFile(f.path + "/dir", "x", 1, error));
    EXPECT_EQ(f.Names(), (std::vector<std::string>{"dir", "link", "victim"}));
}

TEST(OsPaths, SplitAndJoinByTheSystemsSeparators)
{
    EXPECT_EQ(os::DirectoryOf("/a/b/c.txt"), "/a/b/");
    EXPECT_EQ(os::DirectoryOf("c.txt"), "");
    EXPECT_EQ(os::BaseName("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(os::JoinPath("/a", "b"), "/a/b");
    EXPECT_EQ(os::JoinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(os::JoinPath("", "b"), "b");
    EXPECT_TRUE(os::IsAbsolute("/x"));
    EXPECT_FALSE(os::IsAbsolute("x/y"));
    EXPECT_FALSE(os::IsSeparator('\\'));  // a name character on POSIX
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    EXPECT_EQ(os::AbsolutePath("no-such-file"), std::string(cwd) + "/no-such-file");
    std::tm t;
    ASSERT_TRUE(os::CalendarTime(86400 * 365, false, t));
    EXPECT_EQ(t.tm_year, 71);
}

// Both ways of starting a program give it kivpack's environment with the
// caller's variables put over it (replaced, never doubled), no input, and
// report how it ended.
TEST(OsPrograms, EnvironmentInputAndEndings)
{
    Folder folder;
    setenv("KIV_OS_TEST_SHADOWED", "kivpack's", 1);
    const std::string script =
        "printf '%s|%s|' \"$KIV_OS_TEST_SHADOWED\" \"$KIV_OS_TEST_ADDED\"; "
        "env | grep -c '^KIV_OS_TEST_SHADOWED=' | tr -d '\\n'; printf '|'; cat; echo end";
    const std::vector<std::string> environment = {"KIV_OS_TEST_SHADOWED=caller's", "KIV_OS_TEST_ADDED=a=b"};

    int code = -2;
    std::string output, error;
    bool missing = true;
    ASSERT_TRUE(os::RunProgram({"sh", "-c", "{ " + script + "; } >&2; exit 3"}, environment, code, output, missing, error)) << error;
    EXPECT_FALSE(missing);
    EXPECT_EQ(code, 3);
    EXPECT_EQ(output, "caller's|a=b|1|end\n");  // the error output is collected too
    EXPECT_FALSE(os::RunProgram({"kiv-no-such-program"}, {}, code, output, missing, error));
    EXPECT_TRUE(missing);

    long pid = 0;
    const std::string file = folder.path + "/out";
    ASSERT_TRUE(os::StartProgram({"sh", "-c", "{ " + script + "; } >'" + file + "'; echo shown; exit 5"}, environment, true, pid,
                                 error))
        << error;
    long ended = pid;
    ASSERT_TRUE(os::WaitProgram(ended, code));
    EXPECT_EQ(ended, pid);
    EXPECT_EQ(code, 5);
    EXPECT_EQ(folder.Read("out"), "caller's|a=b|1|end\n");
    ASSERT_TRUE(os::StartProgram({"sh", "-c", "kill -TERM $$"}, {}, true, pid, error)) << error;
    ASSERT_TRUE(os::WaitProgram(pid, code));
    EXPECT_EQ(code, 128 + 15);
    EXPECT_FALSE(os::WaitProgram(pid = -1, code));  // none is left
    EXPECT_FALSE(os::StartProgram({"kiv-no-such-program"}, {}, true, pid, error));
    EXPECT_NE(error.find("kiv-no-such-program"), std::string::npos);
    EXPECT_STREQ(getenv("KIV_OS_TEST_SHADOWED"), "kivpack's");  // kivpack's own is untouched
    EXPECT_EQ(getenv("KIV_OS_TEST_ADDED"), nullptr);
    unsetenv("KIV_OS_TEST_SHADOWED");
}

} // namespace
