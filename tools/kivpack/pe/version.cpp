#include "tools/kivpack/pe/version.h"

#include <cstdio>

#include "tools/kivpack/pe/bytes.h"

namespace kivpack {

namespace {

const uint32_t FixedSignature = 0xFEEF04BD;
const uint32_t FixedStructVersion = 0x00010000;
const uint32_t FlagsMask = 0x3F;      // VS_FF_DEBUG ... VS_FF_SPECIALBUILD
const uint32_t OsWindows32 = 0x00040004;  // VOS_NT_WINDOWS32: both families read it
const uint32_t TypeApplication = 1;   // VFT_APP
const uint16_t UnicodeCodePage = 1200;

void Pad4(std::vector<uint8_t>& out)
{
    while (out.size() % 4) out.push_back(0);
}

void AppendText(std::vector<uint8_t>& out, const std::u16string& text)
{
    for (char16_t c : text) Append16(out, uint16_t(c));
    Append16(out, 0);
}

// A block: header, key, value and the children already laid out, each part
// aligned to 4 relative to the block's start (which is itself aligned).
bool Block(const std::u16string& key, uint16_t type, const std::vector<uint8_t>& value, uint16_t valueLength,
           const std::vector<uint8_t>& children, std::vector<uint8_t>& out, std::string& error)
{
    std::vector<uint8_t> b(6, 0);
    AppendText(b, key);
    Pad4(b);
    b.insert(b.end(), value.begin(), value.end());
    if (!children.empty()) {
        Pad4(b);
        b.insert(b.end(), children.begin(), children.end());
    }
    if (b.size() > 0xFFFF) {
        error = "the version resource is too large (its texts are too long)";
        return false;
    }
    Put16(b, 0, uint16_t(b.size()));
    Put16(b, 2, valueLength);
    Put16(b, 4, type);
    Pad4(out);
    out.insert(out.end(), b.begin(), b.end());
    return true;
}

std::u16string Ascii(const char* text)
{
    std::u16string s;
    while (*text) s += char16_t(*text++);
    return s;
}

} // namespace

bool ParseVersionNumber(const std::string& text, uint16_t number[4])
{
    for (int i = 0; i < 4; ++i) number[i] = 0;
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        uint32_t value = 0;
        size_t start = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 6)
            value = value * 10 + unsigned(text[at++] - '0');
        if (at == start || value > 0xFFFF || (at < text.size() && text[at] != '.')) break;
        number[part] = uint16_t(value);
        if (at == text.size()) return true;
        if (++at == text.size()) break;  // a trailing dot
    }
    for (int i = 0; i < 4; ++i) number[i] = 0;
    return false;
}

bool EncodeVersionInfo(const VersionInfo& info, uint16_t language, std::vector<uint8_t>& out,
                       std::string& error)
{
    const uint32_t high = uint32_t(info.number[0]) << 16 | info.number[1];
    const uint32_t low = uint32_t(info.number[2]) << 16 | info.number[3];
    std::vector<uint8_t> fixed;
    for (uint32_t field : {FixedSignature, FixedStructVersion, high, low, high, low, FlagsMask, 0u, OsWindows32,
                           TypeApplication, 0u, 0u, 0u})
        Append32(fixed, field);

    std::vector<uint8_t> strings;
    for (const auto& entry : info.strings) {
        if (entry.second.empty()) continue;
        std::vector<uint8_t> value;
        AppendText(value, entry.second);
        if (!Block(Ascii(entry.first.c_str()), 1, value, uint16_t(entry.second.size() + 1), {}, strings, error))
            return false;
    }
    char tableKey[9];
    std::snprintf(tableKey, sizeof tableKey, "%04X%04X", language, UnicodeCodePage);
    std::vector<uint8_t> table, stringInfo, translation, varInfo, children;
    if (!Block(Ascii(tableKey), 1, {}, 0, strings, table, error) ||
        !Block(u"StringFileInfo", 1, {}, 0, table, stringInfo, error))
        return false;
    std::vector<uint8_t> pair;
    Append16(pair, language);
    Append16(pair, UnicodeCodePage);
    if (!Block(u"Translation", 0, pair, 4, {}, translation, error) ||
        !Block(u"VarFileInfo", 1, {}, 0, translation, varInfo, error))
        return false;
    children = stringInfo;
    Pad4(children);
    children.insert(children.end(), varInfo.begin(), varInfo.end());
    out.clear();
    return Block(u"VS_VERSION_INFO", 0, fixed, uint16_t(fixed.size()), children, out, error);
}

bool SetVersionInfo(ResourceSet& resources, const VersionInfo& info, uint16_t language, std::string& error)
{
    Resource r;
    r.type = ResourceName::Id(kRtVersion);
    r.name = ResourceName::Id(1);
    r.language = language;
    if (!EncodeVersionInfo(info, language, r.data, error)) return false;
    std::vector<ResourceName> names;
    for (const Resource& e : resources.Entries())
        if (e.type == r.type) names.push_back(e.name);
    for (const ResourceName& name : names) resources.RemoveAll(r.type, name);
    resources.Set(std::move(r));
    return true;
}

} // namespace kivpack
