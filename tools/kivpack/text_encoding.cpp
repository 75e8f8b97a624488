#include "tools/kivpack/text_encoding.h"
#include <cstdio>
#include <cstring>
#include "platform/host/host_platform.h"
#include "tools/kivpack/os/os.h"

namespace {

// Decodes one UTF-8 sequence at `i`; false when it is malformed, overlong, a
// surrogate or beyond U+10FFFF.
bool DecodeUtf8(const std::vector<uint8_t>& b, size_t& i, uint32_t& code)
{
    uint8_t lead = b[i];
    unsigned extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : 9;
    if (extra == 9 || i + extra >= b.size()) return false;
    code = extra == 0 ? lead : lead & (0x3F >> extra);
    for (unsigned k = 1; k <= extra; ++k) {
        if ((b[i + k] & 0xC0) != 0x80) return false;
        code = code << 6 | (b[i + k] & 0x3F);
    }
    static const uint32_t Least[4] = {0, 0x80, 0x800, 0x10000};
    if (code < Least[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += extra + 1;
    return true;
}

bool IsUtf8(const std::vector<uint8_t>& b, size_t from, size_t* badOffset)
{
    for (size_t i = from; i < b.size();) {
        uint32_t code;
        size_t at = i;
        if (!DecodeUtf8(b, i, code)) {
            if (badOffset) *badOffset = at;
            return false;
        }
    }
    return true;
}

std::string Describe(uint32_t code, const std::string& utf8)
{
    char text[64];
    std::snprintf(text, sizeof text, "U+%04X", (unsigned)code);
    return "the character '" + utf8 + "' (" + text + ") has no byte in code page 1252";
}

// Maps one code point; false when code page 1252 lacks it.
bool ToAnsi(uint32_t code, char& out)
{
    if (code > 0xFFFF) return false;
    unsigned char c = WideToAnsi((char16_t)code);
    if (c == '?' && code != '?') return false;
    out = (char)c;
    return true;
}

} // namespace

unsigned LineOfOffset(const std::string& text, size_t offset)
{
    unsigned line = 1;
    for (size_t i = 0; i < offset && i < text.size(); ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) ++line;
    return line;
}

namespace {

// Whether a character would act on a terminal rather than show: the C0 and C1
// controls, DEL, and the marks that reorder or break lines.
bool ActsOnTerminal(uint32_t c)
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x200E || c == 0x200F || (c >= 0x2028 && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

void AppendUtf8(std::string& out, uint32_t c)
{
    if (c < 0x80) {
        out += (char)c;
    } else if (c < 0x800) {
        out += (char)(0xC0 | c >> 6);
        out += (char)(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += (char)(0xE0 | c >> 12);
        out += (char)(0x80 | ((c >> 6) & 0x3F));
        out += (char)(0x80 | (c & 0x3F));
    } else {
        out += (char)(0xF0 | c >> 18);
        out += (char)(0x80 | ((c >> 12) & 0x3F));
        out += (char)(0x80 | ((c >> 6) & 0x3F));
        out += (char)(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string Cp1252ToUtf8(const std::string& ansi)
{
    std::string out;
    for (unsigned char byte : ansi) AppendUtf8(out, AnsiToWide(byte));
    return out;
}

std::string TextForTerminal(const std::string& text, bool keepLineEnds)
{
    std::vector<uint8_t> bytes(text.begin(), text.end());
    if (!IsUtf8(bytes, 0, nullptr)) {
        std::string converted = Cp1252ToUtf8(text);
        bytes.assign(converted.begin(), converted.end());
    }
    std::string out;
    for (size_t i = 0; i < bytes.size();) {
        uint32_t code = 0;
        DecodeUtf8(bytes, i, code);
        if (ActsOnTerminal(code) && !(keepLineEnds && code == '\n')) {
            char escape[12];
            std::snprintf(escape, sizeof escape, code < 0x100 ? "\\x%02X" : "\\u%04X", (unsigned)code);
            out += escape;
        } else {
            AppendUtf8(out, code);
        }
    }
    return out;
}

const char* EncodingName(SourceEncoding encoding)
{
    return encoding == SourceEncoding::Utf8 ? "UTF-8" : encoding == SourceEncoding::Utf16 ? "UTF-16" : "code page 1252";
}

bool ConvertToAnsi(const std::vector<uint8_t>& bytes, std::string& ansi, TextConversion& info)
{
    info = TextConversion();
    ansi.clear();
    const size_t n = bytes.size();
    if (n >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
        info.encoding = SourceEncoding::Utf16;
        bool little = bytes[0] == 0xFF;
        for (size_t i = 2; i + 1 < n; i += 2) {
            uint32_t unit = little ? (bytes[i] | bytes[i + 1] << 8) : (bytes[i] << 8 | bytes[i + 1]);
            ansi += (char)WideToAnsi((char16_t)unit);
        }
        return true;
    }
    size_t start = 0;
    if (n >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        info.droppedMark = true;
        start = 3;
    }
    bool high = false;
    for (size_t i = start; i < n && !high; ++i) high = bytes[i] >= 0x80;
    size_t badOffset = 0;
    if (!high || !IsUtf8(bytes, start, &badOffset)) {
        if (high && info.droppedMark) {
            std::string before(bytes.begin() + start, bytes.begin() + badOffset);
            info.badLine = LineOfOffset(before, before.size());
            info.problem = "the text begins with a UTF-8 byte-order mark but is not UTF-8";
            return false;
        }
        ansi.assign(bytes.begin() + start, bytes.end());
        return true;
    }
    info.encoding = SourceEncoding::Utf8;
    ansi.reserve(n);
    for (size_t i = start; i < n;) {
        size_t at = i;
        uint32_t code = 0;
        DecodeUtf8(bytes, i, code);
        char c;
        if (!ToAnsi(code, c)) {
            info.badLine = LineOfOffset(ansi, ansi.size());
            info.problem = Describe(code, std::string(bytes.begin() + at, bytes.begin() + i));
            return false;
        }
        ansi += c;
    }
    return true;
}

bool ReadTextAsAnsi(const std::string& path, std::string& ansi, TextConversion& info, std::string& error)
{
    std::vector<uint8_t> bytes;
    if (!kivpack::os::ReadWholeFile(path, bytes, error)) return false;
    if (!ConvertToAnsi(bytes, ansi, info)) {
        error = path + ":" + std::to_string(info.badLine) + ": " + info.problem;
        return false;
    }
    return true;
}
