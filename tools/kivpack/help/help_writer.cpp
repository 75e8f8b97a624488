// Writing a WinHelp 3.1 file from parsed help source.
//
// |TOPIC is a chain of TOPICLINKs (a topic header, then one text record per
// paragraph, the first repeating the title as a heading) cut into blocks of
// 4096 bytes: a 12-byte block header and 4084 bytes of LZ77 data. The data
// holds only literals, eight to a flag byte, so every block expands to
// exactly BlockCapacity bytes and a link's position (TOPICPOS: block * 0x4000
// + offset + 12) is known before anything is written; viewers read LZ77
// blocks under that one addressing rule, while plain blocks have been read
// under two. Topics are addressed by TOPICOFFSET (block * 0x8000 + the text
// length of the records before it in its block).
#include <algorithm>
#include <map>
#include <set>
#include "tools/kivpack/help/help_container.h"
#include "tools/kivpack/help/help_model.h"

namespace kivpack::help {
namespace {

constexpr size_t TopicBlockSize = 4096;
constexpr size_t BlockCapacity = 3630;  // 453 groups of 8 literals and one of 6 in 4084 bytes
constexpr size_t LinkHeaderSize = 21;
constexpr uint8_t TopicHeaderRecord = 0x02;
constexpr uint8_t TextRecord = 0x20;

// Fonts of |FONT, by number: the body styles and the heading.
enum Font : uint16_t { Plain, Bold, Italic, BoldItalic, Heading, FontCount };

uint32_t TopicPos(size_t streamPos)
{
    return uint32_t((streamPos / BlockCapacity) * 0x4000 + streamPos % BlockCapacity + 12);
}

void PutCompressedShort(std::vector<uint8_t>& out, int v)  // signed, -64..63
{
    out.push_back(uint8_t((v + 64) * 2));
}
void PutCompressedUShort(std::vector<uint8_t>& out, uint32_t v)  // 0..32767
{
    if (v < 128) out.push_back(uint8_t(v * 2));
    else Put16(out, v * 2 + 1);
}
void PutCompressedLong(std::vector<uint8_t>& out, int32_t v)
{
    if (v >= -16384 && v < 16384) Put16(out, uint32_t(v + 16384) * 2);
    else Put32(out, uint32_t(v + 67108864) * 2 + 1);
}

struct Link {
    uint8_t type;
    std::vector<uint8_t> data1;  // after the 21-byte link header
    std::vector<uint8_t> data2;
    size_t topic;                // the topic it belongs to
    size_t Size() const { return LinkHeaderSize + data1.size() + data2.size(); }
};

// A text record of one paragraph: paragraph format, then one formatting
// command after each NUL-terminated string of the text.
Link TextLink(const Paragraph& paragraph, bool heading, const std::map<uint32_t, int32_t>& hashes, size_t topic)
{
    std::vector<uint8_t> commands;
    std::vector<uint8_t> text;
    std::string pending;
    auto command = [&](std::initializer_list<uint8_t> bytes) {
        text.insert(text.end(), pending.begin(), pending.end());
        text.push_back(0);
        pending.clear();
        commands.insert(commands.end(), bytes);
    };
    int font = -1;
    bool inJump = false;
    uint32_t target = 0;
    for (const Run& run : paragraph.runs) {
        if (run.text.empty()) continue;
        if (inJump && (!run.jump || run.target != target)) {
            command({0x89});  // end of hotspot
            inJump = false;
        }
        if (run.jump && !inJump) {
            uint32_t hash = uint32_t(hashes.at(run.target));
            command({0xE3, uint8_t(hash), uint8_t(hash >> 8), uint8_t(hash >> 16), uint8_t(hash >> 24)});
            inJump = true;
            target = run.target;
        }
        int want = heading ? Heading : (run.bold ? (run.italic ? BoldItalic : Bold) : (run.italic ? Italic : Plain));
        if (want != font) {
            command({0x80, uint8_t(want), 0});
            font = want;
        }
        pending += run.text;
    }
    if (inJump) command({0x89});
    command({0x82});  // end of paragraph
    command({0xFF});  // end of formatting

    // The paragraph's format and commands, preceded by their length (the
    // value that files shown by every viewer carry there) and the text's.
    std::vector<uint8_t> format = {0x00, 0x80, 0x00, 0x00};
    Put16(format, 0x0004);          // the spacing below follows
    PutCompressedShort(format, 12);  // half points
    format.insert(format.end(), commands.begin(), commands.end());
    Link link{TextRecord, {}, std::move(text), topic};
    PutCompressedLong(link.data1, int32_t(format.size()));
    PutCompressedUShort(link.data1, uint32_t(link.data2.size()));
    link.data1.insert(link.data1.end(), format.begin(), format.end());
    return link;
}

std::vector<uint8_t> FontFile()
{
    std::vector<uint8_t> out;
    const size_t faceLength = 32;
    Put16(out, 1);
    Put16(out, FontCount);
    Put16(out, 8);
    Put16(out, uint16_t(8 + faceLength));
    std::string face = "Arial";
    face.resize(faceLength, '\0');
    out.insert(out.end(), face.begin(), face.end());
    const uint8_t attributes[FontCount] = {0, 1, 2, 3, 1};  // bit 0 bold, bit 1 italic
    const uint8_t halfPoints[FontCount] = {20, 20, 20, 20, 28};
    for (int f = 0; f < FontCount; ++f) {
        out.push_back(attributes[f]);
        out.push_back(halfPoints[f]);
        out.push_back(3);  // swiss
        Put16(out, 0);     // the face name
        out.insert(out.end(), {0, 0, 0, 0xFF, 0xFF, 0xFF});
    }
    return out;
}

} // namespace

int32_t ContextNameHash(const std::string& name)
{
    if (name.empty()) return 1;
    uint32_t hash = 0;
    for (unsigned char c : name) {
        uint32_t x = 0;
        if (c >= 'A' && c <= 'Z') x = c - 'A' + 17;
        else if (c >= 'a' && c <= 'z') x = c - 'a' + 17;
        else if (c >= '1' && c <= '9') x = c - '0';
        else if (c == '0') x = 10;
        else if (c == '.') x = 12;
        else if (c == '_') x = 13;
        hash = hash * 43 + x;
    }
    return int32_t(hash);
}

std::vector<uint8_t> WriteHelpFile(const HelpSource& source)
{
    const size_t topicCount = source.topics.size();

    // Context names and their hashes, unique within the file.
    std::map<uint32_t, int32_t> hashes;
    std::set<int32_t> used;
    for (const SourceTopic& topic : source.topics) {
        std::string name = "IDH_" + std::to_string(topic.context);
        int32_t hash = ContextNameHash(name);
        for (int k = 1; used.count(hash); ++k) hash = ContextNameHash(name + "_" + std::to_string(k));
        used.insert(hash);
        hashes[topic.context] = hash;
    }

    // The links in order; the terminating empty topic header comes last.
    std::vector<Link> links;
    std::vector<size_t> headerLink(topicCount + 1);
    for (size_t t = 0; t <= topicCount; ++t) {
        headerLink[t] = links.size();
        Link header{TopicHeaderRecord, std::vector<uint8_t>(28, 0), {}, t};
        if (t < topicCount) header.data2.assign(source.topics[t].title.begin(), source.topics[t].title.end());
        links.push_back(std::move(header));
        if (t == topicCount) break;
        Paragraph heading;
        heading.runs.push_back(Run{source.topics[t].title});
        links.push_back(TextLink(heading, true, hashes, t));
        for (const Paragraph& p : source.topics[t].paragraphs) links.push_back(TextLink(p, false, hashes, t));
    }

    // Positions in the expanded stream, and each topic's TOPICOFFSET.
    std::vector<size_t> start(links.size());
    std::vector<uint32_t> topicOffset(topicCount + 1);
    std::vector<uint32_t> topicSize(topicCount + 1, 0);
    size_t pos = 0, block = SIZE_MAX, characters = 0;
    for (size_t i = 0; i < links.size(); ++i) {
        start[i] = pos;
        if (pos / BlockCapacity != block) block = pos / BlockCapacity, characters = 0;
        if (links[i].type == TopicHeaderRecord) {
            topicOffset[links[i].topic] = uint32_t(block * 0x8000 + characters);
        } else {
            characters += links[i].data2.size();
            topicSize[links[i].topic] += uint32_t(links[i].Size());
        }
        pos += links[i].Size();
    }
    const size_t streamSize = pos;

    // Topic headers: the size of the topic's records, the browse sequence in
    // file order, the topic's number, its regions and the next topic.
    for (size_t t = 0; t <= topicCount; ++t) {
        std::vector<uint8_t>& h = links[headerLink[t]].data1;
        bool real = t < topicCount;
        Set32(h, 0, real ? topicSize[t] : 0);
        Set32(h, 4, real && t > 0 ? topicOffset[t - 1] : 0xFFFFFFFF);
        Set32(h, 8, real && t + 1 < topicCount ? topicOffset[t + 1] : 0xFFFFFFFF);
        Set32(h, 12, uint32_t(t));
        Set32(h, 16, 0xFFFFFFFF);
        Set32(h, 20, real ? TopicPos(start[headerLink[t] + 1]) : 0xFFFFFFFF);
        Set32(h, 24, real ? TopicPos(start[headerLink[t + 1]]) : 0xFFFFFFFF);
    }

    // The expanded stream.
    std::vector<uint8_t> stream;
    stream.reserve(streamSize);
    for (size_t i = 0; i < links.size(); ++i) {
        const Link& link = links[i];
        Put32(stream, uint32_t(link.Size()));
        Put32(stream, uint32_t(link.data2.size()));
        Put32(stream, i == 0 ? 0xFFFFFFFF : TopicPos(start[i - 1]));
        Put32(stream, i + 1 == links.size() ? 0xFFFFFFFF : TopicPos(start[i + 1]));
        Put32(stream, uint32_t(LinkHeaderSize + link.data1.size()));
        stream.push_back(link.type);
        stream.insert(stream.end(), link.data1.begin(), link.data1.end());
        stream.insert(stream.end(), link.data2.begin(), link.data2.end());
    }
    const size_t blocks = (streamSize + BlockCapacity - 1) / BlockCapacity;
    stream.resize(blocks * BlockCapacity, 0);

    // Blocks: header, then the literals.
    std::vector<uint8_t> topic;
    topic.reserve(blocks * TopicBlockSize);
    size_t link = 0;
    uint32_t lastLink = 0xFFFFFFFF, lastHeader = 0;
    for (size_t b = 0; b < blocks; ++b) {
        size_t blockStart = b * BlockCapacity, blockEnd = blockStart + BlockCapacity;
        uint32_t first = link < links.size() && start[link] < blockEnd ? TopicPos(start[link]) : 0xFFFFFFFF;
        Put32(topic, lastLink);
        Put32(topic, first);
        Put32(topic, lastHeader);
        for (; link < links.size() && start[link] < blockEnd; ++link) {
            lastLink = TopicPos(start[link]);
            if (links[link].type == TopicHeaderRecord) lastHeader = lastLink;
        }
        for (size_t g = blockStart; g < blockEnd; g += 8) {
            topic.push_back(0);
            size_t n = std::min<size_t>(8, blockEnd - g);
            topic.insert(topic.end(), stream.begin() + g, stream.begin() + g + n);
        }
    }

    std::vector<InternalFile> files;

    std::vector<BTreeEntry> context;
    context.resize(topicCount);
    {
        std::vector<std::pair<int32_t, uint32_t>> sorted;
        for (size_t t = 0; t < topicCount; ++t) sorted.push_back({hashes[source.topics[t].context], topicOffset[t]});
        std::sort(sorted.begin(), sorted.end());
        for (size_t i = 0; i < sorted.size(); ++i) {
            context[i].key.clear();
            Put32(context[i].key, uint32_t(sorted[i].first));
            context[i].leaf = context[i].key;
            Put32(context[i].leaf, sorted[i].second);
        }
    }
    files.push_back({"|CONTEXT", BuildBTree(context, 2048, 0x0002, "L4")});

    std::vector<std::pair<uint32_t, uint32_t>> map;
    for (size_t t = 0; t < topicCount; ++t) map.push_back({source.topics[t].context, topicOffset[t]});
    std::sort(map.begin(), map.end());
    std::vector<uint8_t> ctxomap;
    Put16(ctxomap, uint16_t(map.size()));
    for (const auto& m : map) Put32(ctxomap, m.first), Put32(ctxomap, m.second);
    files.push_back({"|CTXOMAP", ctxomap});

    files.push_back({"|FONT", FontFile()});

    std::vector<uint8_t> system;
    Put16(system, 0x036C);
    Put16(system, 21);  // WinHelp 3.1
    Put16(system, 1);
    // The build date stamps the file for viewers that keep per-file caches
    // beside it: a stamp taken from the content changes whenever the topics
    // do, and the same source still gives the same file.
    uint32_t stamp = 2166136261u;
    for (uint8_t b : topic) stamp = (stamp ^ b) * 16777619u;
    for (char c : source.title) stamp = (stamp ^ uint8_t(c)) * 16777619u;
    Put32(system, (stamp & 0x3FFFFFFF) | 0x20000000);
    Put16(system, 4);   // LZ77 topic blocks of 4 KB
    Put16(system, 1);   // title
    Put16(system, uint16_t(source.title.size() + 1));
    PutString(system, source.title);
    Put16(system, 3);   // contents: the first topic
    Put16(system, 4);
    Put32(system, topicOffset[0]);
    files.push_back({"|SYSTEM", system});

    files.push_back({"|TOPIC", topic});

    std::vector<BTreeEntry> titles(topicCount);
    for (size_t t = 0; t < topicCount; ++t) {
        Put32(titles[t].key, topicOffset[t]);
        titles[t].leaf = titles[t].key;
        PutString(titles[t].leaf, source.topics[t].title);
    }
    files.push_back({"|TTLBTREE", BuildBTree(titles, 2048, 0x0002, "Lz")});
    return BuildContainer(files);
}

} // namespace kivpack::help
