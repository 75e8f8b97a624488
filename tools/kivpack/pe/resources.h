// The resources of a PE image as a plain model, and the codec of the resource
// directory tree (the bytes a .rsrc section holds).
//
//  resource directory, offsets relative to its start
//  +--------------------------------------------+
//  | root table: 16-byte header, 8-byte entries  |  one entry per type
//  | type tables                                 |  one entry per name
//  | name tables                                 |  one entry per language
//  | data entries, 16 bytes each                 |  RVA, size, code page, 0
//  | name strings: u16 length, UTF-16LE units    |
//  | data, each block aligned to 8 bytes          |
//  +--------------------------------------------+
//
// Within a table the named entries come first, ordered by UTF-16 code units,
// then the numeric ids in ascending order; the loader searches them in that
// order. FindResourceA upper-cases the name it looks for, so a string name is
// only found when it is stored in upper case; the model keeps names as given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kivpack {

struct PeImage;

// Resource types this tool deals with.
enum : uint16_t {
    kRtIcon = 3,
    kRtBitmap = 2,
    kRtString = 6,
    kRtGroupIcon = 14,
};

// Language of resources written without an existing one to follow: English
// (United States), which the resource compiler gives by default.
constexpr uint16_t kDefaultLanguage = 0x409;

// A resource type or name: a 16-bit id or a UTF-16 string.
struct ResourceName {
    bool isString = false;
    uint16_t id = 0;
    std::u16string text;

    static ResourceName Id(uint16_t id);
    static ResourceName Named(const std::u16string& text);
    // An ASCII name; bytes above 0x7F are taken as their Latin-1 characters.
    static ResourceName Named(const std::string& ascii);

    // "256" for an id, the name with non-ASCII units as \uXXXX for a string.
    std::string ToString() const;
};

// Strings before ids; strings by UTF-16 code units, a prefix first; ids by value.
int CompareNames(const ResourceName& a, const ResourceName& b);
bool operator==(const ResourceName& a, const ResourceName& b);
bool operator!=(const ResourceName& a, const ResourceName& b);

struct Resource {
    ResourceName type;
    ResourceName name;
    uint16_t language = 0;
    uint32_t codePage = 0;
    std::vector<uint8_t> data;
};

// The resources of one image, kept unique by (type, name, language) and in
// the order they are written: by type, then name, then language.
class ResourceSet {
public:
    const std::vector<Resource>& Entries() const { return entries_; }
    size_t Size() const { return entries_.size(); }

    const Resource* Find(const ResourceName& type, const ResourceName& name,
                         uint16_t language) const;
    // The first entry of that type and name in any language, or null.
    const Resource* FindAny(const ResourceName& type, const ResourceName& name) const;
    // The languages in which (type, name) exists, ascending.
    std::vector<uint16_t> Languages(const ResourceName& type, const ResourceName& name) const;

    // Adds the resource, or replaces the data and code page of the one with
    // the same type, name and language. Returns true when it replaced one.
    bool Set(Resource resource);
    // Removes (type, name, language); returns whether it existed.
    bool Remove(const ResourceName& type, const ResourceName& name, uint16_t language);
    // Removes (type, name) in every language; returns how many went.
    size_t RemoveAll(const ResourceName& type, const ResourceName& name);

private:
    std::vector<Resource> entries_;
};

// Reads the resource tree whose directory starts at resourceRva in `image`.
// The tree must have exactly three levels (type, name, language) with every
// table, name and data entry inside the bytes of the section holding the
// directory, no table or entry reached twice, no duplicate keys, every
// resource's data inside the raw data of one section, and no two resources'
// data sharing a byte.
bool ReadResourceTree(const PeImage& image, uint32_t resourceRva, ResourceSet& out,
                      std::string& error);

// Lays the resources out as a resource directory meant to be loaded at
// sectionRva: data entries hold RVAs, so the bytes depend on it.
bool BuildResourceTree(const ResourceSet& resources, uint32_t sectionRva,
                       std::vector<uint8_t>& out, std::string& error);

} // namespace kivpack
