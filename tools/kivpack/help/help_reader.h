// The reader's pieces: bounded byte cursors, the |TOPIC walk and the mapping
// of contexts to topics.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>
#include "tools/kivpack/help/help_file.h"
#include "tools/kivpack/help/help_model.h"

namespace kivpack::help {

struct Bytes {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// Reads little-endian fields; a read past the end yields zeros and clears
// `ok` for good, so a caller checks once after a group of reads.
struct Cursor {
    Bytes bytes;
    size_t pos = 0;
    bool ok = true;

    bool Need(size_t n)
    {
        if (ok && bytes.size - pos >= n) return true;
        ok = false;
        return false;
    }
    uint8_t U8() { return Need(1) ? bytes.data[pos++] : 0; }
    uint16_t U16()
    {
        if (!Need(2)) return 0;
        uint16_t v = uint16_t(bytes.data[pos] | bytes.data[pos + 1] << 8);
        pos += 2;
        return v;
    }
    uint32_t U32()
    {
        uint32_t low = U16();
        return low | uint32_t(U16()) << 16;
    }
    void Skip(size_t n)
    {
        if (Need(n)) pos += n;
    }
    Bytes Take(size_t n)
    {
        if (!Need(n)) return Bytes{};
        Bytes b{bytes.data + pos, n};
        pos += n;
        return b;
    }
    Bytes Rest() const { return Bytes{bytes.data + pos, ok ? bytes.size - pos : 0}; }
    // A NUL-terminated string; one that runs to the end is taken whole.
    std::string String()
    {
        std::string s;
        while (ok && pos < bytes.size && bytes.data[pos]) s += char(bytes.data[pos++]);
        if (pos < bytes.size) ++pos;
        return s;
    }
    // The compressed integers of topic records: the low bit says whether the
    // value takes one or two units.
    uint32_t CompressedUShort()
    {
        uint8_t first = U8();
        return first & 1 ? (first >> 1) + 128u * U8() : first >> 1u;
    }
    int32_t CompressedShort()
    {
        uint8_t first = U8();
        return first & 1 ? int32_t((first >> 1) + 128u * U8()) - 16384 : int32_t(first >> 1) - 64;
    }
    int32_t CompressedLong()
    {
        uint16_t first = U16();
        return first & 1 ? int32_t(((first >> 1) + 32768u * U16()) - 67108864u) : int32_t(first >> 1) - 16384;
    }
};

struct TopicLayout {
    size_t blockSize = 4096;
    bool compressed = false;
    const std::vector<std::string>* phrases = nullptr;
    std::map<uint16_t, std::pair<bool, bool>> fontStyles;  // font -> bold, italic
};

// A topic as the walk finds it: jumps carry the target's context-name hash
// (`hashed`) or lead out of the file (plain text).
struct ReadRun {
    Run run;
    bool hashed = false;
    int32_t hash = 0;
};
struct ReadParagraph {
    std::vector<ReadRun> runs;
};
struct ReadTopic {
    std::string title;
    uint32_t offset = 0;  // TOPICOFFSET
    std::vector<ReadParagraph> paragraphs;
};

std::vector<uint8_t> ExpandLz77(Bytes in, size_t limit);
void ReadFontStyles(Bytes font, std::map<uint16_t, std::pair<bool, bool>>& styles);
bool ReadTopics(Bytes topic, const TopicLayout& layout, std::vector<ReadTopic>& topics, std::string& error);
void ResolveTopics(const std::vector<ReadTopic>& topics, const std::vector<std::pair<uint32_t, uint32_t>>& map,
                   const std::map<int32_t, uint32_t>& contextOffsets, HelpDocument& doc);

} // namespace kivpack::help
