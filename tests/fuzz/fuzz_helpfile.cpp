// kivpack's help file reader, on files from anywhere. It never reads outside
// the input and a refusal has a reason. What it reads, written as help
// source again and compiled, reads back the same, wherever the source syntax
// can say it: no line breaks or tabs inside a paragraph, no spaces around
// titles, contexts unique. The topics as the installer would carry them
// have a styles record each whose runs stay within the stored text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "help_expect.h"
#include "resources/kivformat.h"
#include "tools/kivpack/help/help_resources.h"

namespace {

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + i];
    return v;
}

void CheckHelpResources(const kivpack::help::HelpDocument& doc)
{
    std::vector<HelpTextTopic> topics;
    for (const kivpack::help::HelpTopic& t : doc.topics) topics.push_back({t.context, t.title, t.text, t.paragraphs});
    const std::vector<uint8_t> text = EncodeHelpText(topics), styles = EncodeHelpStyles(topics);
    size_t t = 4, s = 4;
    for (size_t i = 0; i < topics.size(); ++i) {
        FUZZ_CHECK(text.size() - t >= KIV_HELP_TEXT_HEADER_SIZE + 2 && styles.size() - s >= KIV_HELP_TEXT_HEADER_SIZE);
        const uint32_t textSize = Le(text, t + 4, 4), styleSize = Le(styles, s + 4, 4);
        FUZZ_CHECK(textSize <= text.size() - t && styleSize <= styles.size() - s);
        FUZZ_CHECK((styleSize - KIV_HELP_TEXT_HEADER_SIZE) % KIV_HELP_STYLE_RUN_SIZE == 0);
        const size_t title = strnlen(reinterpret_cast<const char*>(text.data()) + t + KIV_HELP_TEXT_HEADER_SIZE,
                                     textSize - KIV_HELP_TEXT_HEADER_SIZE);
        const size_t body = textSize - KIV_HELP_TEXT_HEADER_SIZE - title - 2;
        size_t covered = 0;
        for (size_t r = s + KIV_HELP_TEXT_HEADER_SIZE; r < s + styleSize; r += KIV_HELP_STYLE_RUN_SIZE)
            covered += Le(styles, r, 2);
        FUZZ_CHECK(covered <= body);
        t += textSize;
        s += styleSize;
    }
    FUZZ_CHECK(t == text.size() && s == styles.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace kivpack::help;
    HelpDocument doc;
    std::string error;
    if (!ReadHelpFile(data, size, doc, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    CheckHelpResources(doc);
    const std::string text = HelpSourceFromDocument(doc);
    HelpSource source;
    std::vector<std::string> errors;
    if (!ParseHelpSource(text, "dump", source, errors)) return 0;
    if (!SameDocument(ExpectedDocument(source), doc)) return 0;  // beyond what source can say
    std::vector<uint8_t> file;
    FUZZ_CHECK(CompileHelpSource(text, "dump", file, errors));
    HelpDocument again;
    FUZZ_CHECK(ReadHelpFile(file.data(), file.size(), again, error));
    FUZZ_CHECK(SameDocument(again, doc));
    return 0;
}
