#include "tools/kivpack/help/help_resources.h"
#include "resources/kivformat.h"

namespace {

void PutLe32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// Appends `text` as the installer shows it: "\n" as CR LF, and a CR LF
// already present kept as one. False at a NUL, where the stored text ends.
bool AppendForEditControl(std::string& out, const std::string& text)
{
    for (char c : text) {
        if (!c) return false;
        if (c == '\r') continue;
        if (c == '\n') out += '\r';
        out += c;
    }
    return true;
}

std::string ForEditControl(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    AppendForEditControl(out, text);
    return out;
}

struct StyleRun {
    size_t length;
    uint16_t style;
    uint32_t target;
};

// The runs of `topic` over the text that EncodeHelpText stores for it, the
// trailing plain ones left out; none when its paragraphs do not give that
// text.
std::vector<StyleRun> TopicRuns(const HelpTextTopic& topic, const std::vector<HelpTextTopic>& topics)
{
    std::vector<StyleRun> runs;
    std::string text;
    bool open = true;
    auto add = [&](const std::string& piece, uint16_t style, uint32_t target) {
        const size_t before = text.size();
        if (open) open = AppendForEditControl(text, piece);
        const size_t length = text.size() - before;
        if (!length) return;
        if (!runs.empty() && runs.back().style == style && runs.back().target == target)
            runs.back().length += length;
        else
            runs.push_back({length, style, target});
    };
    for (size_t p = 0; p < topic.paragraphs.size(); ++p) {
        if (p) add("\n\n", 0, 0);
        for (const kivpack::help::Run& r : topic.paragraphs[p].runs) {
            const bool jump = r.jump && HasHelpTopic(topics, r.target);
            add(r.text,
                uint16_t((r.bold ? KIV_HELP_STYLE_BOLD : 0) | (r.italic ? KIV_HELP_STYLE_ITALIC : 0) |
                         (jump ? KIV_HELP_STYLE_JUMP : 0)),
                jump ? r.target : 0);
        }
    }
    if (text != ForEditControl(topic.text)) return {};
    while (!runs.empty() && !runs.back().style) runs.pop_back();
    return runs;
}

} // namespace

bool HasHelpTopic(const std::vector<HelpTextTopic>& topics, uint32_t context)
{
    for (const HelpTextTopic& t : topics)
        if (t.context == context) return true;
    return false;
}

std::vector<uint8_t> EncodeHelpStyles(const std::vector<HelpTextTopic>& topics)
{
    std::vector<uint8_t> out;
    PutLe32(out, uint32_t(topics.size()));
    for (const HelpTextTopic& t : topics) {
        std::vector<uint8_t> record;
        for (const StyleRun& run : TopicRuns(t, topics)) {
            // A run longer than a length field holds goes in pieces.
            for (size_t left = run.length; left;) {
                const size_t piece = left < 0xFFFF ? left : 0xFFFF;
                record.push_back(uint8_t(piece));
                record.push_back(uint8_t(piece >> 8));
                record.push_back(uint8_t(run.style));
                record.push_back(uint8_t(run.style >> 8));
                PutLe32(record, run.target);
                left -= piece;
            }
        }
        PutLe32(out, t.context);
        PutLe32(out, uint32_t(KIV_HELP_TEXT_HEADER_SIZE + record.size()));
        out.insert(out.end(), record.begin(), record.end());
    }
    return out;
}

std::vector<uint8_t> EncodeHelpText(const std::vector<HelpTextTopic>& topics)
{
    std::vector<uint8_t> out;
    PutLe32(out, uint32_t(topics.size()));
    for (const HelpTextTopic& t : topics) {
        std::string title = t.title.substr(0, t.title.find('\0'));
        std::string text = ForEditControl(t.text);
        PutLe32(out, t.context);
        PutLe32(out, uint32_t(KIV_HELP_TEXT_HEADER_SIZE + title.size() + 1 + text.size() + 1));
        out.insert(out.end(), title.begin(), title.end());
        out.push_back(0);
        out.insert(out.end(), text.begin(), text.end());
        out.push_back(0);
    }
    return out;
}
