// kivpack try's readers of what a run under Wine leaves: dialog templates,
// the driver's listings, shell links, and the JSON they end up in. Every
// reader gets cut and odd bytes too.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/try/try_report.h"

namespace {

void Put16(std::vector<uint8_t>& d, unsigned v)
{
    d.push_back(uint8_t(v));
    d.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& d, uint32_t v)
{
    Put16(d, v & 0xFFFF);
    Put16(d, v >> 16);
}
void PutText(std::vector<uint8_t>& d, const std::string& s)
{
    for (char c : s) Put16(d, (unsigned char)c);
    Put16(d, 0);
}

// A dialog like 2800: an icon, the message format, a button; with a font.
std::vector<uint8_t> DialogBytes()
{
    std::vector<uint8_t> d;
    Put32(d, 0x80C800C0);  // WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT
    Put32(d, 0);
    Put16(d, 3);
    for (int i = 0; i < 4; ++i) Put16(d, 10);
    Put16(d, 0);  // no menu
    Put16(d, 0);  // the default class
    PutText(d, "");
    Put16(d, 8);
    PutText(d, "MS Sans Serif");
    struct Item {
        unsigned id, cls;
        std::string text;
        int ordinal;
    } items[] = {{0xFFFF, 0x82, "", 32513}, {1001, 0x82, "%s requires Windows %s", -1}, {2, 0x80, "Cancel", -1}};
    for (const Item& item : items) {
        while (d.size() % 4) d.push_back(0);
        Put32(d, 0x50000000);
        Put32(d, 0);
        for (int i = 0; i < 4; ++i) Put16(d, 5);
        Put16(d, item.id);
        Put16(d, 0xFFFF);
        Put16(d, item.cls);
        if (item.ordinal >= 0) {
            Put16(d, 0xFFFF);
            Put16(d, item.ordinal);
        } else {
            PutText(d, item.text);
        }
        Put16(d, 0);
    }
    return d;
}

TEST(TryReport, DialogTemplatesAreReadAndCutOnesRefused)
{
    std::vector<uint8_t> bytes = DialogBytes();
    kivtry::DialogTemplate t;
    ASSERT_TRUE(kivtry::ParseDialogTemplate(2800, bytes, t));
    ASSERT_EQ(t.controls.size(), 3u);
    EXPECT_EQ(t.controls[0].id, 0xFFFF);
    EXPECT_EQ(t.controls[0].className, "Static");
    EXPECT_EQ(t.controls[0].text, "#32513");
    EXPECT_EQ(t.controls[1].text, "%s requires Windows %s");
    EXPECT_EQ(t.controls[2].className, "Button");
    for (size_t n = 0; n + 2 < bytes.size(); ++n) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + n);
        EXPECT_FALSE(kivtry::ParseDialogTemplate(2800, cut, t)) << n << " bytes";
    }
}

TEST(TryReport, ListingsFindTheirTemplateAndMessage)
{
    kivtry::DialogTemplate tooOld, other;
    ASSERT_TRUE(kivtry::ParseDialogTemplate(2800, DialogBytes(), tooOld));
    other = tooOld;
    other.id = 2000;
    other.controls[1].text = "Out of memory.";
    std::string dir, error;
    ASSERT_TRUE(kivpack::os::MakeTemporaryDirectory("try-report.", dir, error)) << error;
    std::string path = dir + "/dialog-01.txt";
    std::string listing =
        "phase install\n"
        "window 0x00010062 pid 32 class \"#32770\" rect 1,2,3,4 size 2x2 visible title \"Demo \"Setup\"\"\n"
        "  control 0x00010064 id 65535 class \"Static\" rect 1,1,2,2 size 1x1 visible text \"\xC3\xBF\\x01\\x7F\"\n"
        "  control 0x00010066 id 1001 class \"Static\" rect 1,1,2,2 size 1x1 visible text "
        "\"Demo requires Windows 6.0.\\r\\nIn C:\\\\new\"\n"
        "  control 0x00010068 id 2 class \"Button\" rect 1,1,2,2 size 1x1 visible text \"Cancel\"\n";
    ASSERT_TRUE(kivpack::os::WriteWholeFile(path, listing.data(), listing.size(), error)) << error;
    kivtry::Dialog dialog;
    ASSERT_TRUE(kivtry::ReadDialog(path, {other, tooOld}, dialog));
    EXPECT_EQ(dialog.id, 2800);
    EXPECT_EQ(dialog.phase, "install");
    EXPECT_EQ(dialog.caption, "Demo \"Setup\"");
    EXPECT_EQ(dialog.text, "Demo requires Windows 6.0.\nIn C:\\new");
    // Without a template of the same controls, the dialog has no id.
    other.controls.pop_back();
    ASSERT_TRUE(kivtry::ReadDialog(path, {other}, dialog));
    EXPECT_EQ(dialog.id, -1);

    kivtry::VersionRun run;
    run.windows = "95";
    run.dialogs.push_back(dialog);
    run.failure = dialog.caption + ": " + dialog.text;
    std::string json = kivtry::ReportJson("Demo", {run});
    EXPECT_NE(json.find("{\"id\": null, \"phase\": \"install\", \"caption\": \"Demo \\\"Setup\\\"\", "
                        "\"text\": \"Demo requires Windows 6.0.\\nIn C:\\\\new\"}"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"completed\": false"), std::string::npos);
    EXPECT_NE(kivtry::ReportTable({run}, true).find("95       Demo \"Setup\": Demo requires Win..."),
              std::string::npos);
    std::string none = dir + "/missing";
    EXPECT_FALSE(kivtry::ReadDialog(none, {tooOld}, dialog));
    kivpack::os::RemoveFile(path);
    kivpack::os::RemoveEmptyDirectory(dir);
}

TEST(TryReport, ShortcutTargetsFromLinkInfoOrRelativePath)
{
    std::vector<uint8_t> link;
    Put32(link, 0x4C);
    link.resize(20, 0);
    Put32(link, 0x2 | 0x8 | 0x80);  // link info, relative path, Unicode strings
    link.resize(76, 0);
    std::string base = "C:\\KIVDEMO\\KIVDEMO.EXE";
    Put32(link, 28 + uint32_t(base.size()) + 1);  // link info: size
    Put32(link, 28);                                // header size
    Put32(link, 1);                                 // volume id and local base path
    Put32(link, 0);
    Put32(link, 28);  // local base path offset
    Put32(link, 0);
    Put32(link, 0);
    for (char c : base) link.push_back(uint8_t(c));
    link.push_back(0);
    Put16(link, 5);
    for (char c : std::string("a.exe")) Put16(link, (unsigned char)c);
    EXPECT_EQ(kivtry::ShortcutTarget(link), base);
    // Without the local path, the relative one.
    std::vector<uint8_t> relative = link;
    relative[76 + 8] = 0;
    EXPECT_EQ(kivtry::ShortcutTarget(relative), "a.exe");
    // A link info that claims more than the file holds, and every cut.
    std::vector<uint8_t> lying = link;
    lying[76] = 0xFF, lying[77] = 0xFF;
    EXPECT_EQ(kivtry::ShortcutTarget(lying), "");
    for (size_t n = 0; n < link.size(); ++n) {
        std::string t = kivtry::ShortcutTarget(std::vector<uint8_t>(link.begin(), link.begin() + n));
        EXPECT_TRUE(t.empty() || base.compare(0, t.size(), t) == 0) << n << ": " << t;
    }
}

} // namespace
