// The help source: its line syntax, the markup of a paragraph, and the way
// back from a read file to source text.
#include <map>
#include "tools/kivpack/help/help_file.h"
#include "tools/kivpack/help/help_model.h"

namespace kivpack::help {
namespace {

bool IsEscapable(char c)
{
    return c == '*' || c == '[' || c == ']' || c == '\\' || c == '#' || c == '%';
}

std::string Trim(const std::string& s)
{
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

// Parses a decimal number at s[pos...]; false when there is no digit or it is
// above MaxContext.
bool ParseNumber(const std::string& s, size_t& pos, uint32_t& value, bool& tooLarge)
{
    size_t start = pos;
    uint64_t v = 0;
    tooLarge = false;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
        v = v * 10 + uint64_t(s[pos] - '0');
        if (v > MaxContext) tooLarge = true;
        ++pos;
    }
    value = uint32_t(tooLarge ? 0 : v);
    return pos > start && !tooLarge;
}

struct ParagraphBuilder {
    Paragraph& paragraph;
    std::string text;
    bool bold = false, italic = false, jump = false;

    void Flush()
    {
        if (text.empty()) return;
        Run run;
        run.text.swap(text);
        run.bold = bold;
        run.italic = italic;
        run.jump = jump;
        paragraph.runs.push_back(std::move(run));
    }
};

} // namespace

bool ParseParagraph(const std::string& text, Paragraph& paragraph, std::string& reason)
{
    ParagraphBuilder b{paragraph, {}};
    size_t jumpStart = 0;
    for (size_t i = 0; i < text.size();) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size() && IsEscapable(text[i + 1])) {
            b.text += text[i + 1];
            i += 2;
        } else if (c == '*') {
            b.Flush();
            if (i + 1 < text.size() && text[i + 1] == '*') {
                b.bold = !b.bold;
                i += 2;
            } else {
                b.italic = !b.italic;
                i += 1;
            }
        } else if (c == '[') {
            if (b.jump) {
                reason = "a jump cannot contain another '[' (write \\[ for the character)";
                return false;
            }
            b.Flush();
            b.jump = true;
            jumpStart = paragraph.runs.size();
            ++i;
        } else if (c == ']' && b.jump) {
            b.Flush();
            size_t pos = i + 1;
            uint32_t target = 0;
            bool tooLarge = false;
            if (pos >= text.size() || text[pos] != '(' || !ParseNumber(text, ++pos, target, tooLarge) ||
                pos >= text.size() || text[pos] != ')') {
                reason = tooLarge ? "the jump's help context is above 2147483647"
                                  : "a jump's ']' must be followed by (NUMBER), the help context of its topic";
                return false;
            }
            if (jumpStart == paragraph.runs.size()) {
                reason = "a jump needs text between '[' and ']'";
                return false;
            }
            for (size_t r = jumpStart; r < paragraph.runs.size(); ++r) paragraph.runs[r].target = target;
            b.jump = false;
            i = pos + 1;
        } else {
            b.text += c;
            ++i;
        }
    }
    b.Flush();
    if (b.jump) reason = "'[' starts a jump that is not closed with ](NUMBER) (write \\[ for the character)";
    else if (b.bold) reason = "'**' starts bold text that is not closed in this paragraph";
    else if (b.italic) reason = "'*' starts italic text that is not closed in this paragraph (write \\* for the character)";
    return reason.empty();
}

std::string MarkedText(const Paragraph& paragraph)
{
    std::string out;
    bool bold = false, italic = false, jump = false;
    uint32_t target = 0;
    for (const Run& run : paragraph.runs) {
        if (run.text.empty()) continue;
        // Style marks go inside a jump's brackets: after '[', before ']'.
        bool leaving = jump && (!run.jump || run.target != target);
        auto toggles = [&]() {
            if (run.bold != bold) out += "**";
            if (run.italic != italic) out += "*";
            bold = run.bold;
            italic = run.italic;
        };
        if (leaving) {
            toggles();
            out += "](" + std::to_string(target) + ")";
            jump = false;
        }
        if (run.jump && !jump) {
            out += '[';
            jump = true;
            target = run.target;
        }
        toggles();
        for (char c : run.text) {
            if (c == '\\' || c == '*' || c == '[' || c == ']' || (out.empty() && (c == '#' || c == '%')))
                out += '\\';
            out += c;
        }
    }
    if (bold) out += "**";
    if (italic) out += "*";
    if (jump) out += "](" + std::to_string(target) + ")";
    return out;
}

std::string PlainText(const Paragraph& paragraph)
{
    std::string out;
    for (const Run& run : paragraph.runs) out += run.text;
    return out;
}

bool ParseHelpSource(const std::string& text, const std::string& name, HelpSource& source,
                     std::vector<std::string>& errors)
{
    auto fault = [&](int line, const std::string& reason) {
        errors.push_back(name + ":" + std::to_string(line) + ": " + reason);
    };
    std::map<uint32_t, int> contextLines;
    bool haveTitle = false;
    std::string pending;
    int pendingLine = 0;

    auto flush = [&]() {
        if (pending.empty()) return;
        Paragraph p;
        p.line = pendingLine;
        std::string reason;
        if (!ParseParagraph(pending, p, reason)) fault(pendingLine, reason);
        else if (PlainText(p).size() > MaxParagraphLength)
            fault(pendingLine, "the paragraph is longer than " + std::to_string(MaxParagraphLength) +
                                   " characters: split it with a blank line");
        else if (!source.topics.empty() && !p.runs.empty()) source.topics.back().paragraphs.push_back(std::move(p));
        pending.clear();
    };

    int lineNumber = 0;
    for (size_t pos = 0; pos <= text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (end == text.size() && line.empty()) break;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        bool control = false;
        for (char& c : line) {
            if (c == '\t') c = ' ';
            else if ((unsigned char)c < 0x20 || c == 0x7F) control = true;
        }
        if (control) {
            fault(lineNumber, "a control character is not help text");
            continue;
        }
        std::string trimmed = Trim(line);
        if (!line.empty() && line[0] == '%') {
            flush();
            std::string title = Trim(line.substr(1));
            if (haveTitle) fault(lineNumber, "a second title for the help file ('%' comes once)");
            else if (!source.topics.empty()) fault(lineNumber, "the help file's title ('% TITLE') must come before the first topic");
            else if (title.empty()) fault(lineNumber, "the help file's title is missing after '%'");
            else if (title.size() > MaxTitleLength) fault(lineNumber, "the help file's title is longer than 255 characters");
            haveTitle = true;
            source.title = title;
        } else if (!line.empty() && line[0] == '#') {
            flush();
            size_t p = 1;
            while (p < line.size() && line[p] == ' ') ++p;
            uint32_t context = 0;
            bool tooLarge = false;
            if (!ParseNumber(line, p, context, tooLarge) || (p < line.size() && line[p] != ' ')) {
                fault(lineNumber, tooLarge ? "a help context is a number from 0 to 2147483647"
                                           : "'#' must be followed by a help context number and the topic's title");
                source.topics.emplace_back();  // the topic's text still belongs to it
                source.topics.back().line = lineNumber;
                continue;
            }
            if (source.topics.size() == MaxTopics) fault(lineNumber, "more than 32767 topics");
            SourceTopic topic;
            topic.context = context;
            topic.title = Trim(line.substr(p));
            topic.line = lineNumber;
            if (topic.title.empty()) fault(lineNumber, "topic " + std::to_string(context) + " has no title");
            else if (topic.title.size() > MaxTitleLength)
                fault(lineNumber, "the title of topic " + std::to_string(context) + " is longer than 255 characters");
            auto found = contextLines.find(context);
            if (found != contextLines.end())
                fault(lineNumber, "help context " + std::to_string(context) + " is used twice (first at line " +
                                      std::to_string(found->second) + ")");
            else contextLines[context] = lineNumber;
            source.topics.push_back(std::move(topic));
        } else if (trimmed.empty()) {
            flush();
        } else if (source.topics.empty()) {
            fault(lineNumber, "text before the first topic (a topic starts with '# NUMBER TITLE')");
        } else {
            if (pending.empty()) pendingLine = lineNumber;
            else pending += ' ';
            pending += trimmed;
        }
    }
    flush();
    if (!haveTitle) fault(1, "the help file has no title: add a line '% TITLE' before the first topic");
    if (source.topics.empty() && errors.empty()) fault(1, "the help file has no topic ('# NUMBER TITLE')");
    for (const SourceTopic& topic : source.topics)
        for (const Paragraph& p : topic.paragraphs)
            for (const Run& run : p.runs)
                if (run.jump && !contextLines.count(run.target)) {
                    fault(p.line, "a jump to help context " + std::to_string(run.target) + ", which no topic has");
                    break;
                }
    return errors.empty();
}

bool CompileHelpSource(const std::string& text, const std::string& name, std::vector<uint8_t>& out,
                       std::vector<std::string>& errors)
{
    out.clear();
    // Topic offsets count 32 KB per 4 KB block in 32 bits: far beyond this.
    if (text.size() > MaxSourceSize) {
        errors.push_back(name + ":1: the help source is larger than 64 MB");
        return false;
    }
    HelpSource source;
    if (!ParseHelpSource(text, name, source, errors)) return false;
    out = WriteHelpFile(source);
    return true;
}

std::string HelpSourceFromDocument(const HelpDocument& doc)
{
    std::string out = "% " + doc.title + "\n";
    for (const HelpTopic& topic : doc.topics) {
        out += "\n# " + std::to_string(topic.context) + " " + topic.title + "\n";
        if (!topic.marked.empty()) out += "\n" + topic.marked + "\n";
    }
    return out;
}

} // namespace kivpack::help
