// The help compiler and reader: sources compiled and read back, faulty
// sources, a file of another writer, damaged files, and the starting source.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>
#include "tools/kivpack/help/help_file.h"
#include <sys/wait.h>
#include <unistd.h>
#include "ui/dialog_help.h"

namespace {

using namespace kivpack::help;

struct ExpectedTopic {
    uint32_t context;
    std::string title;
    std::vector<std::string> marked;  // paragraphs as written
    std::vector<std::string> plain;   // and as displayed
};

std::string Join(const std::vector<std::string>& parts)
{
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : "\n\n") + p;
    return out;
}

HelpDocument CompileAndRead(const std::string& source, std::vector<uint8_t>& file)
{
    std::vector<std::string> errors;
    EXPECT_TRUE(CompileHelpSource(source, "test.hlpsrc", file, errors)) << (errors.empty() ? "" : errors[0]);
    HelpDocument doc;
    std::string error;
    EXPECT_TRUE(ReadHelpFile(file.data(), file.size(), doc, error)) << error;
    return doc;
}

// A source of several hundred topics with code page 1252 text, styles,
// escapes, jumps forward and back, and one topic of about 40 KB, which
// spans many 4 KB topic blocks.
TEST(HelpFile, CompiledSourceReadsBackTopicForTopic)
{
    const std::string title = "Caf\xE9 \xABHelp\xBB";
    std::vector<ExpectedTopic> expected;
    const int count = 400;
    for (int i = 0; i < count; ++i) {
        ExpectedTopic t;
        t.context = i == 0 ? 0 : (i == 1 ? 2147483647u : uint32_t(256 + i * 13));
        t.title = "Topic " + std::to_string(i) + " \xE0\xE9\xEE\xF5\xFC\x80";
        expected.push_back(t);
    }
    for (int i = 0; i < count; ++i) {
        ExpectedTopic& t = expected[i];
        uint32_t next = expected[(i + 1) % count].context, back = expected[(i + count - 1) % count].context;
        int paragraphs = i == 7 ? 400 : 1 + i % 3;
        for (int p = 0; p < paragraphs; ++p) {
            std::string n = std::to_string(p);
            t.marked.push_back("Paragraph " + n + " with **bold \xDF** and *italic \xE6*, [a jump on](" +
                               std::to_string(next) + ") and [**back**](" + std::to_string(back) +
                               "), \\*stars\\*, \\[brackets\\] and a \\\\ backslash.");
            t.plain.push_back("Paragraph " + n + " with bold \xDF and italic \xE6, a jump on and back, "
                              "*stars*, [brackets] and a \\ backslash.");
        }
        if (i % 50 == 0) {  // a topic with its title only
            t.marked.clear();
            t.plain.clear();
        }
    }
    std::string source = "% " + title + "\n";
    for (const ExpectedTopic& t : expected) {
        source += "\n# " + std::to_string(t.context) + "   " + t.title + "  \n";
        for (const std::string& p : t.marked) source += "\n" + p + "\n";
    }
    // A paragraph written over several lines is one paragraph.
    source += "\n# 5 Lines\n\nOne paragraph\n   over three\t\r\nlines.\r\n\n\n\nAnd **another\none**.\n";
    expected.push_back({5, "Lines", {"One paragraph over three lines.", "And **another one**."},
                        {"One paragraph over three lines.", "And another one."}});

    std::vector<uint8_t> file;
    HelpDocument doc = CompileAndRead(source, file);
    EXPECT_EQ(doc.title, title);
    ASSERT_EQ(doc.topics.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("topic " + std::to_string(i));
        EXPECT_EQ(doc.topics[i].context, expected[i].context);
        EXPECT_EQ(doc.topics[i].title, expected[i].title);
        EXPECT_EQ(doc.topics[i].marked, Join(expected[i].marked));
        EXPECT_EQ(doc.topics[i].text, Join(expected[i].plain));
    }
    EXPECT_GT(doc.topics[7].text.size(), 10u * 3630u);  // ten blocks of text or more
    EXPECT_GT(file.size(), 40u * 4096u);

    // What was read, written as source again, is the same file byte for byte.
    std::vector<uint8_t> again;
    std::vector<std::string> errors;
    ASSERT_TRUE(CompileHelpSource(HelpSourceFromDocument(doc), "again", again, errors));
    EXPECT_EQ(again, file);
}

TEST(HelpFile, FaultsNameTheLineAndWriteNothing)
{
    const std::string source =
        "Text before any topic.\n"            // 1
        "% Title\n"                            // 2
        "# 10 First\n"                         // 3
        "\n"                                   // 4
        "See [the second](20) and [none](99).\n"  // 5
        "# 10 Again\n"                         // 6
        "# 11\n"                               // 7
        "# 2147483648 Too large\n"             // 8
        "# x12 Not a number\n"                 // 9
        "Some **bold that never ends.\n"       // 10
        "\n"                                   // 11
        "# 20 Second\n"                        // 12
        "Half a [jump.\n"                      // 13
        "\n"                                   // 14
        "A [jump](without a number).\n"        // 15
        "% Second title\n"                     // 16
        "\n"                                   // 17
        "Ctrl\x01 char.\n"                     // 18
        "\n"                                   // 19
        "*open italic\n";                      // 20
    std::vector<uint8_t> out{1, 2, 3};
    std::vector<std::string> errors;
    EXPECT_FALSE(CompileHelpSource(source, "help.src", out, errors));
    EXPECT_TRUE(out.empty());
    const std::vector<std::string> expected = {
        "help.src:1: text before the first topic",
        "help.src:6: help context 10 is used twice (first at line 3)",
        "help.src:7: topic 11 has no title",
        "help.src:8: a help context is a number from 0 to 2147483647",
        "help.src:9: '#' must be followed by a help context number",
        "help.src:10: '**' starts bold text that is not closed",
        "help.src:13: '[' starts a jump that is not closed",
        "help.src:15: a jump's ']' must be followed by (NUMBER)",
        "help.src:16: a second title for the help file",
        "help.src:18: a control character",
        "help.src:20: '*' starts italic text that is not closed",
        "help.src:5: a jump to help context 99, which no topic has",
    };
    ASSERT_EQ(errors.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(errors[i].rfind(expected[i], 0), 0u) << errors[i] << "\n  expected: " << expected[i];

    errors.clear();
    EXPECT_FALSE(CompileHelpSource("# 1 Topic\n\nText.\n", "notitle", out, errors));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("notitle:1: the help file has no title", 0), 0u) << errors[0];
    errors.clear();
    EXPECT_FALSE(CompileHelpSource("%\n# 1 Topic\n", "empty", out, errors));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("empty:1: the help file's title is missing", 0), 0u) << errors[0];
    errors.clear();
    EXPECT_FALSE(CompileHelpSource("% Title\n", "none", out, errors));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("none:1: the help file has no topic", 0), 0u) << errors[0];
}

// A file written by halibut, which maps no context numbers and puts each
// topic's heading in a region of its own (data/halibut_sample.but is its
// source).
TEST(HelpFile, ReadsAFileOfAnotherWriter)
{
    std::ifstream in(std::string(KIV_SOURCE_DIR) + "/tests/unit/data/halibut_sample.hlp", std::ios::binary);
    ASSERT_TRUE(in);
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    HelpDocument doc;
    std::string error;
    ASSERT_TRUE(ReadHelpFile(file.data(), file.size(), doc, error)) << error;
    EXPECT_EQ(doc.title, "Sample Manual");
    ASSERT_EQ(doc.topics.size(), 3u);
    EXPECT_EQ(doc.topics[0].title, "Contents");
    EXPECT_EQ(doc.topics[0].text, "Sample Manual\n\nChapter 1: Introduction\n\nChapter 2: Usage");
    EXPECT_EQ(doc.topics[1].title, "Chapter 1: Introduction");
    EXPECT_EQ(doc.topics[1].text,
              "This manual has emphasis and strong text, and a cross-reference to chapter 2.\n\nA second paragraph.");
    EXPECT_EQ(doc.topics[1].marked,
              "This manual has *emphasis* and **strong** text, and a cross-reference to chapter 2.\n\nA second paragraph.");
    EXPECT_EQ(doc.topics[2].title, "Chapter 2: Usage");
    EXPECT_EQ(doc.topics[2].text, "Run the program.");
    for (const HelpTopic& t : doc.topics) EXPECT_EQ(t.context, 0u);
}

TEST(HelpFile, DamagedFilesGiveAReasonNotACrash)
{
    std::string source = "% Damage\n";
    for (int i = 0; i < 60; ++i)
        source += "\n# " + std::to_string(i + 1) + " Topic " + std::to_string(i) + "\n\nSome **text** of [topic](" +
                  std::to_string(60 - i) + ") " + std::to_string(i) + std::string(i * 5, 'x') + ".\n";
    std::vector<uint8_t> file;
    HelpDocument doc = CompileAndRead(source, file);
    ASSERT_EQ(doc.topics.size(), 60u);

    std::string error;
    EXPECT_FALSE(ReadHelpFile(nullptr, 0, doc, error));
    EXPECT_EQ(error, "not a Windows Help file (no help file signature)");
    const std::string text = "plain text, not help";
    EXPECT_FALSE(ReadHelpFile(reinterpret_cast<const uint8_t*>(text.data()), text.size(), doc, error));

    // Every cut of the file loses its directory, which comes last.
    for (size_t cut = 0; cut < file.size(); cut += 97) {
        error.clear();
        EXPECT_FALSE(ReadHelpFile(file.data(), cut, doc, error)) << cut;
        EXPECT_FALSE(error.empty()) << cut;
    }
    // Bytes changed anywhere: the reader answers, one way or the other, and a
    // failure always has a reason.
    size_t failures = 0;
    for (size_t at = 0; at < file.size(); at += 11) {
        for (uint8_t value : {uint8_t(0x00), uint8_t(0xFF), uint8_t(file[at] ^ 0x81)}) {
            std::vector<uint8_t> damaged = file;
            damaged[at] = value;
            error.clear();
            if (!ReadHelpFile(damaged.data(), damaged.size(), doc, error)) {
                ++failures;
                EXPECT_FALSE(error.empty()) << at;
            }
        }
    }
    EXPECT_GT(failures, 0u);
}

TEST(HelpFile, TemplateHasATopicForEveryHelpContextAndCompiles)
{
    std::set<uint32_t> wanted = {HelpBeingInstalledIn, HelpUsedForDisks, HelpReadmeTopic};
    for (unsigned i = 0; i < DialogHelpTableSize; ++i)
        if (DialogHelpTable[i].HelpContext != NoHelpContext && DialogHelpTable[i].HelpContext != 0)
            wanted.insert(DialogHelpTable[i].HelpContext);
    EXPECT_EQ(wanted.size(), 23u);
    std::vector<uint8_t> file;
    HelpDocument doc = CompileAndRead(HelpTemplateSource(), file);
    std::set<uint32_t> found;
    for (const HelpTopic& t : doc.topics) {
        found.insert(t.context);
        EXPECT_FALSE(t.title.empty());
        EXPECT_EQ(t.text.find("This "), 0u) << t.context;
    }
    EXPECT_EQ(found, wanted);
    EXPECT_EQ(doc.topics.front().title, "Drive does not exist");
}

// kivpack helpfile on the command line: exit codes, messages, and no output
// file where a source is faulty.
TEST(HelpFile, CommandLine)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("kiv-helpfile-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    auto run = [&](const std::string& args) {
        std::string command = std::string(KIV_KIVPACK) + " helpfile " + args + " >" + (dir / "out").string() +
                              " 2>" + (dir / "err").string();
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    auto read = [&](const char* name) {
        std::ifstream in(dir / name, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    const std::string good = (dir / "good.txt").string(), bad = (dir / "bad.txt").string();
    const std::string hlp = (dir / "out.hlp").string();
    std::ofstream(good) << "% Command line\n\n# 3904 Read me\n\nSome **text** and a [jump](3904).\n";
    std::ofstream(bad) << "% Command line\n# 1 One\n# 1 Again\n";

    EXPECT_EQ(run(good + " -o " + hlp), 0);
    EXPECT_EQ(run("--dump " + hlp), 0);
    EXPECT_EQ(read("out"), "% Command line\n\n# 3904 Read me\n\nSome **text** and a [jump](3904).\n");

    EXPECT_EQ(run(bad + " -o " + (dir / "bad.hlp").string()), 1);
    EXPECT_EQ(read("err"), bad + ":3: help context 1 is used twice (first at line 2)\n");
    EXPECT_FALSE(fs::exists(dir / "bad.hlp"));
    EXPECT_EQ(run("--dump " + good), 1);
    EXPECT_EQ(read("err"), good + ": not a Windows Help file (no help file signature)\n");

    EXPECT_EQ(run(""), 2);
    EXPECT_EQ(run(good), 2);  // no -o
    EXPECT_EQ(run(good + " --dump " + hlp), 2);
    EXPECT_EQ(run("--frobnicate"), 2);

    EXPECT_EQ(run("--template -o " + (dir / "template.txt").string()), 0);
    EXPECT_EQ(read("template.txt"), HelpTemplateSource());
    EXPECT_EQ(run("--help"), 0);
    EXPECT_NE(read("out").find("kivpack helpfile --dump FILE.HLP"), std::string::npos);
    fs::remove_all(dir);
}

} // namespace
