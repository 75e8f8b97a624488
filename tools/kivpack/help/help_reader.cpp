// Reading WinHelp 3.1 files (and the later files of the same container): the
// directory, |SYSTEM, |FONT, |Phrases, |TOPIC, |CONTEXT and |CTXOMAP. Every
// field is decoded with explicit byte order and checked against the bytes
// that hold it; a damaged file is a reason, never a read out of bounds.
#include <algorithm>
#include <map>
#include "tools/kivpack/help/help_container.h"
#include "tools/kivpack/help/help_file.h"
#include "tools/kivpack/help/help_model.h"
#include "tools/kivpack/help/help_reader.h"

namespace kivpack::help {
namespace {


bool ReadBTree(Bytes tree, const std::function<bool(Bytes& entry)>& leafEntry)
{
    Cursor c{tree};
    uint16_t magic = c.U16(), flags = c.U16(), pageSize = c.U16();
    (void)flags;
    c.Skip(16 + 4);
    uint16_t root = c.U16();
    c.Skip(2);
    uint16_t totalPages = c.U16(), levels = c.U16();
    c.Skip(4);
    if (!c.ok || magic != BTreeMagic || pageSize < 16 || levels == 0 || totalPages == 0) return false;
    if (size_t(totalPages) * pageSize > tree.size - BTreeHeaderSize) return false;
    auto page = [&](uint16_t n) { return Bytes{tree.data + BTreeHeaderSize + size_t(n) * pageSize, pageSize}; };
    uint16_t current = root;
    for (uint16_t l = 1; l < levels; ++l) {  // down the "page before the first key" links
        if (current >= totalPages) return false;
        Cursor ic{page(current)};
        ic.Skip(4);
        current = ic.U16();
    }
    for (size_t visited = 0; current != 0xFFFF; ++visited) {
        if (current >= totalPages || visited >= totalPages) return false;
        Cursor lc{page(current)};
        lc.Skip(2);
        int16_t entries = int16_t(lc.U16());
        lc.Skip(2);
        uint16_t next = lc.U16();
        if (entries < 0) return false;
        Bytes rest = lc.Rest();
        for (int16_t e = 0; e < entries; ++e)
            if (!leafEntry(rest)) return false;
        current = next;
    }
    return true;
}

struct FileReader {
    Bytes file;
    std::map<std::string, Bytes> files;
    std::string& error;

    bool Fail(const std::string& reason)
    {
        error = reason;
        return false;
    }

    bool ReadDirectory()
    {
        Cursor c{file};
        uint32_t magic = c.U32(), directory = c.U32();
        if (!c.ok || magic != HelpFileMagic) return Fail("not a Windows Help file (no help file signature)");
        Bytes dir;
        if (!InternalFileAt(directory, dir)) return Fail("the help file's directory lies outside the file");
        bool ok = ReadBTree(dir, [&](Bytes& entry) {
            Cursor ec{entry};
            std::string name = ec.String();
            uint32_t offset = ec.U32();
            entry = ec.Rest();
            Bytes content;
            if (!ec.ok || !InternalFileAt(offset, content)) return false;
            files[name] = content;
            return true;
        });
        return ok || Fail("the help file's directory is damaged");
    }

    bool InternalFileAt(uint32_t offset, Bytes& content)
    {
        if (offset > file.size || file.size - offset < FileHeaderSize) return false;
        Cursor c{Bytes{file.data + offset, file.size - offset}};
        c.U32();
        uint32_t used = c.U32();
        c.U8();
        if (used > c.Rest().size) return false;
        content = Bytes{c.Rest().data, used};
        return true;
    }

    const Bytes* Find(const char* name) const
    {
        auto it = files.find(name);
        return it == files.end() ? nullptr : &it->second;
    }
};

// The topic text's phrase table (|Phrases), when the file has one.
bool ReadPhrases(const Bytes& b, std::vector<std::string>& phrases)
{
    Cursor c{b};
    uint16_t count = c.U16();
    c.U16();
    uint32_t expanded = c.U32();
    std::vector<uint16_t> offsets;
    for (uint32_t i = 0; i <= count && c.ok; ++i) offsets.push_back(c.U16());
    if (!c.ok || expanded > (1u << 24)) return false;
    std::vector<uint8_t> text = ExpandLz77(c.Rest(), expanded);
    uint32_t base = 2u * (count + 1u);
    for (uint32_t i = 0; i < count; ++i) {
        if (offsets[i] < base || offsets[i + 1] < offsets[i] || offsets[i + 1] - base > text.size()) return false;
        phrases.emplace_back(text.begin() + (offsets[i] - base), text.begin() + (offsets[i + 1] - base));
    }
    return true;
}

} // namespace

std::vector<uint8_t> ExpandLz77(Bytes in, size_t limit)
{
    std::vector<uint8_t> out;
    size_t i = 0;
    while (i < in.size && out.size() < limit) {
        uint8_t flags = in.data[i++];
        for (int bit = 0; bit < 8 && i < in.size && out.size() < limit; ++bit) {
            if (flags & (1 << bit)) {
                if (in.size - i < 2) return out;
                uint16_t code = uint16_t(in.data[i] | in.data[i + 1] << 8);
                i += 2;
                size_t length = (code >> 12) + 3, distance = (code & 0x0FFF) + 1;
                for (size_t k = 0; k < length && out.size() < limit; ++k)
                    out.push_back(distance <= out.size() ? out[out.size() - distance] : 0);
            } else {
                out.push_back(in.data[i++]);
            }
        }
    }
    return out;
}

bool ReadHelpFile(const uint8_t* data, size_t size, HelpDocument& doc, std::string& error)
{
    doc = HelpDocument();
    error.clear();
    FileReader reader{Bytes{data, size}, {}, error};
    if (!reader.ReadDirectory()) return false;

    const Bytes* system = reader.Find("|SYSTEM");
    if (!system) return reader.Fail("the help file has no |SYSTEM");
    TopicLayout layout;
    {
        Cursor c{*system};
        uint16_t magic = c.U16(), minor = c.U16(), major = c.U16();
        c.U32();
        uint16_t flags = c.U16();
        if (!c.ok || magic != 0x036C || major != 1) return reader.Fail("the help file's |SYSTEM is damaged");
        if (minor <= 16) return reader.Fail("Windows 3.0 help files are not read");
        layout.blockSize = flags == 8 ? 2048 : 4096;
        layout.compressed = flags == 4 || flags == 8;
        while (c.Rest().size >= 4) {
            uint16_t type = c.U16(), length = c.U16();
            Bytes record = c.Take(length);
            if (!c.ok) return reader.Fail("the help file's |SYSTEM is damaged");
            if (type == 1) doc.title = Cursor{record}.String();
        }
    }

    std::vector<std::string> phrases;
    if (const Bytes* b = reader.Find("|Phrases")) {
        if (!ReadPhrases(*b, phrases)) return reader.Fail("the help file's |Phrases is damaged");
        layout.phrases = &phrases;
    } else if (reader.Find("|PhrIndex")) {
        return reader.Fail("the help file's phrase compression (|PhrIndex) is not read");
    }

    if (const Bytes* font = reader.Find("|FONT")) ReadFontStyles(*font, layout.fontStyles);

    const Bytes* topic = reader.Find("|TOPIC");
    if (!topic) return reader.Fail("the help file has no |TOPIC");
    std::vector<ReadTopic> topics;
    if (!ReadTopics(*topic, layout, topics, error)) return false;

    std::map<int32_t, uint32_t> contextOffsets;  // hash -> topic offset
    if (const Bytes* context = reader.Find("|CONTEXT")) {
        bool ok = ReadBTree(*context, [&](Bytes& entry) {
            Cursor ec{entry};
            int32_t hash = int32_t(ec.U32());
            uint32_t offset = ec.U32();
            entry = ec.Rest();
            contextOffsets[hash] = offset;
            return ec.ok;
        });
        if (!ok) return reader.Fail("the help file's |CONTEXT is damaged");
    }
    std::vector<std::pair<uint32_t, uint32_t>> map;  // context number -> topic offset
    if (const Bytes* ctxomap = reader.Find("|CTXOMAP")) {
        Cursor c{*ctxomap};
        uint16_t count = c.U16();
        for (uint16_t i = 0; i < count && c.ok; ++i) {
            uint32_t number = c.U32(), offset = c.U32();
            if (c.ok) map.push_back({number, offset});
        }
        if (!c.ok) return reader.Fail("the help file's |CTXOMAP is damaged");
    }
    ResolveTopics(topics, map, contextOffsets, doc);
    return true;
}

} // namespace kivpack::help
