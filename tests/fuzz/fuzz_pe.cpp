// kivpack's PE reader and writer on hostile images. ReadPeImage refuses what
// it cannot take with a message and never reads outside the file. An image
// it accepts is packed as `kivpack build` packs the stub: a payload resource
// of type 256 and its byte cap in the string table are added and the image
// is rewritten. The writer may refuse with a message too; what it writes
// must read back with exactly the resources it was given, every other
// section's bytes and addresses as they were, every other data directory
// reading the bytes it read before (or nothing, as before), the overlay kept
// and a correct checksum; written once more, it comes out the same. The payload
// checksum table goes in too and answers for its records after the round
// trip; a table the image brings of its own is looked up with keys taken
// from the input, which must never read outside it.
//
// The installer view that `list` and `extract` read (ReadInstallerView) is
// checked against the installer's own lookup, FindResourceA's rules written
// out here: the neutral language, then the user's, then the first. For every
// user language tried, each payload, the checksum table, the help text and
// every cap it reports are the ones that lookup gives; where it refuses, some
// resource the installer looks up exists in more than one language or a
// string block it reads is malformed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "resources/kivformat.h"
#include "engine/payload_crc.h"
#include "tools/kivpack/pe/pe.h"

using namespace kivpack;

namespace {

typedef std::vector<uint8_t> Bytes;

bool SameResources(const ResourceSet& a, const ResourceSet& b)
{
    if (a.Size() != b.Size()) return false;
    for (size_t i = 0; i < a.Size(); ++i) {
        const Resource& x = a.Entries()[i];
        const Resource& y = b.Entries()[i];
        if (x.type != y.type || x.name != y.name || x.language != y.language ||
            x.codePage != y.codePage || x.data != y.data)
            return false;
    }
    return true;
}

Bytes RawData(const PeImage& image, const PeSection& s)
{
    return Bytes(image.bytes.begin() + s.rawPointer, image.bytes.begin() + s.rawPointer + s.rawSize);
}

// What the reader promises of an image it accepted.
void CheckAccepted(const PeImage& image, const Bytes& file)
{
    FUZZ_CHECK(image.bytes == file);
    FUZZ_CHECK(!image.sections.empty() && image.sections.size() <= 96);
    FUZZ_CHECK(image.rawEnd <= file.size() && image.sizeOfHeaders <= image.rawEnd);
    FUZZ_CHECK(image.directories.size() <= kMaxDataDirectories);
    uint64_t end = 0;
    for (const PeSection& s : image.sections) {
        FUZZ_CHECK(s.virtualAddress >= end);
        FUZZ_CHECK(uint64_t(s.rawPointer) + s.rawSize <= image.rawEnd || !s.rawSize);
        end = uint64_t(s.virtualAddress) + (s.virtualSize ? s.virtualSize : s.rawSize);
    }
    FUZZ_CHECK(image.resourceSection < int(image.sections.size()));
    FUZZ_CHECK(image.resourceSection >= 0 || image.resources.Size() == 0);
}

void CheckRewritten(const PeImage& image, const ResourceSet& resources, const Bytes& out)
{
    PeImage again;
    std::string error;
    if (!ReadPeImage(out, again, error)) {
        std::fprintf(stderr, "the rewritten image is refused: %s\n", error.c_str());
        FUZZ_CHECK(!"the rewritten image reads back");
    }
    FUZZ_CHECK(SameResources(again.resources, resources));

    // Replaced in place (same section count) or appended as one more section.
    size_t n = image.sections.size();
    bool inPlace = again.sections.size() == n;
    FUZZ_CHECK(inPlace || again.sections.size() == n + 1);
    FUZZ_CHECK(!inPlace || image.resourceSection == int(n) - 1);
    FUZZ_CHECK(again.resourceSection == int(again.sections.size()) - 1);
    for (size_t i = 0; i < (inPlace ? n - 1 : n); ++i) {
        const PeSection& before = image.sections[i];
        const PeSection& after = again.sections[i];
        FUZZ_CHECK(before.virtualAddress == after.virtualAddress);
        FUZZ_CHECK(before.virtualSize == after.virtualSize);
        FUZZ_CHECK(before.characteristics == after.characteristics);
        FUZZ_CHECK(before.rawPointer == after.rawPointer && before.rawSize == after.rawSize);
        FUZZ_CHECK(RawData(image, before) == RawData(again, after));
        FUZZ_CHECK(after.name == before.name ||
                   (int(i) == image.resourceSection && before.name == ".rsrc" && after.name == ".oldrsrc"));
    }
    for (uint32_t i = 0; i < image.directories.size(); ++i) {
        const PeDataDirectory d = image.Directory(i);
        if (i == kDirResource || i == kDirSecurity || !d.size) continue;
        FUZZ_CHECK(again.Directory(i).rva == d.rva && again.Directory(i).size == d.size);
        uint32_t at = 0, atAgain = 0;
        const bool readable = RvaToFileOffset(image, d.rva, d.size, at);
        FUZZ_CHECK(readable == RvaToFileOffset(again, d.rva, d.size, atAgain));
        FUZZ_CHECK(!readable || Bytes(image.bytes.begin() + at, image.bytes.begin() + at + d.size) ==
                                    Bytes(out.begin() + atAgain, out.begin() + atAgain + d.size));
    }
    FUZZ_CHECK(again.OverlaySize() == image.OverlaySize());
    FUZZ_CHECK(Bytes(out.end() - again.OverlaySize(), out.end()) ==
               Bytes(image.bytes.end() - image.OverlaySize(), image.bytes.end()));
    FUZZ_CHECK(again.checksum == ComputePeChecksum(out, again.optionalHeaderOffset + 64));
    FUZZ_CHECK(again.sizeOfImage >= again.sections.back().virtualAddress);

    // Its resource section is now its own and last: packing the written
    // image with the same resources replaces it in place and changes nothing.
    Bytes twice;
    FUZZ_CHECK(WritePeWithResources(again, resources, twice, error));
    FUZZ_CHECK(twice == out);
}

// FindResourceA's choice for a user whose language is `user`.
const Resource* InstallerLookup(const ResourceSet& set, uint16_t type, uint16_t name, uint16_t user)
{
    const Resource* first = nullptr;
    const Resource* users = nullptr;
    for (const Resource& r : set.Entries()) {
        if (r.type != ResourceName::Id(type) || r.name != ResourceName::Id(name)) continue;
        if (r.language == 0) return &r;
        if (!first) first = &r;
        if (r.language == user && !users) users = &r;
    }
    return users ? users : first;
}

void CheckInstallerView(const ResourceSet& set)
{
    InstallerView view;
    std::string error;
    if (!ReadInstallerView(set, view, error)) {
        FUZZ_CHECK(!error.empty());
        bool ambiguous = false;
        const std::vector<Resource>& all = set.Entries();
        for (size_t i = 1; i < all.size(); ++i)
            ambiguous = ambiguous || (all[i].type == all[i - 1].type && all[i].name == all[i - 1].name &&
                                      !all[i].type.isString && !all[i].name.isString &&
                                      (all[i].type.id == KIV_PAYLOAD_TYPE || all[i].type.id == KIV_CRC_TYPE ||
                                       all[i].type.id == KIV_HELP_TEXT_TYPE || all[i].type.id == kRtString));
        FUZZ_CHECK(ambiguous || error.find("string block") != std::string::npos);
        return;
    }
    size_t payloads = 0;
    for (const Resource& r : set.Entries())
        payloads += !r.type.isString && !r.name.isString && r.type.id == KIV_PAYLOAD_TYPE;
    FUZZ_CHECK(view.payloads.size() == payloads);
    for (uint16_t user : {uint16_t(0x409), uint16_t(0x407), uint16_t(0x411)}) {
        const Resource* table = InstallerLookup(set, KIV_CRC_TYPE, KIV_CRC_RESOURCE, user);
        FUZZ_CHECK(view.crcTable == (table ? &table->data : nullptr));
        const Resource* help = InstallerLookup(set, KIV_HELP_TEXT_TYPE, KIV_HELP_TEXT_RESOURCE, user);
        FUZZ_CHECK(view.helpText == (help ? &help->data : nullptr));
        for (const auto& [id, payload] : view.payloads) {
            const Resource* r = InstallerLookup(set, KIV_PAYLOAD_TYPE, id, user);
            FUZZ_CHECK(r && payload.stored == &r->data);
            uint32_t cap = 0;
            if (id >= KIV_CAP_STRING_OFFSET) {
                uint16_t string = uint16_t(id - KIV_CAP_STRING_OFFSET);
                StringBlock block;
                std::string blockError;
                if (const Resource* b = InstallerLookup(set, kRtString, StringBlockId(string), user))
                    if (DecodeStringBlock(b->data, block, blockError) && !block[string % 16].empty())
                        cap = InstallerCapValue(block[string % 16]);
            }
            FUZZ_CHECK(payload.cap == cap);
            FUZZ_CHECK(payload.size == (cap && r->data.size() > cap ? cap : r->data.size()));
        }
    }
    if (view.helpText) {
        HelpTextCount count = CountHelpTopics(*view.helpText);
        FUZZ_CHECK(count.whole <= count.declared);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Bytes file(data, data + size);
    PeImage image;
    std::string error;
    if (!ReadPeImage(file, image, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    CheckAccepted(image, file);
    CheckInstallerView(image.resources);

    // The payload: some bytes of the image itself, under an id and with a
    // cap taken from it too.
    ResourceSet resources = image.resources;
    uint16_t id = uint16_t(KIV_FIRST_FILE_RESOURCE + (size ? data[size / 2] : 0) % 32);
    Resource payload;
    payload.type = ResourceName::Id(KIV_PAYLOAD_TYPE);
    payload.name = ResourceName::Id(id);
    payload.language = ImageLanguage(resources);
    payload.data.assign(file.begin(), file.begin() + (size < 300 ? size : 300));
    resources.Set(payload);
    FUZZ_CHECK(resources.Find(payload.type, payload.name, payload.language));
    // A table the image brings: hostile bytes, looked up by id and by name.
    if (const std::vector<uint8_t>* own = FindPayloadCrcTable(resources)) {
        std::string name(file.begin(), file.begin() + (size < 12 ? size : 12));
        unsigned crc = 0;
        FindPayloadCrc(own->data(), unsigned(own->size()), id, 0, nullptr, &crc);
        FindPayloadCrc(own->data(), unsigned(own->size()), 0, size ? data[0] % 33 : 1, name.c_str(), &crc);
        // The same bytes as an uninstaller's table of installed files.
        const int sized = MatchInstalledSize(own->data(), unsigned(own->size()), name.c_str(), unsigned(size));
        const int whole = MatchInstalledFile(own->data(), unsigned(own->size()), name.c_str(), unsigned(size), crc);
        FUZZ_CHECK(sized >= 0 && sized <= 2 && whole >= 0 && whole <= 2 && (sized == 0) == (whole == 0));
        FUZZ_CHECK(whole != 1 || sized == 1);
    }
    // Ours: the payload by id, and a disk file whose name comes from the input.
    std::string diskName;
    for (size_t i = 0; i < size && diskName.size() < 20; ++i)
        if (data[i] > ' ' && data[i] < 0x7F) diskName += char(data[i]);
    const uint32_t payloadCrc = PayloadCrc(payload.data);
    const uint32_t diskCrc = payloadCrc ^ 0x5A5A5A5Au;
    std::vector<PayloadCrcRecord> records = {{payloadCrc, id, 0, ""}, {diskCrc, 0, 3, diskName}};
    FUZZ_CHECK(SetPayloadCrcTable(resources, records, payload.language, error));
    uint32_t cap = uint32_t(payload.data.size() / 2);
    const ResourceSet uncapped = resources;
    if (SetPayloadCap(resources, id, cap, error)) {
        std::u16string text;
        FUZZ_CHECK(cap == 0 || (FindString(resources, uint16_t(id - KIV_CAP_STRING_OFFSET),
                                           ImageLanguage(resources), text) &&
                                text == AnsiToUtf16(std::to_string(cap))));
    } else {
        // A malformed block of the image's own is reported and left alone.
        FUZZ_CHECK(!error.empty());
        FUZZ_CHECK(SameResources(resources, uncapped));
    }

    CheckInstallerView(resources);

    Bytes out;
    error.clear();
    if (!WritePeWithResources(image, resources, out, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    CheckRewritten(image, resources, out);

    PeImage again;
    FUZZ_CHECK(ReadPeImage(out, again, error));
    const std::vector<uint8_t>* table = FindPayloadCrcTable(again.resources);
    FUZZ_CHECK(table);
    const unsigned char* t = table->data();
    unsigned tableSize = unsigned(table->size()), found = 0;
    FUZZ_CHECK(FindPayloadCrc(t, tableSize, id, 0, nullptr, &found) && found == payloadCrc);
    FUZZ_CHECK(!FindPayloadCrc(t, tableSize, id + 1u, 0, nullptr, &found));
    FUZZ_CHECK(FindPayloadCrc(t, tableSize, 0, 3, diskName.c_str(), &found) && found == diskCrc);
    FUZZ_CHECK(!FindPayloadCrc(t, tableSize, 0, 2, diskName.c_str(), &found));
    std::string other = diskName + "x";
    FUZZ_CHECK(!FindPayloadCrc(t, tableSize, 0, 3, other.c_str(), &found));
    // Cut short, it keeps only the records it holds whole.
    FUZZ_CHECK(!FindPayloadCrc(t, tableSize - 1, 0, 3, diskName.c_str(), &found));
    return 0;
}
