// The installer view that list and extract read: byte caps read as the
// 32-bit installer reads them, the help topics it would walk, and the
// refusal of what the installer would choose by the user's language.
#include <gtest/gtest.h>

#include "resources/kivformat.h"
#include "tools/kivpack/pe/pe.h"

using namespace kivpack;

namespace {

Resource Make(uint16_t type, uint16_t name, uint16_t language, std::vector<uint8_t> data)
{
    return {ResourceName::Id(type), ResourceName::Id(name), language, 0, std::move(data)};
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

} // namespace

TEST(InstallerView, CapsAsTheInstallerReadsThem)
{
    EXPECT_EQ(12u, InstallerCapValue(u" 12"));
    EXPECT_EQ(12u, InstallerCapValue(u"12abc"));
    EXPECT_EQ(7u, InstallerCapValue(u"+7"));
    EXPECT_EQ(0u, InstallerCapValue(u"abc"));
    EXPECT_EQ(0xFFFFFFFFu, InstallerCapValue(u"-1"));
    // Only 15 characters reach the number, which wraps at 32 bits.
    EXPECT_EQ(uint32_t(123456789012345ull), InstallerCapValue(u"1234567890123456"));

    ResourceSet set;
    set.Set(Make(KIV_PAYLOAD_TYPE, KIV_SCRIPT_RESOURCE, 0x409, Bytes("[Basic Information]")));
    set.Set(Make(KIV_PAYLOAD_TYPE, 12002, 0x409, Bytes("0123456789abcdef")));
    set.Set(Make(KIV_PAYLOAD_TYPE, 12003, 0x409, Bytes("short")));
    std::string error;
    // The caps' block in a language of its own still applies: it is the
    // only one the installer can find.
    ASSERT_TRUE(SetString(set, 10002, 0x407, u"4", error));
    ASSERT_TRUE(SetString(set, 10003, 0x407, u"-1", error));
    ASSERT_TRUE(SetString(set, IDS_SCRIPT_FILE_NAME, 0x409, u"SETUP.INF", error));
    InstallerView view;
    ASSERT_TRUE(ReadInstallerView(set, view, error)) << error;
    EXPECT_EQ(4u, view.payloads[12002].size);
    EXPECT_EQ(5u, view.payloads[12003].size);  // a cap above the size takes it whole
    EXPECT_EQ(19u, view.payloads[KIV_SCRIPT_RESOURCE].size);
    EXPECT_EQ("SETUP.INF", view.scriptFileName);
    EXPECT_FALSE(view.DiskMode());

    // A second language of the caps' block, or a block cut short, is refused.
    ResourceSet twice = set;
    ASSERT_TRUE(SetString(twice, 10002, 0x409, u"16", error));
    EXPECT_FALSE(ReadInstallerView(twice, view, error));
    EXPECT_NE(std::string::npos, error.find("string block 626 (strings 10000 to 10015) exists in 2 languages (0407, 0409)"))
        << error;
    ResourceSet cut = set;
    cut.Set(Make(kRtString, 626, 0x407, {3, 0, 'x'}));
    EXPECT_FALSE(ReadInstallerView(cut, view, error));
    EXPECT_NE(std::string::npos, error.find("string block 626 (strings 10000 to 10015): string block cut short"))
        << error;
}

TEST(InstallerView, HelpTopicsTheInstallerWalks)
{
    auto record = [](uint32_t context, const std::string& title, const std::string& text) {
        std::vector<uint8_t> r;
        uint32_t size = uint32_t(8 + title.size() + 1 + text.size() + 1);
        for (uint32_t v : {context, size})
            for (int i = 0; i < 4; ++i) r.push_back(uint8_t(v >> (8 * i)));
        r.insert(r.end(), title.begin(), title.end());
        r.push_back(0);
        r.insert(r.end(), text.begin(), text.end());
        r.push_back(0);
        return r;
    };
    auto resource = [&](uint32_t declared, std::vector<std::vector<uint8_t>> records) {
        std::vector<uint8_t> r;
        for (int i = 0; i < 4; ++i) r.push_back(uint8_t(declared >> (8 * i)));
        for (const auto& one : records) r.insert(r.end(), one.begin(), one.end());
        return r;
    };
    std::vector<uint8_t> a = record(1550, "Fonts", "Text"), b = record(2400, "New", "More text");
    HelpTextCount count = CountHelpTopics(resource(2, {a, b}));
    EXPECT_EQ(2u, count.declared);
    EXPECT_EQ(2u, count.whole);
    count = CountHelpTopics(resource(0xFFFFFFFFu, {a, b}));
    EXPECT_EQ(0xFFFFFFFFu, count.declared);
    EXPECT_EQ(2u, count.whole);
    std::vector<uint8_t> unterminated = b;
    unterminated.back() = 'x';
    EXPECT_EQ(1u, CountHelpTopics(resource(2, {a, unterminated})).whole);
    std::vector<uint8_t> titleOnly = record(9, "Title", "");
    titleOnly.pop_back();  // the title's NUL is the record's last byte: no text
    titleOnly[4] = uint8_t(titleOnly.size());
    EXPECT_EQ(0u, CountHelpTopics(resource(1, {titleOnly})).whole);
    EXPECT_EQ(0u, CountHelpTopics({1, 0}).declared);
}
