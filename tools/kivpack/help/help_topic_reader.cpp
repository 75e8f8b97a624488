// The |TOPIC walk: blocks expanded into one buffer, TOPICLINKs followed from
// the first to the last, topic headers and text records decoded.
#include <algorithm>
#include "tools/kivpack/help/help_reader.h"

namespace kivpack::help {
namespace {

constexpr size_t LinkHeaderSize = 21;
constexpr size_t ExpandedBlockLimit = 0x4000;
constexpr size_t MaxLinkText = 1 << 24;

struct Walk {
    const TopicLayout& layout;
    std::vector<uint8_t> buffer;        // the blocks' data, expanded, one after another
    std::vector<size_t> blockStart;     // where each block's data starts in `buffer`
    std::string& error;

    bool Fail(const std::string& reason)
    {
        error = "the help file's |TOPIC is damaged: " + reason;
        return false;
    }

    // Where a TOPICPOS lies in `buffer`; false when it lies outside.
    bool Locate(uint32_t pos, size_t& at) const
    {
        if (pos < 12) return false;
        size_t block = (pos - 12) >> 14, offset = (pos - 12) & 0x3FFF;
        if (block >= blockStart.size()) return false;
        at = blockStart[block] + offset;
        return at < buffer.size();
    }

    std::string ExpandPhrases(Bytes in, size_t limit) const
    {
        std::string out;
        for (size_t i = 0; i < in.size && out.size() < limit; ++i) {
            uint8_t c = in.data[i];
            if (c == 0 || c >= 0x10 || i + 1 >= in.size) {
                out += char(c);
                continue;
            }
            uint32_t code = 256u * c + in.data[++i] - 256u;
            size_t index = code / 2;
            if (index < layout.phrases->size()) out += (*layout.phrases)[index];
            if (code & 1) out += ' ';
        }
        if (out.size() > limit) out.resize(limit);
        return out;
    }
};

// Decodes one text record's paragraphs (a plain record, or a table record
// cell by cell) into runs.
bool ReadTextRecord(uint8_t type, Bytes format, const std::string& text, const TopicLayout& layout,
                    std::vector<ReadParagraph>& out)
{
    Cursor c{format};
    size_t t = 0;
    auto nextString = [&]() {
        size_t end = text.find('\0', t);
        if (end == std::string::npos) end = text.size();
        std::string s = text.substr(std::min(t, text.size()), end - std::min(t, end));
        t = end + 1;
        return s;
    };
    c.CompressedLong();
    c.CompressedUShort();
    if (type == 0x23) {
        uint8_t columns = c.U8(), tableType = c.U8();
        if (tableType == 0 || tableType == 2) c.Skip(2);
        c.Skip(size_t(columns) * 4);
    }
    bool bold = false, italic = false, jump = false, hashed = false;
    int32_t hash = 0;
    ReadParagraph paragraph;
    auto finish = [&]() {
        if (!paragraph.runs.empty()) out.push_back(std::move(paragraph));
        paragraph = ReadParagraph();
    };
    while (c.ok) {
        if (type == 0x23) {
            int16_t column = int16_t(c.U16());
            if (column == -1) break;
            c.Skip(3);
        }
        c.Skip(4);
        uint16_t bits = c.U16();
        if (bits & 0x0001) c.CompressedLong();
        for (uint16_t b = 0x0002; b <= 0x0040; b <<= 1)
            if (bits & b) c.CompressedShort();
        if (bits & 0x0100) c.Skip(3);
        if (bits & 0x0200) {
            int32_t stops = c.CompressedShort();
            for (int32_t i = 0; i < stops && c.ok; ++i)
                if (c.CompressedUShort() & 0x4000) c.CompressedUShort();
        }
        bool endOfGroup = false;
        while (c.ok && !endOfGroup) {
            std::string s = nextString();
            if (!s.empty()) {
                ReadRun run;
                run.run.text = s;
                run.run.bold = bold;
                run.run.italic = italic;
                run.run.jump = jump;
                run.hashed = jump && hashed;
                run.hash = hash;
                if (!paragraph.runs.empty()) {
                    ReadRun& last = paragraph.runs.back();
                    if (last.run.bold == bold && last.run.italic == italic && last.run.jump == jump &&
                        last.hashed == run.hashed && last.hash == hash) {
                        last.run.text += s;
                        s.clear();
                    }
                }
                if (!s.empty()) paragraph.runs.push_back(std::move(run));
            }
            uint8_t command = c.U8();
            auto append = [&](const char* chars) {
                if (paragraph.runs.empty() || paragraph.runs.back().run.jump != jump) {
                    ReadRun run;
                    run.run.bold = bold, run.run.italic = italic, run.run.jump = jump;
                    run.hashed = jump && hashed, run.hash = hash;
                    paragraph.runs.push_back(run);
                }
                paragraph.runs.back().run.text += chars;
            };
            switch (command) {
            case 0xFF: endOfGroup = true; finish(); break;
            case 0x82: finish(); break;
            case 0x81: append("\n"); break;
            case 0x83: append("\t"); break;
            case 0x8B: append(" "); break;
            case 0x8C: break;
            case 0x20: c.Skip(4); break;
            case 0x21: c.Skip(2); break;
            case 0x80: {
                auto style = layout.fontStyles.find(c.U16());
                bold = style != layout.fontStyles.end() && style->second.first;
                italic = style != layout.fontStyles.end() && style->second.second;
                break;
            }
            case 0x86: case 0x87: case 0x88: {
                uint8_t pictureType = c.U8();
                int32_t length = c.CompressedLong();
                if (pictureType == 0x22) c.CompressedUShort();
                if (length < 0) return false;
                c.Skip(size_t(length));
                break;
            }
            case 0x89: jump = false; break;
            case 0xC8: case 0xCC: c.Skip(c.U16()); jump = command == 0xC8; hashed = false; break;
            case 0xE0: case 0xE1: case 0xE2: case 0xE3: case 0xE6: case 0xE7:
                hash = int32_t(c.U32());
                jump = hashed = true;
                break;
            case 0xEA: case 0xEB: case 0xEE: case 0xEF: c.Skip(c.U16()); jump = true; hashed = false; break;
            default: return false;
            }
        }
        if (type != 0x23) break;
    }
    return c.ok;
}

} // namespace

void ReadFontStyles(Bytes font, std::map<uint16_t, std::pair<bool, bool>>& styles)
{
    Cursor c{font};
    c.U16();
    uint16_t descriptors = c.U16(), facesAt = c.U16(), descriptorsAt = c.U16();
    if (!c.ok || facesAt >= 12) return;  // descriptors of the multimedia formats carry no plain bits
    for (uint16_t i = 0; i < descriptors; ++i) {
        size_t at = size_t(descriptorsAt) + size_t(i) * 11;
        if (at >= font.size) break;
        styles[i] = {(font.data[at] & 1) != 0, (font.data[at] & 2) != 0};
    }
}

bool ReadTopics(Bytes topic, const TopicLayout& layout, std::vector<ReadTopic>& topics, std::string& error)
{
    Walk w{layout, {}, {}, error};
    for (size_t at = 0; at < topic.size; at += layout.blockSize) {
        if (topic.size - at < 12) break;
        Bytes data{topic.data + at + 12, std::min(layout.blockSize, topic.size - at) - 12};
        w.blockStart.push_back(w.buffer.size());
        if (layout.compressed) {
            std::vector<uint8_t> expanded = ExpandLz77(data, ExpandedBlockLimit);
            w.buffer.insert(w.buffer.end(), expanded.begin(), expanded.end());
        } else {
            w.buffer.insert(w.buffer.end(), data.data, data.data + data.size);
        }
    }
    size_t at = 0, block = SIZE_MAX, characters = 0;
    uint32_t pos = 12;
    if (!w.Locate(pos, at)) return w.Fail("it holds no topic");
    for (;;) {
        Cursor c{Bytes{w.buffer.data() + at, w.buffer.size() - at}};
        uint32_t blockSize = c.U32(), dataLen2 = c.U32();
        c.U32();
        uint32_t next = c.U32(), dataLen1 = c.U32();
        uint8_t type = c.U8();
        if (!c.ok || dataLen1 < LinkHeaderSize || blockSize < dataLen1 || blockSize > w.buffer.size() - at)
            return w.Fail("a topic link does not fit");
        if (dataLen2 > MaxLinkText) return w.Fail("a topic link's text is too long");
        Bytes data1{w.buffer.data() + at + LinkHeaderSize, dataLen1 - LinkHeaderSize};
        Bytes data2{w.buffer.data() + at + dataLen1, blockSize - dataLen1};
        std::string text;
        if (dataLen2 <= data2.size) text.assign(reinterpret_cast<const char*>(data2.data), dataLen2);
        else if (layout.phrases) text = w.ExpandPhrases(data2, dataLen2);
        else return w.Fail("a topic link's text is compressed, but the file has no phrases");

        if (((pos - 12) >> 14) != block) block = (pos - 12) >> 14, characters = 0;
        if (type == 0x02) {
            ReadTopic t;
            t.title = text.substr(0, text.find('\0'));
            t.offset = uint32_t(block * 0x8000 + characters);
            topics.push_back(std::move(t));
        } else if (type == 0x20 || type == 0x23) {
            Cursor sizes{data1};
            sizes.CompressedLong();
            characters += sizes.CompressedUShort();
            if (topics.empty()) return w.Fail("text comes before the first topic header");
            if (!ReadTextRecord(type, data1, text, layout, topics.back().paragraphs))
                return w.Fail("a text record's formatting is damaged");
        }
        if (next == 0xFFFFFFFF || next == 0) break;
        size_t nextAt = 0;
        if (!w.Locate(next, nextAt) || nextAt <= at) return w.Fail("a topic link points outside the chain");
        at = nextAt;
        pos = next;
    }
    return true;
}

void ResolveTopics(const std::vector<ReadTopic>& topics, const std::vector<std::pair<uint32_t, uint32_t>>& map,
                   const std::map<int32_t, uint32_t>& contextOffsets, HelpDocument& doc)
{
    // The topic that holds a TOPICOFFSET: the one with the greatest offset at
    // or before it (of equal offsets, the first in the file).
    std::vector<std::pair<uint32_t, size_t>> byOffset;
    for (size_t i = 0; i < topics.size(); ++i) byOffset.push_back({topics[i].offset, i});
    std::stable_sort(byOffset.begin(), byOffset.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    auto topicAt = [&](uint32_t offset) -> size_t {
        auto it = std::upper_bound(byOffset.begin(), byOffset.end(), offset,
                                   [](uint32_t v, const auto& e) { return v < e.first; });
        if (it == byOffset.begin()) return SIZE_MAX;
        uint32_t found = (--it)->first;
        while (it != byOffset.begin() && (it - 1)->first == found) --it;
        return it->second;
    };
    std::vector<bool> mapped(topics.size(), false);
    std::vector<uint32_t> context(topics.size(), 0);
    for (const auto& m : map) {
        size_t t = topicAt(m.second);
        if (t == SIZE_MAX) continue;
        if (!mapped[t] || m.first < context[t]) context[t] = m.first;
        mapped[t] = true;
    }
    for (size_t i = 0; i < topics.size(); ++i) {
        const ReadTopic& rt = topics[i];
        if (rt.title.empty() && rt.paragraphs.empty()) continue;  // the chain's closing link
        HelpTopic topic{context[i], rt.title, {}, {}, {}};
        bool first = true;
        for (const ReadParagraph& rp : rt.paragraphs) {
            Paragraph p;
            for (const ReadRun& rr : rp.runs) {
                Run run = rr.run;
                run.jump = false;
                if (rr.hashed) {
                    auto found = contextOffsets.find(rr.hash);
                    size_t target = found == contextOffsets.end() ? SIZE_MAX : topicAt(found->second);
                    if (target != SIZE_MAX && mapped[target]) run.jump = true, run.target = context[target];
                }
                p.runs.push_back(std::move(run));
            }
            std::string plain = PlainText(p);
            if (first && plain == rt.title) {
                first = false;
                continue;
            }
            first = false;
            if (!topic.text.empty()) topic.text += "\n\n", topic.marked += "\n\n";
            topic.text += plain;
            topic.marked += MarkedText(p);
            topic.paragraphs.push_back(std::move(p));
        }
        doc.topics.push_back(std::move(topic));
    }
}

} // namespace kivpack::help
