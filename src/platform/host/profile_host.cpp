// The profile (INI file) reader of the host: GetPrivateProfileStringA and
// GetPrivateProfileIntA as Windows answers them, so that kivpack and the unit
// tests read a script exactly as the installer will.
//
// A changed file is seen at the next call (the parse of unchanged bytes is
// reused). A file that is missing or cannot be read is an empty profile:
// every query gives its default. The rules, each checked against the system by the differential
// test (tests/e2e/profile_diff.test.sh):
// - Text is code page 1252, or UTF-16 when it begins with a byte-order mark
//   (FF FE little-endian, FE FF big-endian). A UTF-8 mark is not recognised:
//   its three bytes are text of the first line, as on Windows.
// - A line ends at any run of CR and LF characters. Lines are trimmed of
//   blanks (tab, LF, VT, FF, CR, space and the DOS end-of-file mark 0x1A);
//   empty lines are skipped.
// - A line that begins with '[' and holds a ']' is a section header; the name
//   lies between the '[' and the last ']' of the line, trimmed. Lines before
//   the first header belong to an unnamed section.
// - Any other line is a key: the text before its first '=' (trimmed), and
//   the text after it (trimmed) is the value. A line without '=' is a key
//   without value: it reads as missing and is not listed. A line with an
//   empty key name is kept only when the key before it in its section has a
//   name. A zero character ends a name or a value.
// - Names match without regard to case. A lookup takes the first section of
//   that name and the first key of that name in it; later sections of the
//   same name are never read. The names asked for are trimmed too.
// - One pair of matching quotes (" or ') around a value or a default is
//   removed.
// - Key lists skip keys without value and keys whose name begins with ';'.
//   Sections are listed in file order without the unnamed ones.
#include <cstdint>
#include <ctime>
#include <vector>

#include "platform/host/host_internal.h"
#include "platform/platform.h"

namespace {

typedef std::u16string Wide;

struct ProfileKey {
    Wide name;
    Wide value;
    bool hasValue;
};

struct ProfileSection {
    Wide name;
    std::vector<ProfileKey> keys;
};

typedef std::vector<ProfileSection> Profile;

// What one query leaves in a buffer of `size` characters: `text` is what
// precedes the terminator at position `result` (for lists every name with
// its zero); `cutList` marks a list that did not fit.
struct Answer {
    Wide text;
    unsigned result;
    bool cutList;
};

bool IsProfileBlank(char16_t c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20; }

Wide UpToZero(const Wide& text, size_t begin, size_t end)
{
    size_t stop = begin;
    while (stop < end && text[stop] != 0) ++stop;
    return text.substr(begin, stop - begin);
}

Wide Trim(const Wide& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && IsProfileBlank(text[begin])) ++begin;
    while (end > begin && IsProfileBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

Wide DecodeProfile(const std::string& bytes)
{
    const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t n = bytes.size();
    Wide text;
    if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        bool little = b[0] == 0xFF;
        text.reserve(n / 2);
        for (size_t i = 2; i + 1 < n; i += 2)
            text += little ? (char16_t)(b[i] | b[i + 1] << 8) : (char16_t)(b[i] << 8 | b[i + 1]);
        return text;
    }
    text.reserve(n);
    for (size_t i = 0; i < n; ++i) text += AnsiToWide(b[i]);
    return text;
}

Profile ParseProfile(const Wide& text)
{
    Profile profile(1);   // the unnamed section of the lines before any header
    size_t pos = 0, n = text.size();
    while (pos < n) {
        size_t start = pos;
        while (pos < n && text[pos] != '\n' && text[pos] != '\r') ++pos;
        size_t end = pos;
        while (pos < n && (text[pos] == '\n' || text[pos] == '\r')) ++pos;
        while (start < end && IsProfileBlank(text[start])) ++start;
        while (end > start && IsProfileBlank(text[end - 1])) --end;
        if (start == end) continue;

        if (text[start] == '[') {
            size_t close = end;
            while (close > start && text[close - 1] != ']') --close;
            if (close > start) {
                size_t nameStart = start + 1, nameEnd = close - 1;
                while (nameStart < nameEnd && IsProfileBlank(text[nameStart])) ++nameStart;
                while (nameEnd > nameStart && IsProfileBlank(text[nameEnd - 1])) --nameEnd;
                profile.push_back(ProfileSection{UpToZero(text, nameStart, nameEnd), {}});
                continue;
            }
        }

        size_t equals = start;
        while (equals < end && text[equals] != '=') ++equals;
        size_t nameEnd = end, valueStart = end;
        bool hasValue = equals < end;
        if (hasValue) {
            nameEnd = equals;
            while (nameEnd > start && IsProfileBlank(text[nameEnd - 1])) --nameEnd;
            valueStart = equals + 1;
            while (valueStart < end && IsProfileBlank(text[valueStart])) ++valueStart;
        }
        std::vector<ProfileKey>& keys = profile.back().keys;
        if (nameEnd > start || keys.empty() || !keys.back().name.empty())
            keys.push_back(ProfileKey{UpToZero(text, start, nameEnd),
                                      hasValue ? UpToZero(text, valueStart, end) : Wide(), hasValue});
    }
    return profile;
}

bool SameFileVersion(const kivpack::os::FileStatus& a, const kivpack::os::FileStatus& b)
{
    return a.device == b.device && a.file == b.file && a.size == b.size && a.modifiedNs == b.modifiedNs;
}

// A change to the file is always seen. A file in memory is read on every
// call; so is a file on disk, unless its identity, size and modification
// time are those of the last read and that time was already two seconds
// past when the file was read: file times advance in coarse steps, so a
// file written again within one step can keep its time. The parse of the
// last bytes read is kept, since the loader asks one script for thousands
// of keys.
const Profile& LoadProfile(const char* file)
{
    static std::string lastBytes, lastPath;
    static kivpack::os::FileStatus lastInfo;
    static Profile lastProfile;
    static bool haveLast = false, lastSettled = false;
    static const Profile none;
    kivpack::os::FileStatus info;
    bool onDisk = file && !HostMemoryFileExists(file) && kivpack::os::Status(file, info) && info.regular;
    if (onDisk && lastSettled && lastPath == file && SameFileVersion(info, lastInfo)) return lastProfile;
    std::string bytes;
    if (!ReadHostFile(file, bytes)) return none;
    if (!haveLast || bytes != lastBytes) {
        lastProfile = ParseProfile(DecodeProfile(bytes));
        lastBytes.swap(bytes);
        haveLast = true;
    }
    lastPath = onDisk ? file : "";
    lastSettled = onDisk && time(nullptr) - info.modifiedNs / 1000000000 >= 2;
    if (onDisk) lastInfo = info;
    return lastProfile;
}

Wide StripQuotes(const Wide& text)
{
    if (text.size() >= 2 && (text[0] == '"' || text[0] == '\'') && text.back() == text[0])
        return text.substr(1, text.size() - 2);
    return text;
}

// A value or a default: cut to size - 1 characters. A quoted text that fits
// exactly keeps its last character (Wine drops it; Windows does not).
Answer CopyText(const Wide& text, unsigned size)
{
    Wide inner = StripQuotes(text);
    if (inner.size() > size - 1) inner.resize(size - 1);
    return Answer{inner, (unsigned)inner.size(), false};
}

Answer SectionNames(const Profile& profile, unsigned size)
{
    if (size < 2) return Answer{Wide(), 0, false};
    Wide out;
    unsigned room = size - 1;   // characters left before the final zero
    for (const ProfileSection& section : profile) {
        if (section.name.empty()) continue;
        unsigned needed = (unsigned)section.name.size() + 1;
        if (needed >= room) {
            out += section.name.substr(0, room - 1);
            out += char16_t(0);
            return Answer{out.substr(0, size - 2), size - 2, true};
        }
        out += section.name;
        out += char16_t(0);
        room -= needed;
    }
    return Answer{out, (unsigned)out.size(), false};
}

const ProfileSection* FindSection(const Profile& profile, const Wide& name)
{
    for (const ProfileSection& section : profile)
        if (EqualNoCase(section.name, name)) return &section;
    return nullptr;
}

// The key list keeps one character in reserve: a list that would fill the
// buffer to the last byte counts as cut.
Answer KeyNames(const Profile& profile, const Wide& sectionName, unsigned size)
{
    const ProfileSection* section = FindSection(profile, sectionName);
    if (!section || size < 3) return Answer{Wide(), 0, false};
    Wide out;
    unsigned room = size;
    for (const ProfileKey& key : section->keys) {
        if (room <= 2) break;
        if (!key.hasValue || (!key.name.empty() && key.name[0] == ';')) continue;
        Wide name = key.name.substr(0, room - 2);
        out += name;
        out += char16_t(0);
        room -= (unsigned)name.size() + 1;
        if (room < 2) break;
    }
    if (room <= 1) return Answer{out.substr(0, size - 2), size - 2, true};
    return Answer{out, (unsigned)out.size(), false};
}

Answer Query(const Profile& profile, const char* section, const char* key, const char* defaultText,
             unsigned size)
{
    Wide fallback = defaultText ? WidenAnsi(defaultText) : Wide();
    if (!section) return SectionNames(profile, size);
    if (!key) {
        Answer list = KeyNames(profile, WidenAnsi(section), size);
        if (list.result == 0 || list.text[0] == 0) return CopyText(fallback, size);
        return list;
    }
    // Trailing spaces of a default are dropped (only spaces, not tabs), down
    // to its first character, which stays even when it is a space.
    while (fallback.size() > 1 && fallback.back() == ' ') fallback.pop_back();
    const ProfileSection* found = FindSection(profile, Trim(WidenAnsi(section)));
    if (found) {
        Wide keyName = Trim(WidenAnsi(key));
        for (const ProfileKey& candidate : found->keys)
            if (EqualNoCase(candidate.name, keyName))
                return CopyText(candidate.hasValue ? candidate.value : fallback, size);
    }
    return CopyText(fallback, size);
}

// Decimal, or with the prefixes 0x, 0o and 0b (lower case only) hexadecimal,
// octal and binary, after blanks and an optional sign; up to the first
// character that is not a digit; 32-bit wrap-around.
unsigned ParseProfileInteger(const Wide& text)
{
    size_t i = 0, n = text.size();
    while (i < n && text[i] <= ' ') ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    unsigned base = 10;
    if (n - i >= 2 && text[i] == '0') {
        if (text[i + 1] == 'b') base = 2;
        else if (text[i + 1] == 'o') base = 8;
        else if (text[i + 1] == 'x') base = 16;
        if (base != 10) i += 2;
    }
    uint32_t total = 0;
    for (; i < n; ++i) {
        char16_t c = text[i];
        unsigned digit = c >= '0' && c <= '9'   ? c - '0'
                         : c >= 'A' && c <= 'Z' ? c - 'A' + 10
                         : c >= 'a' && c <= 'z' ? c - 'a' + 10
                                                : 99;
        if (digit >= base) break;
        total = total * base + digit;
    }
    return negative ? 0u - total : total;
}

}   // namespace

unsigned ProfileReadString(const char* section, const char* key, const char* defaultText,
                           char* buffer, unsigned size, const char* file)
{
    if (!buffer || size == 0) return 0;
    Answer answer = Query(LoadProfile(file), section, key, defaultText, size);
    for (unsigned i = 0; i < answer.result; ++i) buffer[i] = (char)WideToAnsi(answer.text[i]);
    buffer[answer.result] = 0;
    // A cut list ends with two zeros (Wine leaves the last byte as it was).
    if (answer.cutList) buffer[size - 1] = 0;
    return answer.result;
}

unsigned ProfileReadInt(const char* section, const char* key, int defaultValue, const char* file)
{
    // The system reads the text into 30 characters with an empty default.
    Answer answer = Query(LoadProfile(file), section, key, "", 30);
    if (answer.result == 0 || answer.text[0] == 0) return (unsigned)defaultValue;
    return ParseProfileInteger(UpToZero(answer.text, 0, answer.text.size()));
}
