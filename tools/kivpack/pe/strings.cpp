// String-table blocks and the 1252 code page of the installer's texts.
#include "tools/kivpack/pe/strings.h"

#include "platform/host/host_platform.h"
#include "resources/kivformat.h"
#include "tools/kivpack/pe/bytes.h"

namespace kivpack {


bool DecodeStringBlock(const std::vector<uint8_t>& data, StringBlock& block, std::string& error)
{
    size_t at = 0;
    for (std::u16string& s : block) {
        uint16_t length;
        if (!Read16(data, at, length) || !InRange(data.size(), at + 2, 2ull * length)) {
            error = "string block cut short";
            return false;
        }
        s.clear();
        for (size_t i = 0; i < length; ++i) s += char16_t(Get16(data.data() + at + 2 + 2 * i));
        at += 2 + 2ull * length;
    }
    return true;
}

std::vector<uint8_t> EncodeStringBlock(const StringBlock& block)
{
    std::vector<uint8_t> out;
    for (const std::u16string& s : block) {
        Append16(out, uint16_t(s.size()));
        for (char16_t c : s) Append16(out, c);
    }
    return out;
}

uint16_t ImageLanguage(const ResourceSet& resources)
{
    const ResourceName strings = ResourceName::Id(kRtString);
    std::vector<uint16_t> own =
        resources.Languages(strings, ResourceName::Id(StringBlockId(IDS_SCRIPT_FILE_NAME)));
    if (!own.empty()) return own.front();
    for (const Resource& r : resources.Entries())
        if (r.type == strings) return r.language;
    if (resources.Size()) return resources.Entries().front().language;
    return kDefaultLanguage;
}

bool FindString(const ResourceSet& resources, uint16_t id, uint16_t language, std::u16string& text)
{
    const Resource* r = resources.Find(ResourceName::Id(kRtString),
                                       ResourceName::Id(StringBlockId(id)), language);
    StringBlock block;
    std::string error;
    if (!r || !DecodeStringBlock(r->data, block, error) || block[id % 16].empty()) return false;
    text = block[id % 16];
    return true;
}

bool SetString(ResourceSet& resources, uint16_t id, uint16_t language, const std::u16string& text,
               std::string& error)
{
    if (text.size() > 0xFFFF) {
        error = "string " + std::to_string(id) + " is longer than 65535 characters";
        return false;
    }
    const ResourceName type = ResourceName::Id(kRtString);
    const ResourceName name = ResourceName::Id(StringBlockId(id));
    StringBlock block;
    const Resource* existing = resources.Find(type, name, language);
    uint32_t codePage = 0;
    if (existing) {
        if (!DecodeStringBlock(existing->data, block, error)) {
            error = "string block " + name.ToString() + ": " + error;
            return false;
        }
        codePage = existing->codePage;
    }
    block[id % 16] = text;
    bool empty = true;
    for (const std::u16string& s : block) empty = empty && s.empty();
    if (empty) {
        resources.Remove(type, name, language);
        return true;
    }
    resources.Set({type, name, language, codePage, EncodeStringBlock(block)});
    return true;
}

bool SetPayloadCap(ResourceSet& resources, uint16_t resourceId, uint32_t cap, std::string& error)
{
    if (resourceId < KIV_CAP_STRING_OFFSET) {
        error = "resource " + std::to_string(resourceId) + " cannot have a cap string";
        return false;
    }
    uint16_t id = uint16_t(resourceId - KIV_CAP_STRING_OFFSET);
    return SetString(resources, id, ImageLanguage(resources),
                     cap ? AnsiToUtf16(std::to_string(cap)) : std::u16string(), error);
}

std::u16string AnsiToUtf16(const std::string& text)
{
    std::u16string out;
    for (unsigned char c : text) out += AnsiToWide(c);
    return out;
}

bool Utf16ToAnsi(const std::u16string& text, std::string& out)
{
    out.clear();
    bool exact = true;
    for (char16_t c : text) {
        unsigned char byte = WideToAnsi(c);
        if (byte == '?' && c != u'?') exact = false;
        out += char(byte);
    }
    return exact;
}

} // namespace kivpack
