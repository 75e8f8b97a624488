// The resource model and the codec of the resource directory tree.
#include "tools/kivpack/pe/resources.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "tools/kivpack/pe/bytes.h"
#include "tools/kivpack/pe/image.h"

namespace kivpack {

// ---- names and the set -------------------------------------------------

ResourceName ResourceName::Id(uint16_t id)
{
    ResourceName n;
    n.id = id;
    return n;
}

ResourceName ResourceName::Named(const std::u16string& text)
{
    ResourceName n;
    n.isString = true;
    n.text = text;
    return n;
}

ResourceName ResourceName::Named(const std::string& ascii)
{
    std::u16string text;
    for (unsigned char c : ascii) text += char16_t(c);
    return Named(text);
}

std::string ResourceName::ToString() const
{
    if (!isString) return std::to_string(id);
    std::string s;
    for (char16_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            s += char(c);
        } else {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04X", unsigned(c));
            s += esc;
        }
    }
    return "\"" + s + "\"";
}

int CompareNames(const ResourceName& a, const ResourceName& b)
{
    if (a.isString != b.isString) return a.isString ? -1 : 1;
    if (!a.isString) return a.id < b.id ? -1 : a.id > b.id ? 1 : 0;
    return a.text.compare(b.text) < 0 ? -1 : a.text == b.text ? 0 : 1;
}

bool operator==(const ResourceName& a, const ResourceName& b) { return CompareNames(a, b) == 0; }
bool operator!=(const ResourceName& a, const ResourceName& b) { return CompareNames(a, b) != 0; }

namespace {

int CompareKeys(const Resource& r, const ResourceName& type, const ResourceName& name,
                uint16_t language)
{
    if (int c = CompareNames(r.type, type)) return c;
    if (int c = CompareNames(r.name, name)) return c;
    return r.language < language ? -1 : r.language > language ? 1 : 0;
}

} // namespace

const Resource* ResourceSet::Find(const ResourceName& type, const ResourceName& name,
                                  uint16_t language) const
{
    for (const Resource& r : entries_)
        if (CompareKeys(r, type, name, language) == 0) return &r;
    return nullptr;
}

const Resource* ResourceSet::FindAny(const ResourceName& type, const ResourceName& name) const
{
    for (const Resource& r : entries_)
        if (r.type == type && r.name == name) return &r;
    return nullptr;
}

std::vector<uint16_t> ResourceSet::Languages(const ResourceName& type,
                                             const ResourceName& name) const
{
    std::vector<uint16_t> langs;
    for (const Resource& r : entries_)
        if (r.type == type && r.name == name) langs.push_back(r.language);
    return langs;
}

bool ResourceSet::Set(Resource resource)
{
    auto at = std::lower_bound(entries_.begin(), entries_.end(), resource,
                               [](const Resource& a, const Resource& b) {
                                   return CompareKeys(a, b.type, b.name, b.language) < 0;
                               });
    if (at != entries_.end() && CompareKeys(*at, resource.type, resource.name, resource.language) == 0) {
        at->codePage = resource.codePage;
        at->data = std::move(resource.data);
        return true;
    }
    entries_.insert(at, std::move(resource));
    return false;
}

bool ResourceSet::Remove(const ResourceName& type, const ResourceName& name, uint16_t language)
{
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (CompareKeys(*it, type, name, language) == 0) {
            entries_.erase(it);
            return true;
        }
    return false;
}

size_t ResourceSet::RemoveAll(const ResourceName& type, const ResourceName& name)
{
    size_t before = entries_.size();
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                  [&](const Resource& r) { return r.type == type && r.name == name; }),
                   entries_.end());
    return before - entries_.size();
}

// ---- reading the tree --------------------------------------------------

namespace {

constexpr uint32_t kHighBit = 0x80000000u;

struct TreeReader {
    const PeImage& image;
    const uint8_t* base;  // first byte of the resource directory in the file
    uint32_t limit;       // bytes of the section from there on
    std::set<uint32_t> visited;
    uint64_t dataTotal = 0;
    uint64_t dataCap;
    ResourceSet& out;
    std::string& error;
    struct Extent {
        uint32_t offset, size;
        std::string what;
    };
    std::vector<Extent> extents;  // every resource's bytes in the file

    bool Fail(const std::string& message)
    {
        error = message;
        return false;
    }

    bool Fits(uint32_t offset, uint64_t size) const { return InRange(limit, offset, size); }

    bool ReadName(uint32_t field, ResourceName& name)
    {
        uint32_t at = field & ~kHighBit;
        if (!Fits(at, 2)) return Fail("a name lies outside the resource section");
        uint32_t length = Get16(base + at);
        if (!Fits(at + 2, 2ull * length)) return Fail("a name runs past the resource section");
        name.isString = true;
        name.text.clear();
        for (uint32_t i = 0; i < length; ++i) name.text += char16_t(Get16(base + at + 2 + 2 * i));
        return true;
    }

    bool ReadData(uint32_t offset, Resource& r)
    {
        std::string what = "resource " + r.type.ToString() + "/" + r.name.ToString() + "/" +
                           std::to_string(r.language);
        if (!visited.insert(offset).second) return Fail(what + ": data entry reached twice");
        if (!Fits(offset, 16)) return Fail(what + ": data entry lies outside the resource section");
        uint32_t rva = Get32(base + offset);
        uint32_t size = Get32(base + offset + 4);
        r.codePage = Get32(base + offset + 8);
        dataTotal += size;
        if (dataTotal > dataCap) return Fail(what + ": resource data larger than the file");
        uint32_t fileOffset;
        if (!RvaToFileOffset(image, rva, size, fileOffset))
            return Fail(what + ": data lies outside the image's sections");
        r.data.assign(image.bytes.begin() + fileOffset, image.bytes.begin() + fileOffset + size);
        if (size) extents.push_back({fileOffset, size, what});
        out.Set(r);
        return true;
    }

    // No two resources share a byte: a reader that takes each as a file of
    // its own would otherwise write the same bytes many times over.
    bool Disjoint()
    {
        std::sort(extents.begin(), extents.end(),
                  [](const Extent& a, const Extent& b) { return a.offset < b.offset; });
        for (size_t i = 1; i < extents.size(); ++i)
            if (uint64_t(extents[i - 1].offset) + extents[i - 1].size > extents[i].offset)
                return Fail(extents[i].what + ": its data overlaps that of " + extents[i - 1].what);
        return true;
    }

    // level 0: types, 1: names, 2: languages.
    bool ReadTable(uint32_t offset, int level, Resource& r)
    {
        if (!visited.insert(offset).second) return Fail("a directory table is reached twice (loop)");
        if (!Fits(offset, 16)) return Fail("a directory table lies outside the resource section");
        uint32_t named = Get16(base + offset + 12);
        uint32_t count = named + Get16(base + offset + 14);
        if (!Fits(offset + 16, 8ull * count))
            return Fail("a directory table's " + std::to_string(count) +
                        " entries run past the resource section");
        std::vector<ResourceName> keys;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t nameField = Get32(base + offset + 16 + 8 * i);
            uint32_t target = Get32(base + offset + 20 + 8 * i);
            bool isNamed = nameField & kHighBit;
            if (isNamed != (i < named)) return Fail("named and numbered entries out of order");
            ResourceName key;
            if (isNamed) {
                if (level == 2) return Fail("a language entry carries a name");
                if (!ReadName(nameField, key)) return false;
            } else {
                if (nameField > 0xFFFF) return Fail("a resource id beyond 65535");
                key = ResourceName::Id(uint16_t(nameField));
            }
            keys.push_back(key);
            bool isTable = target & kHighBit;
            if (isTable != (level < 2))
                return Fail(level < 2 ? "the tree has fewer than three levels"
                                      : "the tree has more than three levels");
            if (level == 0) r.type = key;
            if (level == 1) r.name = key;
            if (level == 2) r.language = key.id;
            bool ok = level < 2 ? ReadTable(target & ~kHighBit, level + 1, r)
                                : ReadData(target, r);
            if (!ok) return false;
        }
        if (level == 0 && !Disjoint()) return false;
        std::sort(keys.begin(), keys.end(),
                  [](const ResourceName& a, const ResourceName& b) { return CompareNames(a, b) < 0; });
        for (size_t i = 1; i < keys.size(); ++i)
            if (keys[i] == keys[i - 1]) return Fail("duplicate entry " + keys[i].ToString());
        return true;
    }
};

} // namespace

bool ReadResourceTree(const PeImage& image, uint32_t resourceRva, ResourceSet& out,
                      std::string& error)
{
    out = ResourceSet();
    for (const PeSection& s : image.sections) {
        uint32_t mapped = s.virtualSize ? s.virtualSize : s.rawSize;
        if (resourceRva < s.virtualAddress || resourceRva - s.virtualAddress >= mapped) continue;
        uint32_t delta = resourceRva - s.virtualAddress;
        uint32_t inFile = mapped < s.rawSize ? mapped : s.rawSize;
        if (delta >= inFile) {
            error = "the resource directory is not stored in the file";
            return false;
        }
        TreeReader reader{image, image.bytes.data() + s.rawPointer + delta, inFile - delta,
                          {}, 0, 4ull * image.bytes.size(), out, error, {}};
        Resource r;
        return reader.ReadTable(0, 0, r);
    }
    error = "the resource directory lies in no section";
    return false;
}

// ---- building the tree -------------------------------------------------

namespace {

bool Fail(std::string& error, const char* message)
{
    error = message;
    return false;
}

struct NameNode {
    ResourceName name;
    std::vector<const Resource*> languages;
};

struct TypeNode {
    ResourceName type;
    std::vector<NameNode> names;
};

void PutHeader(std::vector<uint8_t>& out, uint32_t at, const std::vector<ResourceName>& keys)
{
    uint32_t named = 0;
    for (const ResourceName& k : keys) named += k.isString;
    // Characteristics, TimeDateStamp and version stay 0, so output is reproducible.
    Put16(out, at + 12, uint16_t(named));
    Put16(out, at + 14, uint16_t(keys.size() - named));
}

} // namespace

bool BuildResourceTree(const ResourceSet& resources, uint32_t sectionRva,
                       std::vector<uint8_t>& out, std::string& error)
{
    // The set is already ordered by type, name and language.
    std::vector<TypeNode> types;
    for (const Resource& r : resources.Entries()) {
        if (types.empty() || types.back().type != r.type) types.push_back({r.type, {}});
        std::vector<NameNode>& names = types.back().names;
        if (names.empty() || names.back().name != r.name) names.push_back({r.name, {}});
        names.back().languages.push_back(&r);
    }
    if (types.size() > 0xFFFF) return Fail(error, "too many resource types");

    uint64_t size = 16 + 8ull * types.size();
    std::map<std::u16string, uint32_t> strings;
    auto noteString = [&](const ResourceName& n) { if (n.isString) strings[n.text] = 0; };
    for (const TypeNode& t : types) {
        noteString(t.type);
        if (t.names.size() > 0xFFFF) return Fail(error, "too many resources of one type");
        size += 16 + 8ull * t.names.size();
        for (const NameNode& n : t.names) {
            noteString(n.name);
            if (n.languages.size() > 0xFFFF) return Fail(error, "too many languages of one resource");
            size += 16 + 8ull * n.languages.size();
        }
    }
    uint64_t dataEntries = size;
    size += 16ull * resources.Size();
    for (auto& s : strings) {
        if (s.first.size() > 0xFFFF) return Fail(error, "a resource name is too long");
        s.second = uint32_t(size);
        size += 2 + 2ull * s.first.size();
    }
    std::vector<uint64_t> dataAt;
    for (const Resource& r : resources.Entries()) {
        size = AlignUp(size, 8);
        dataAt.push_back(size);
        size += r.data.size();
        if (size > 0x7FFFFFFF) break;
    }
    if (size > 0x7FFFFFFF || sectionRva + size > 0xFFFFFFFFull)
        return Fail(error, "resources too large for one image");

    out.assign(size_t(size), 0);
    auto keyField = [&](const ResourceName& n) {
        return n.isString ? kHighBit | strings[n.text] : uint32_t(n.id);
    };
    uint32_t tableAt = 16 + 8 * uint32_t(types.size());  // next free table
    uint32_t entryIndex = 0;
    std::vector<ResourceName> keys;
    for (const TypeNode& t : types) keys.push_back(t.type);
    PutHeader(out, 0, keys);
    for (size_t ti = 0; ti < types.size(); ++ti) {
        const TypeNode& t = types[ti];
        uint32_t typeTable = tableAt;
        tableAt += 16 + 8 * uint32_t(t.names.size());
        Put32(out, 16 + 8 * ti, keyField(t.type));
        Put32(out, 20 + 8 * ti, kHighBit | typeTable);
        keys.clear();
        for (const NameNode& n : t.names) keys.push_back(n.name);
        PutHeader(out, typeTable, keys);
        for (size_t ni = 0; ni < t.names.size(); ++ni) {
            const NameNode& n = t.names[ni];
            uint32_t nameTable = tableAt;
            tableAt += 16 + 8 * uint32_t(n.languages.size());
            Put32(out, typeTable + 16 + 8 * ni, keyField(n.name));
            Put32(out, typeTable + 20 + 8 * ni, kHighBit | nameTable);
            keys.assign(n.languages.size(), ResourceName());
            PutHeader(out, nameTable, keys);
            for (size_t li = 0; li < n.languages.size(); ++li) {
                const Resource& r = *n.languages[li];
                uint32_t entry = uint32_t(dataEntries) + 16 * entryIndex;
                Put32(out, nameTable + 16 + 8 * li, r.language);
                Put32(out, nameTable + 20 + 8 * li, entry);
                Put32(out, entry, sectionRva + uint32_t(dataAt[entryIndex]));
                Put32(out, entry + 4, uint32_t(r.data.size()));
                Put32(out, entry + 8, r.codePage);
                std::copy(r.data.begin(), r.data.end(), out.begin() + dataAt[entryIndex]);
                ++entryIndex;
            }
        }
    }
    for (const auto& s : strings) {
        Put16(out, s.second, uint16_t(s.first.size()));
        for (size_t i = 0; i < s.first.size(); ++i) Put16(out, s.second + 2 + 2 * i, s.first[i]);
    }
    return true;
}

} // namespace kivpack
