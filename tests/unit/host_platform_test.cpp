// The host side of the seam: the profile reader's rules, the atom table and
// the other host operations. The profile rules are also compared with the
// system's, query by query, by tests/e2e/profile_diff.test.sh; the cases
// here where Windows and Wine disagree follow Windows, and say so.
#include <utime.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/host/host_platform.h"
#include "platform/platform.h"

namespace {

const char* const kIni = "/virtual/test.ini";

class HostPlatform : public ::testing::Test {
protected:
    void SetUp() override { HostResetPlatform(); }
    void TearDown() override { HostResetPlatform(); }

    static void Ini(const std::string& text) { HostSetMemoryFile(kIni, text.data(), text.size()); }

    // The value read into `size` bytes, checked to stay inside them.
    static std::string Read(const char* section, const char* key, const char* def = "DEF",
                            unsigned size = 260)
    {
        std::string buffer(size + 8, '\x7f');
        unsigned n = ProfileReadString(section, key, def, &buffer[0], size, kIni);
        EXPECT_LT(n, size == 0 ? 1u : size);
        for (size_t i = size; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], '\x7f') << "byte " << i;
        if (size == 0) return std::string();
        EXPECT_EQ(buffer[n], 0);
        return buffer.substr(0, n);
    }

    // A list with its inner zeros, as far as the result counts it. `raw`
    // receives the whole buffer.
    static std::string List(const char* section, unsigned size, unsigned* result = nullptr,
                            std::string* raw = nullptr)
    {
        std::string buffer(size + 8, '\x7f');
        unsigned n = ProfileReadString(section, nullptr, "", &buffer[0], size, kIni);
        if (result) *result = n;
        EXPECT_LT(n, size);
        EXPECT_EQ(buffer[n], 0);
        for (size_t i = size; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], '\x7f') << "byte " << i;
        if (raw) *raw = buffer.substr(0, size);
        return buffer.substr(0, n);
    }

    static unsigned Int(const char* key, int def = 77) { return ProfileReadInt("i", key, def, kIni); }
};

TEST_F(HostPlatform, ProfileNamesIgnoreCaseAndBlanksAndValuesAreTrimmed)
{
    Ini("[Basic Information]\r\n  Caption \t=  My   Setup  \r\nEmpty=\r\n[ Spaced ]\nk=v");
    EXPECT_EQ(Read("basic information", "CAPTION"), "My   Setup");
    EXPECT_EQ(Read(" Basic Information\t", " caption "), "My   Setup");
    EXPECT_EQ(Read("Basic Information", "Empty"), "");
    EXPECT_EQ(Read("Basic Information", "Missing"), "DEF");
    EXPECT_EQ(Read("Spaced", "k"), "v");
    // A key list names its section exactly: blanks around the name are not
    // removed (the list of a section not found is the default).
    EXPECT_EQ(List("basic information", 100), std::string("Caption\0Empty\0", 14));
    EXPECT_EQ(Read(" Spaced ", nullptr), "DEF");
}

TEST_F(HostPlatform, ProfileCaseFoldingCoversTheLettersOfTheCodePage)
{
    // Windows matches accented letters without regard to case; Wine folds
    // ASCII letters only, so the differential corpus holds no such pair.
    Ini("[Caf\xE9]\nCl\xE9=1\n\x8A\x8C\x8E\x9F=2\n[CAF\xC9]\nlate=3\n");
    EXPECT_EQ(Read("CAF\xC9", "CL\xC9"), "1");
    EXPECT_EQ(Read("caf\xE9", "\x9A\x9C\x9E\xFF"), "2");
    EXPECT_EQ(Read("CAF\xC9", "late"), "DEF") << "the first section of the name wins";
}

TEST_F(HostPlatform, ProfileQuotesAreRemovedOnceAndAQuotedValueThatFitsIsKept)
{
    Ini("[q]\na=\"val2\"\nb='y'\nc=\"open\nd=\"\"\ne=\"a\"b\"\nf='mixed\"\ng=  \" in \"  \n");
    EXPECT_EQ(Read("q", "a"), "val2");
    EXPECT_EQ(Read("q", "b"), "y");
    EXPECT_EQ(Read("q", "c"), "\"open");
    EXPECT_EQ(Read("q", "d"), "");
    EXPECT_EQ(Read("q", "e"), "a\"b");
    EXPECT_EQ(Read("q", "f"), "'mixed\"");
    EXPECT_EQ(Read("q", "g"), " in ");
    // "val2" fits in 5 bytes. Windows returns it whole; Wine drops the "2".
    EXPECT_EQ(Read("q", "a", "", 5), "val2");
    EXPECT_EQ(Read("q", "a", "", 4), "val");
    EXPECT_EQ(Read("q", "missing", "\"quoted default\""), "quoted default");
}

TEST_F(HostPlatform, ProfileCommentsLinesWithoutEqualsAndEmptyKeys)
{
    Ini("[s]\n;comment=1\nlonely\nk=v ; not a comment\n#hash=h\n=empty name\n[t]\n[u]\nnothing\n");
    EXPECT_EQ(List("s", 100), std::string("k\0#hash\0\0", 9))
        << "comments and lines without '=' are not listed; an empty name is";
    EXPECT_EQ(Read("s", "lonely"), "DEF") << "a line without '=' reads as missing";
    EXPECT_EQ(Read("s", ";comment"), "1") << "a comment line is still a key by name";
    EXPECT_EQ(Read("s", "k"), "v ; not a comment");
    EXPECT_EQ(Read("s", ""), "empty name");
    EXPECT_EQ(Read("t", nullptr, "none"), "none") << "an empty section lists the default";
    EXPECT_EQ(Read("u", nullptr, "none"), "none");
    EXPECT_EQ(Read("absent", nullptr, "none"), "none");
    EXPECT_EQ(Read("absent", nullptr, nullptr), "");
}

TEST_F(HostPlatform, ProfileDuplicatesAndLineEndings)
{
    Ini("[d]\rkey=first\rKEY=second\r\n[other]\nx=1\n[D]\nkey=third\nlate=4\n\n\n[other]\ny=2");
    EXPECT_EQ(Read("d", "key"), "first");
    EXPECT_EQ(Read("d", "late"), "DEF") << "a repeated section is never read";
    EXPECT_EQ(Read("other", "y"), "DEF");
    EXPECT_EQ(List("d", 100), std::string("key\0KEY\0", 8)) << "repeated keys are all listed";
    EXPECT_EQ(List(nullptr, 100), std::string("d\0other\0D\0other\0", 16));
    Ini("orphan=1\n[]\nk=2\n[a] trailing\nx=3\n[b]c]\ny=4\n[unclosed\nz=5");
    EXPECT_EQ(Read("", "orphan"), "1") << "lines before the first header";
    EXPECT_EQ(Read("", "k"), "DEF");
    EXPECT_EQ(Read("a", "x"), "3");
    EXPECT_EQ(Read("b]c", "y"), "4");
    EXPECT_EQ(Read("b]c", "z"), "5") << "a '[' line without ']' is a key line";
    EXPECT_EQ(List(nullptr, 100), std::string("a\0b]c\0", 6));
}

TEST_F(HostPlatform, ProfileValuesAndListsAreCutToTheBuffer)
{
    Ini("[section1]\nname1=val1\nname2=val2\nname4=a\n[section2]\nx=1\n");
    EXPECT_EQ(Read("section1", "name1", "", 4), "val");
    EXPECT_EQ(Read("section1", "name1", "", 1), "");
    EXPECT_EQ(Read("section1", "name1", "", 0), "");
    unsigned n = 0;
    std::string raw;
    // A list that does not fit: the last name is cut, the result is size - 2
    // and the buffer ends with two zeros (Wine's ANSI call leaves the very
    // last byte untouched; Windows writes it).
    EXPECT_EQ(List("section1", 16, &n, &raw), std::string("name1\0name2\0na", 14));
    EXPECT_EQ(n, 14u);
    EXPECT_EQ(raw.substr(14), std::string(2, '\0'));
    EXPECT_EQ(List(nullptr, 16, &n, &raw), std::string("section1\0secti", 14));
    EXPECT_EQ(raw.substr(14), std::string(2, '\0'));
    // Both lists keep one byte in reserve: a list that fills the buffer to
    // its last byte counts as cut.
    EXPECT_EQ(List("section1", 20, &n), std::string("name1\0name2\0name4\0", 18));
    EXPECT_EQ(List("section1", 19, &n, &raw), std::string("name1\0name2\0name4", 17));
    EXPECT_EQ(raw.substr(17), std::string(2, '\0'));
    EXPECT_EQ(List(nullptr, 20, &n), std::string("section1\0section2\0", 18));
    EXPECT_EQ(List(nullptr, 19, &n), std::string("section1\0section2", 17));
    EXPECT_EQ(Read("section1", nullptr, "DEF", 2), "D") << "no name fits: the default";
}

TEST_F(HostPlatform, ProfileDefaults)
{
    Ini("[s]\nk=v\n");
    EXPECT_EQ(Read("s", "none", nullptr), "");
    EXPECT_EQ(Read("s", "none", ""), "");
    EXPECT_EQ(Read("s", "none", "a b   "), "a b");
    EXPECT_EQ(Read("s", "none", "tab\t "), "tab\t") << "only spaces are dropped";
    EXPECT_EQ(Read("s", "none", "   "), " ") << "the first character stays";
    EXPECT_EQ(Read("s", "none", "DEFAULT", 4), "DEF");
}

TEST_F(HostPlatform, ProfileIntegersFollowTheSystemConversion)
{
    Ini("[i]\nneg=-5\npos=+5\nlead= \t 12\nhex=0x1F\nHEX=0X1F\nbin=0b101\noct=0o17\n"
        "text=abc\nmixed=12abc\nempty=\nspace= \nwrap=4294967297\nquoted=\"42\"\n"
        "long=000000000000000000000000000000000007\nminushex=-0x10\n");
    EXPECT_EQ(Int("neg"), (unsigned)-5);
    EXPECT_EQ(Int("pos"), 5u);
    EXPECT_EQ(Int("lead"), 12u);
    EXPECT_EQ(Int("hex"), 31u);
    EXPECT_EQ(Int("HEX"), 31u) << "key names ignore case";
    EXPECT_EQ(Int("bin"), 5u);
    EXPECT_EQ(Int("oct"), 15u);
    EXPECT_EQ(Int("text"), 0u);
    EXPECT_EQ(Int("mixed"), 12u);
    EXPECT_EQ(Int("empty"), 77u) << "an empty value gives the default";
    EXPECT_EQ(Int("space"), 77u);
    EXPECT_EQ(Int("missing", -3), (unsigned)-3);
    EXPECT_EQ(Int("wrap"), 1u);
    EXPECT_EQ(Int("quoted"), 42u);
    EXPECT_EQ(Int("long"), 0u) << "only the first 29 characters are read";
    EXPECT_EQ(Int("minushex"), (unsigned)-16);
    Ini("[i]\nx=0X1f\n");
    EXPECT_EQ(Int("x"), 0u) << "the hexadecimal prefix is lower case only";
}

TEST_F(HostPlatform, ProfileEncodings)
{
    // Windows does not recognise a UTF-8 mark: its bytes start the first
    // line, which then is no section header (Wine decodes the file as UTF-8).
    Ini("\xEF\xBB\xBF[s]\nk=v\n");
    EXPECT_EQ(Read("s", "k"), "DEF");
    const char utf16[] = "\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0\xE9\0\xAC\x20\0\x4E";
    HostSetMemoryFile(kIni, utf16, sizeof utf16 - 1);
    EXPECT_EQ(Read("s", "k"), "\xE9\x80?") << "UTF-16 text comes out in code page 1252";
}

TEST_F(HostPlatform, ProfileFilesOnDiskAreSeenAsTheyChange)
{
    char path[] = "/tmp/kiv-host-platform-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    char buffer[32];
    auto write = [&](const char* text) {
        FILE* f = std::fopen(path, "wb");
        ASSERT_TRUE(f);
        std::fputs(text, f);
        std::fclose(f);
    };
    write("[s]\nk=one\n");
    EXPECT_EQ(ProfileReadString("s", "k", "", buffer, sizeof buffer, path), 3u);
    EXPECT_STREQ(buffer, "one");
    write("[s]\nk=two!\n");
    EXPECT_EQ(ProfileReadString("s", "k", "", buffer, sizeof buffer, path), 4u);
    EXPECT_STREQ(buffer, "two!");
    write("[s]\nk=six!\n");
    EXPECT_EQ(ProfileReadString("s", "k", "", buffer, sizeof buffer, path), 4u);
    EXPECT_STREQ(buffer, "six!") << "rewritten at once with the same size, possibly the same time";
    // A file last written long ago is read once; written again, it is read anew.
    struct utimbuf past = {time(nullptr) - 60, time(nullptr) - 60};
    ASSERT_EQ(utime(path, &past), 0);
    EXPECT_EQ(ProfileReadString("s", "k", "", buffer, sizeof buffer, path), 4u);
    EXPECT_EQ(ProfileReadString("s", "k", "", buffer, sizeof buffer, path), 4u);
    write("[s]\nk=ten!\n");
    EXPECT_EQ(ProfileReadString("s", "k", "", buffer, sizeof buffer, path), 4u);
    EXPECT_STREQ(buffer, "ten!");
    EXPECT_TRUE(FileExists(path));
    HostSetMemoryFile(path, "[s]\nk=memory\n", 13);
    EXPECT_EQ(ProfileReadString("s", "k", "", buffer, sizeof buffer, path), 6u)
        << "a memory file hides the disk file";
    DeleteFileQuietly(path);
    EXPECT_FALSE(HostMemoryFileExists(path));
    EXPECT_TRUE(FileExists(path)) << "deleting removes the memory file first";
    DeleteFileQuietly(path);
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(ProfileReadString("s", "k", "gone", buffer, sizeof buffer, path), 4u);
    EXPECT_EQ(ProfileReadInt("s", "k", 9, path), 9u);
    EXPECT_FALSE(FileExists("/tmp")) << "a directory is not a file";
    EXPECT_FALSE(FileExists(""));
}

TEST_F(HostPlatform, AtomsAreCaseInsensitiveAndReferenceCounted)
{
    AtomHandle a = AtomAdd("Readme.TXT");
    ASSERT_GE(a, 0xC000);
    EXPECT_EQ(AtomAdd("README.txt"), a);
    EXPECT_EQ(AtomAdd("readme.txt"), a);
    EXPECT_EQ(AtomAdd("caf\xE9"), AtomAdd("CAF\xC9"));
    EXPECT_EQ(HostLiveAtomCount(), 2u);
    char name[64];
    EXPECT_EQ(AtomGetName(a, name, sizeof name), 10u);
    EXPECT_STREQ(name, "Readme.TXT") << "the first spelling";
    EXPECT_EQ(AtomGetName(a, name, 5), 4u);
    EXPECT_STREQ(name, "Read");
    AtomDelete(a);
    AtomDelete(a);
    EXPECT_EQ(AtomGetName(a, name, sizeof name), 10u) << "one reference left";
    AtomDelete(a);
    std::strcpy(name, "kept");
    EXPECT_EQ(AtomGetName(a, name, sizeof name), 0u);
    EXPECT_STREQ(name, "kept") << "an unknown atom leaves the buffer alone";
    AtomDelete(a);   // releasing a freed atom does nothing
    EXPECT_EQ(HostLiveAtomCount(), 1u);
    EXPECT_EQ(AtomAdd("another"), a) << "the freed handle is handed out next";
}

TEST_F(HostPlatform, AtomTextLimitsAndIntegerAtoms)
{
    std::string longest(255, 'x');
    EXPECT_NE(AtomAdd(longest.c_str()), 0);
    EXPECT_EQ(AtomAdd((longest + "x").c_str()), 0);
    EXPECT_EQ(AtomAdd(""), 0);
    EXPECT_EQ(AtomAdd(nullptr), 0);
    EXPECT_EQ(AtomAdd("#100"), 100);
    EXPECT_EQ(AtomAdd("#0100"), 100);
    EXPECT_EQ(AtomAdd("#65636"), 100) << "the number is taken modulo 65536";
    EXPECT_EQ(AtomAdd("#49151"), 0xBFFF);
    EXPECT_EQ(AtomAdd("#0"), 0);
    EXPECT_EQ(AtomAdd("#49152"), 0);
    EXPECT_EQ(HostLiveAtomCount(), 1u) << "integer atoms take no place";
    EXPECT_GE(AtomAdd("#12x"), 0xC000);
    EXPECT_GE(AtomAdd("#"), 0xC000);
    char name[8];
    EXPECT_EQ(AtomGetName(100, name, sizeof name), 4u);
    EXPECT_STREQ(name, "#100");
    AtomDelete(100);
    EXPECT_EQ(AtomGetName(100, name, sizeof name), 4u);
    EXPECT_EQ(AtomGetName(0, name, sizeof name), 0u);
}

TEST_F(HostPlatform, AtomTableFillsUp)
{
    char name[16];
    AtomHandle last = 0;
    for (unsigned i = 0; i < kHostAtomTableSize; ++i) {
        std::snprintf(name, sizeof name, "atom%u", i);
        last = AtomAdd(name);
        ASSERT_NE(last, 0) << i;
    }
    EXPECT_EQ(last, 0xFFFF);
    EXPECT_EQ(AtomAdd("one too many"), 0);
    EXPECT_EQ(AtomAdd("ATOM7"), 0xC007) << "a known name still gains a reference";
    EXPECT_EQ(AtomAdd("#5"), 5);
    AtomDelete(0xC010);
    EXPECT_EQ(AtomAdd("one too many"), 0xC010);
    EXPECT_EQ(HostLiveAtomCount(), kHostAtomTableSize);
    HostResetAtoms();
    EXPECT_EQ(HostLiveAtomCount(), 0u);
}

TEST_F(HostPlatform, StringTableAndScriptName)
{
    char text[128];
    EXPECT_EQ(LoadResourceString(8000, text, sizeof text), 11u);
    EXPECT_STREQ(text, "INSTALL.INI");
    EXPECT_EQ(LoadResourceString(8001, text, sizeof text), 5u);
    EXPECT_STREQ(text, "12348");
    EXPECT_GT(LoadResourceString(8011, text, sizeof text), 0u);
    EXPECT_STREQ(text, "%s is being used for installation disks; please enter a different directory.");
    EXPECT_EQ(LoadResourceString(8007, text, 3), 2u);
    EXPECT_STREQ(text, "%u");
    EXPECT_EQ(LoadResourceString(8006, text, sizeof text), 0u);
    EXPECT_STREQ(text, "");
    HostSetScriptFileName("setup.ini");
    EXPECT_EQ(LoadResourceString(8000, text, sizeof text), 9u);
    EXPECT_STREQ(text, "setup.ini");
    HostSetScriptFileName(nullptr);
    EXPECT_EQ(LoadResourceString(8000, text, sizeof text), 11u);
}

TEST_F(HostPlatform, MemoryBlocksAndTheOtherHooks)
{
    unsigned before = HostLiveMemoryBlocks();
    MemoryHandle block = MemoryAllocate(64);
    ASSERT_TRUE(block);
    unsigned char* bytes = static_cast<unsigned char*>(MemoryLock(block));
    ASSERT_TRUE(bytes);
    for (unsigned i = 0; i < 64; ++i) EXPECT_EQ(bytes[i], 0) << i;
    MemoryUnlock(block);
    MemoryHandle empty = MemoryAllocate(0);
    EXPECT_TRUE(empty) << "a block of no bytes exists";
    EXPECT_FALSE(MemoryLock(empty)) << "but cannot be locked";
    EXPECT_EQ(HostLiveMemoryBlocks(), before + 2);
    MemoryFree(block);
    MemoryFree(empty);
    EXPECT_EQ(HostLiveMemoryBlocks(), before);

    EXPECT_FALSE(PayloadResourceExists(12000));
    HostSetPayloadResource(12000, 1);
    EXPECT_TRUE(PayloadResourceExists(12000));
    EXPECT_FALSE(PayloadResourceExists(12001));

    EXPECT_STREQ(HostMainWindowTitle(), "");
    SetMainWindowTitle("Demo Setup");
    EXPECT_STREQ(HostMainWindowTitle(), "Demo Setup");

    int width = 40, height = 100;
    EXPECT_FALSE(LoadFontsBitmap(&width, &height));
    EXPECT_EQ(width, 40);
    EXPECT_EQ(height, 100);
    unsigned mode = SuppressCriticalErrors();
    EXPECT_EQ(SuppressCriticalErrors(), 1u) << "SEM_FAILCRITICALERRORS while suppressed";
    RestoreErrorMode(mode);
    EXPECT_EQ(SuppressCriticalErrors(), mode);
    RestoreErrorMode(mode);
}

}   // namespace
