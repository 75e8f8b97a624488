// The help topics as the installer carries them: the styles resource read
// back over the text resource as the installer's help dialog walks them, for
// a compiled help file and for topics that a foreign or damaged file could
// give (line breaks, a NUL, a very long run, a jump out of the file).
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "resources/kivformat.h"
#include "tools/kivpack/help/help_file.h"
#include "tools/kivpack/help/help_resources.h"

namespace {

using kivpack::help::Paragraph;
using kivpack::help::Run;

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b.at(at + i);
    return v;
}

// Each topic's stored text, marked from its style runs as **bold**,
// *italic* and [text](N) for a jump; the runs' raw lengths in `lengths`.
// Fails the test when a record does not lie inside its resource or the runs
// reach past the text.
std::vector<std::string> Render(const std::vector<HelpTextTopic>& topics, std::vector<std::vector<uint32_t>>* lengths = nullptr)
{
    const std::vector<uint8_t> text = EncodeHelpText(topics), styles = EncodeHelpStyles(topics);
    std::vector<std::string> out;
    EXPECT_EQ(Le(text, 0, 4), topics.size());
    EXPECT_EQ(Le(styles, 0, 4), topics.size());
    size_t t = 4, s = 4;
    for (size_t i = 0; i < topics.size(); ++i) {
        EXPECT_EQ(Le(text, t, 4), topics[i].context);
        EXPECT_EQ(Le(styles, s, 4), topics[i].context);
        const uint32_t textSize = Le(text, t + 4, 4), styleSize = Le(styles, s + 4, 4);
        EXPECT_LE(t + textSize, text.size());
        EXPECT_LE(s + styleSize, styles.size());
        EXPECT_EQ((styleSize - KIV_HELP_TEXT_HEADER_SIZE) % KIV_HELP_STYLE_RUN_SIZE, 0u);
        const char* title = reinterpret_cast<const char*>(text.data()) + t + KIV_HELP_TEXT_HEADER_SIZE;
        const std::string body(title + std::string(title).size() + 1);
        EXPECT_EQ(KIV_HELP_TEXT_HEADER_SIZE + std::string(title).size() + 1 + body.size() + 1, textSize);
        std::string marked;
        size_t at = 0;
        if (lengths) lengths->emplace_back();
        for (size_t r = s + KIV_HELP_TEXT_HEADER_SIZE; r < s + styleSize; r += KIV_HELP_STYLE_RUN_SIZE) {
            const uint32_t length = Le(styles, r, 2), style = Le(styles, r + 2, 2), target = Le(styles, r + 4, 4);
            if (lengths) lengths->back().push_back(length);
            EXPECT_LE(at + length, body.size()) << "the runs of topic " << topics[i].context << " pass its text";
            if (at + length > body.size()) break;
            std::string piece = body.substr(at, length);
            if (style & KIV_HELP_STYLE_ITALIC) piece = "*" + piece + "*";
            if (style & KIV_HELP_STYLE_BOLD) piece = "**" + piece + "**";
            if (style & KIV_HELP_STYLE_JUMP) piece = "[" + piece + "](" + std::to_string(target) + ")";
            else EXPECT_EQ(target, 0u);
            marked += piece;
            at += length;
        }
        out.push_back(marked + body.substr(at));
        t += textSize;
        s += styleSize;
    }
    EXPECT_EQ(t, text.size());
    EXPECT_EQ(s, styles.size());
    return out;
}

Run Styled(const std::string& text, bool bold, bool italic, uint32_t jump = 0)
{
    Run r;
    r.text = text;
    r.bold = bold;
    r.italic = italic;
    r.jump = jump != 0;
    r.target = jump;
    return r;
}

HelpTextTopic Topic(uint32_t context, const std::vector<std::vector<Run>>& paragraphs)
{
    HelpTextTopic t;
    t.context = context;
    t.title = "Topic " + std::to_string(context);
    for (const std::vector<Run>& runs : paragraphs) {
        Paragraph p;
        p.runs = runs;
        std::string plain;
        for (const Run& r : runs) plain += r.text;
        t.text += (t.text.empty() ? "" : "\n\n") + plain;
        t.paragraphs.push_back(p);
    }
    return t;
}

TEST(HelpResources, CompiledTopicsKeepTheirStylesOverTheStoredText)
{
    const std::string source =
        "% Styles\n\n# 3584 Installing\nType a folder, then press **Begin**.\n\n"
        "Read *the notes* and [the readme](3904), or **[a bold jump](3904)** first.\n\n"
        "# 3904 Readme\nNothing styled here.\n";
    std::vector<uint8_t> file;
    std::vector<std::string> errors;
    ASSERT_TRUE(kivpack::help::CompileHelpSource(source, "styles.src", file, errors));
    kivpack::help::HelpDocument doc;
    std::string error;
    ASSERT_TRUE(kivpack::help::ReadHelpFile(file.data(), file.size(), doc, error)) << error;
    std::vector<HelpTextTopic> topics;
    for (const kivpack::help::HelpTopic& t : doc.topics) topics.push_back({t.context, t.title, t.text, t.paragraphs});
    std::vector<std::vector<uint32_t>> lengths;
    const std::vector<std::string> shown = Render(topics, &lengths);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0],
              "Type a folder, then press **Begin**.\r\n\r\n"
              "Read *the notes* and [the readme](3904), or [**a bold jump**](3904) first.");
    EXPECT_EQ(shown[1], "Nothing styled here.");
    EXPECT_TRUE(lengths[1].empty()) << "a plain topic needs no runs";
}

TEST(HelpResources, ForeignTextIsCutAndSplitAsStoredAndBadJumpsArePlain)
{
    const std::string longRun(70000, 'x');
    std::vector<HelpTextTopic> topics = {
        // Line breaks inside runs, a jump out of the file, a NUL inside a bold run.
        Topic(10, {{Styled("one\nline", true, false), Styled(" and ", false, false),
                    Styled("a jump away", false, false, 999)},
                   {Styled("two\r\nlines ", false, true), Styled("bo", true, false),
                    Styled(std::string("ld\0hidden", 9), true, false), Styled(" gone", false, true)}}),
        // A run longer than a length field holds.
        Topic(20, {{Styled("start ", false, false), Styled(longRun, true, false), Styled(" end", false, false),
                    Styled(" [back]", false, false, 10)}}),
    };
    // Paragraphs that do not give the text: stored without styles.
    HelpTextTopic mismatch = Topic(30, {{Styled("styled", true, false)}});
    mismatch.text = "another text";
    topics.push_back(mismatch);

    std::vector<std::vector<uint32_t>> lengths;
    const std::vector<std::string> shown = Render(topics, &lengths);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], "**one\r\nline** and a jump away\r\n\r\n*two\r\nlines ***bold**");
    EXPECT_EQ(shown[1], "start **" + std::string(65535, 'x') + "****" + std::string(70000 - 65535, 'x') +
                            "** end[ [back]](10)");
    EXPECT_EQ(lengths[1], (std::vector<uint32_t>{6, 65535, 70000 - 65535, 4, 7}));
    EXPECT_EQ(shown[2], "another text");
    EXPECT_TRUE(lengths[2].empty());
}

} // namespace
