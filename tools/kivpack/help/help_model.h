// What the help source parser, the WinHelp writer and the reader share: topics
// as paragraphs of styled runs, and little-endian byte helpers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kivpack::help {

// Text of one style; a run inside a jump carries the jump's target context.
struct Run {
    std::string text;
    bool bold = false;
    bool italic = false;
    bool jump = false;
    uint32_t target = 0;
};

struct Paragraph {
    std::vector<Run> runs;
    int line = 0;  // the source line where it starts (0 when read from a file)
};

struct SourceTopic {
    uint32_t context = 0;
    std::string title;
    std::vector<Paragraph> paragraphs;
    int line = 0;
};

struct HelpSource {
    std::string title;
    std::vector<SourceTopic> topics;
};

// Upper limits of the source that the file format can carry: a title is a
// caption and a B+ tree key; a paragraph's record, its text with a NUL for
// each of up to three commands per run, has a 15-bit length; the context
// map counts its entries in 16 bits.
constexpr size_t MaxTitleLength = 255;
constexpr size_t MaxParagraphLength = 8000;
constexpr size_t MaxTopics = 32767;
constexpr size_t MaxSourceSize = 64u << 20;
constexpr uint32_t MaxContext = 2147483647u;

// Parses one paragraph's markup into runs. False with a reason on unbalanced
// markup or a malformed jump.
bool ParseParagraph(const std::string& text, Paragraph& paragraph, std::string& reason);
// The paragraph in source syntax, escaped so that ParseParagraph gives back
// the same runs (adjacent runs of one style come back merged).
std::string MarkedText(const Paragraph& paragraph);
std::string PlainText(const Paragraph& paragraph);

// Parses a whole source. False with "name:line: reason" messages on faults.
bool ParseHelpSource(const std::string& text, const std::string& name, HelpSource& source,
                     std::vector<std::string>& errors);
// Writes the parsed source as a WinHelp 3.1 file.
std::vector<uint8_t> WriteHelpFile(const HelpSource& source);

// The context name under which a topic is known in the file's |CONTEXT tree,
// and the hash of such a name that the viewers look up.
int32_t ContextNameHash(const std::string& name);

inline void Put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
inline void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
inline void Set32(std::vector<uint8_t>& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
}
inline void PutString(std::vector<uint8_t>& out, const std::string& s)
{
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
}

} // namespace kivpack::help
