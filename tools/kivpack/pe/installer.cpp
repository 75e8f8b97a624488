// A packed installer's resources as the installer finds them.
#include "tools/kivpack/pe/installer.h"

#include <cstdio>

#include "platform/text.h"
#include "resources/kivformat.h"
#include "tools/kivpack/pe/bytes.h"
#include "tools/kivpack/pe/strings.h"

namespace kivpack {

namespace {

std::string Hex4(uint16_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", unsigned(value));
    return text;
}

std::string Describe(const Resource& r)
{
    if (r.type.isString || r.name.isString) return "resource " + r.type.ToString() + "/" + r.name.ToString();
    uint16_t id = r.name.id;
    switch (r.type.id) {
    case KIV_PAYLOAD_TYPE:
        return id == KIV_SCRIPT_RESOURCE ? "the install script (payload 12000)"
               : id == KIV_HELP_RESOURCE ? "the help file (payload 12001)"
                                         : "payload " + std::to_string(id);
    case KIV_CRC_TYPE: return "the payload checksum table";
    case KIV_HELP_TEXT_TYPE: return "the help text";
    case kRtString:
        return "string block " + std::to_string(id) + " (strings " + std::to_string((id - 1) * 16) + " to " +
               std::to_string((id - 1) * 16 + 15) + ")";
    }
    return "resource " + r.type.ToString() + "/" + r.name.ToString();
}

// The resources the installer looks up: by number, of its own types and
// its string table.
bool Looked(const Resource& r)
{
    if (r.type.isString || r.name.isString) return false;
    return r.type.id == KIV_PAYLOAD_TYPE || r.type.id == KIV_CRC_TYPE || r.type.id == KIV_HELP_TEXT_TYPE ||
           r.type.id == KIV_HELP_STYLE_TYPE || r.type.id == kRtString;
}

// String `id` from its block, whatever the block's one language.
bool OnlyString(const ResourceSet& resources, uint16_t id, std::u16string& text, std::string& error)
{
    const Resource* block = resources.FindAny(ResourceName::Id(kRtString), ResourceName::Id(StringBlockId(id)));
    if (!block) return false;
    StringBlock strings;
    if (!DecodeStringBlock(block->data, strings, error)) {
        error = Describe(*block) + ": " + error;
        return false;
    }
    text = strings[id % 16];
    return !text.empty();
}

} // namespace

uint32_t InstallerCapValue(const std::u16string& text)
{
    std::string ansi;
    Utf16ToAnsi(text.substr(0, 15), ansi);
    return uint32_t((unsigned long)TextToLong(ansi.c_str()));
}

bool ReadInstallerView(const ResourceSet& resources, InstallerView& view, std::string& error)
{
    view = InstallerView();
    const std::vector<Resource>& all = resources.Entries();
    // The set is ordered by type, name and language: languages of one
    // resource are neighbours.
    for (size_t i = 0; i < all.size(); ++i) {
        const Resource& r = all[i];
        if (!Looked(r)) continue;
        size_t j = i;
        while (j + 1 < all.size() && all[j + 1].type == r.type && all[j + 1].name == r.name) ++j;
        if (j > i) {
            std::string languages;
            for (size_t k = i; k <= j; ++k) languages += (k > i ? ", " : "") + Hex4(all[k].language);
            error = Describe(r) + " exists in " + std::to_string(j - i + 1) + " languages (" + languages +
                    "): the installer takes the one of the user's language, so what it installs depends on "
                    "the machine it runs on; refused";
            return false;
        }
        if (r.type.id == KIV_PAYLOAD_TYPE) view.payloads[r.name.id].stored = &r.data;
        if (r.type.id == KIV_CRC_TYPE && r.name.id == KIV_CRC_RESOURCE) view.crcTable = &r.data;
        if (r.type.id == KIV_HELP_TEXT_TYPE && r.name.id == KIV_HELP_TEXT_RESOURCE) view.helpText = &r.data;
        if (r.type.id == KIV_HELP_STYLE_TYPE && r.name.id == KIV_HELP_STYLE_RESOURCE) view.helpStyles = &r.data;
    }
    std::u16string text;
    error.clear();
    if (OnlyString(resources, IDS_SCRIPT_FILE_NAME, text, error)) Utf16ToAnsi(text, view.scriptFileName);
    if (!error.empty()) return false;
    for (auto& [id, payload] : view.payloads) {
        payload.size = uint32_t(payload.stored->size());
        if (id < KIV_CAP_STRING_OFFSET) continue;
        if (OnlyString(resources, uint16_t(id - KIV_CAP_STRING_OFFSET), text, error)) payload.cap = InstallerCapValue(text);
        if (!error.empty()) return false;
        if (payload.cap && payload.size > payload.cap) payload.size = payload.cap;
    }
    return true;
}

HelpTextCount CountHelpTopics(const std::vector<uint8_t>& resource)
{
    HelpTextCount count;
    const size_t size = resource.size();
    if (size < 4) return count;
    count.declared = Get32(resource.data());
    size_t at = 4;
    const size_t header = KIV_HELP_TEXT_HEADER_SIZE;
    while (count.whole < count.declared) {
        if (size - at < header + 2) break;
        const uint32_t record = Get32(resource.data() + at + 4);
        if (record < header + 2 || record > size - at || resource[at + record - 1]) break;
        size_t title = at + header;
        while (resource[title]) ++title;
        if (title + 1 >= at + record) break;
        ++count.whole;
        at += record;
    }
    return count;
}

} // namespace kivpack
