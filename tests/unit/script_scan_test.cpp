// kivpack's own reading of a script's lines against the profile reader that
// the loader uses: on every file of the profile corpus, each key the scan
// says is read gives the value the profile reader gives, and each section's
// key list is the same. Then the conversion of script text to code page 1252.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/host/host_platform.h"
#include "platform/platform.h"
#include "tools/kivpack/lint/script_scan.h"
#include "tools/kivpack/text_encoding.h"

namespace {

const char* const kScript = "/virtual/scan.ini";

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

TEST(ScriptScan, AgreesWithTheProfileReaderOnTheCorpus)
{
    unsigned files = 0, keys = 0;
    for (auto& entry : std::filesystem::directory_iterator(std::string(KIV_SOURCE_DIR) + "/tests/e2e/profile_corpus")) {
        if (entry.path().extension() != ".ini") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string ansi;
        TextConversion info;
        if (!ConvertToAnsi(bytes, ansi, info)) continue;  // the scan reads what kivpack packs
        HostResetPlatform();
        std::string fed = info.encoding == SourceEncoding::Utf16 ? std::string(bytes.begin(), bytes.end()) : ansi;
        HostSetMemoryFile(kScript, fed.data(), fed.size());
        lint::ScriptScan scan = lint::ScanScript(ansi);
        ++files;
        for (const lint::ScanSection& section : scan.sections) {
            if (section.name.empty() || section.shadowed) continue;
            std::vector<char> list(1 << 17);
            ProfileReadString(section.name.c_str(), nullptr, "", list.data(), (unsigned)list.size(), kScript);
            // An empty name in a key list reads as the list's end.
            std::string expected;
            bool listEnded = false;
            for (const lint::ScanKey& key : section.keys) {
                if (!key.hasValue || (!key.name.empty() && key.name[0] == ';')) continue;
                listEnded = listEnded || key.name.empty();
                if (!listEnded) expected += key.name + '|';
                if (key.shadowed || key.name.empty()) continue;
                std::vector<char> value(1 << 17);
                ProfileReadString(section.name.c_str(), key.name.c_str(), "\x01", value.data(), (unsigned)value.size(),
                                  kScript);
                std::string read = value.data();
                EXPECT_TRUE(read == key.value) << entry.path().filename() << " [" << section.name << "] " << key.name
                                               << " line " << key.line << ": " << read.size() << " characters read, "
                                               << key.value.size() << " scanned";
                ++keys;
            }
            std::string listed;
            for (const char* k = list.data(); *k; k += std::strlen(k) + 1) listed += std::string(k) + '|';
            EXPECT_EQ(listed, expected) << entry.path().filename() << " [" << section.name << "]";
        }
    }
    HostResetPlatform();
    EXPECT_GE(files, 25u);
    EXPECT_GE(keys, 100u);
}

TEST(ScriptScan, LinesSectionsAndNearNames)
{
    lint::ScriptScan scan = lint::ScanScript(
        "; comment\r\n[Basic Information]\r\n  Caption = 'Demo' \r\nnoequals\r\n\r\n[basic information]\r\n"
        "Caption=Second\n[Disk 1]\rDiskName=D\rcaption=x\rCAPTION=y\r");
    EXPECT_EQ(scan.LineOf("BASIC INFORMATION", "caption"), 3u);
    EXPECT_EQ(scan.FindKey("Basic Information", "Caption")->value, "Demo");
    EXPECT_EQ(scan.LineOf("Basic Information", "Missing"), 2u);   // the header
    EXPECT_EQ(scan.LineOf("No Such Section", "Caption"), 0u);
    ASSERT_EQ(scan.sections.size(), 4u);
    EXPECT_TRUE(scan.sections[2].shadowed);                        // the second [basic information], line 6
    EXPECT_EQ(scan.sections[2].line, 6u);
    EXPECT_FALSE(scan.sections[1].keys[1].hasValue);               // "noequals"
    EXPECT_EQ(scan.LineOf("Disk 1", "DiskName"), 9u);              // lone CRs end lines too
    EXPECT_TRUE(scan.sections[3].keys[2].shadowed);                // CAPTION after caption
    EXPECT_EQ(scan.sections[3].keys[2].line, 11u);

    EXPECT_EQ(lint::NearestName("Traget", {"Target", "Windows", "System", "System32", "Fonts"}), "Target");
    EXPECT_EQ(lint::NearestName("Subdirectry2", {"Subdirectory2"}), "Subdirectory2");
    EXPECT_EQ(lint::NearestName("Program Manager Groups", {"Program Manager Group", "Old Program Manager Groups"}),
              "Program Manager Group");
    EXPECT_EQ(lint::NearestName("Zebra", {"Target", "Windows"}), "");     // nothing close
    EXPECT_EQ(lint::NearestName("target", {"Target"}), "");               // the same name is no slip
}

TEST(TextEncoding, Utf8MarksAndCodePage1252)
{
    std::string ansi;
    TextConversion info;
    ASSERT_TRUE(ConvertToAnsi(Bytes("\xEF\xBB\xBF[A]\r\nK=f\xC3\xBCr \xE2\x82\xAC 5\r\n"), ansi, info));
    EXPECT_EQ(ansi, "[A]\r\nK=f\xFCr \x80 5\r\n");
    EXPECT_EQ(info.encoding, SourceEncoding::Utf8);
    EXPECT_TRUE(info.droppedMark);

    // Not UTF-8 (a lone 0xFC): code page 1252 already, kept byte for byte.
    ASSERT_TRUE(ConvertToAnsi(Bytes("K=f\xFCr\n"), ansi, info));
    EXPECT_EQ(ansi, "K=f\xFCr\n");
    EXPECT_EQ(info.encoding, SourceEncoding::Ansi);
    EXPECT_FALSE(info.droppedMark);

    // A character code page 1252 lacks, on line 3 (CR LF, LF and CR count once each).
    EXPECT_FALSE(ConvertToAnsi(Bytes("[A]\r\nK=1\nN=\xD0\x96\r"), ansi, info));
    EXPECT_EQ(info.badLine, 3u);
    EXPECT_NE(info.problem.find("U+0416"), std::string::npos) << info.problem;

    // A mark followed by text that is not UTF-8 is refused, not guessed at.
    EXPECT_FALSE(ConvertToAnsi(Bytes("\xEF\xBB\xBF[A]\nK=\xFC\n"), ansi, info));
    EXPECT_EQ(info.badLine, 2u);

    // UTF-16 is left to the profile reader; the copy for reading is narrowed.
    ASSERT_TRUE(ConvertToAnsi(Bytes(std::string("\xFF\xFEK\0=\0\xFC\0", 8)), ansi, info));
    EXPECT_EQ(info.encoding, SourceEncoding::Utf16);
    EXPECT_EQ(ansi, "K=\xFC");

    EXPECT_EQ(TextForTerminal("f\xFCr"), "f\xC3\xBCr");
    EXPECT_EQ(TextForTerminal("/home/m\xC3\xBCller/a.ini"), "/home/m\xC3\xBCller/a.ini");
}

} // namespace
