// profile_dump: runs one fixed set of profile queries over INI files and
// prints every answer, so that two readers can be compared byte for byte.
//
// The same source builds twice: for Windows it asks GetPrivateProfileStringA
// and GetPrivateProfileIntA, on the host it asks the host side of the seam
// (ProfileReadString, ProfileReadInt). Usage:
//
//   profile_dump FILE...
//
// Each FILE is passed to the profile calls exactly as given (under Wine a
// full Windows path such as Z:\...\a.ini; a bare name would be looked up in
// the Windows directory). The file is also read here, as bytes, to derive
// the names to ask for: every section header and every key-like text of the
// file, trimmed and untrimmed, in every section, so that lines without an
// equals sign, comments and odd headers are asked for by name too.
//
// Output: first "== code page N" (the ANSI code page the answers are in),
// then for each file "== NAME" and one line per query, "<query> => <result> <bytes>", bytes escaped
// (\0 for a zero, \\ for a backslash, \xNN outside printable ASCII). For a
// string query the bytes shown are the first min(size, result + 1): the text
// and its terminator, and for a list every name, each zero and the final
// one. The last byte of a list that was cut is not shown: Windows ends such a
// list with two zeros in the last two bytes, Wine's ANSI entry point writes
// only the first of them (its result, size - 2, is the same), and what the
// installer relies on is the result.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
static unsigned CodePage() { return GetACP(); }
static unsigned ReadString(const char* section, const char* key, const char* def, char* buffer,
                           unsigned size, const char* file)
{
    return GetPrivateProfileStringA(section, key, def, buffer, size, file);
}
static unsigned ReadInt(const char* section, const char* key, int def, const char* file)
{
    return GetPrivateProfileIntA(section, key, def, file);
}
#else
#include "platform/platform.h"
static unsigned CodePage() { return 1252; }   // the host reader's code page
static unsigned ReadString(const char* section, const char* key, const char* def, char* buffer,
                           unsigned size, const char* file)
{
    return ProfileReadString(section, key, def, buffer, size, file);
}
static unsigned ReadInt(const char* section, const char* key, int def, const char* file)
{
    return ProfileReadInt(section, key, def, file);
}
#endif

namespace {

const unsigned kFill = 0x01;   // what an untouched byte of the buffer holds
const size_t kMaxSections = 24;
const size_t kMaxCandidates = 64;
const unsigned kListSizes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 16, 17, 32, 100, 4096, 65536};
const unsigned kValueSizes[] = {0, 1, 2, 3, 4, 5, 6, 8, 16, 64, 255, 256, 4096, 65536};

std::string Escape(const std::string& bytes)
{
    std::string out;
    char hex[8];
    for (unsigned char c : bytes) {
        if (c == 0) out += "\\0";
        else if (c == '\\') out += "\\\\";
        else if (c >= 0x20 && c < 0x7F) out += (char)c;
        else {
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

std::string Show(const char* text) { return text ? "\"" + Escape(text) + "\"" : "null"; }

struct Dumper {
    const char* file;
    std::vector<char> buffer = std::vector<char>(65536 + 16);

    // One string query; returns the bytes it produced (up to the result).
    std::string Query(const char* section, const char* key, const char* def, unsigned size)
    {
        std::memset(buffer.data(), kFill, buffer.size());
        unsigned result = ReadString(section, key, def, buffer.data(), size, file);
        unsigned shown = result + 1 < size ? result + 1 : size;
        if (result > size) shown = size;   // a wrong result must not read past the buffer
        std::string bytes(buffer.data(), shown);
        std::printf("S(%s,%s,%s,%u) => %u \"%s\"\n", Show(section).c_str(), Show(key).c_str(),
                    Show(def).c_str(), size, result, Escape(bytes).c_str());
        return std::string(buffer.data(), result < size ? result : 0);
    }

    void QueryInt(const char* section, const char* key, int def)
    {
        unsigned result = ReadInt(section, key, def, file);
        std::printf("I(%s,%s,%d) => %u\n", Show(section).c_str(), Show(key).c_str(), def, result);
    }
};

std::vector<std::string> SplitList(const std::string& list)
{
    std::vector<std::string> names;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find('\0', start);
        if (end == std::string::npos) end = list.size();
        names.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

void AddUnique(std::vector<std::string>& names, const std::string& name, size_t limit)
{
    if (names.size() >= limit) return;
    for (const std::string& n : names)
        if (n == name) return;
    names.push_back(name);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& text)
{
    size_t b = 0, e = text.size();
    while (b < e && IsBlank(text[b])) ++b;
    while (e > b && IsBlank(text[e - 1])) --e;
    return text.substr(b, e - b);
}

// Section headers and key-like texts of the raw file, in file order.
void Candidates(const char* path, std::vector<std::string>& sections, std::vector<std::string>& keys)
{
    FILE* f = std::fopen(path, "rb");
    if (!f) return;
    std::string text;
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
    std::fclose(f);

    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        std::string line0 = line.substr(0, line.find('\0'));
        std::string trimmed = Trim(line0);
        if (trimmed.empty()) continue;
        if (trimmed[0] == '[') {
            size_t first = trimmed.find(']');
            size_t last = trimmed.rfind(']');
            if (first != std::string::npos) {
                AddUnique(sections, trimmed.substr(1, first - 1), kMaxSections);
                AddUnique(sections, Trim(trimmed.substr(1, first - 1)), kMaxSections);
                AddUnique(sections, trimmed.substr(1, last - 1), kMaxSections);
            } else {
                AddUnique(sections, trimmed.substr(1), kMaxSections);
            }
        }
        size_t equals = line0.find('=');
        std::string name = equals == std::string::npos ? line0 : line0.substr(0, equals);
        if (name.size() > 300) name.resize(300);
        AddUnique(keys, Trim(name), kMaxCandidates);
        AddUnique(keys, name, kMaxCandidates);
    }
}

std::string Upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = (char)(c - 32);
    return s;
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = (char)(c + 32);
    return s;
}

void DumpKey(Dumper& d, const std::string& section, const std::string& key)
{
    const char* s = section.c_str();
    const char* k = key.c_str();
    for (unsigned size : kValueSizes) d.Query(s, k, "DEF", size);
    d.QueryInt(s, k, 77);
    d.QueryInt(s, k, -3);
    d.Query(s, Upper(key).c_str(), "DEF", 4096);
    d.Query(s, Lower(key).c_str(), "DEF", 4096);
    d.Query(s, (" " + key + "\t ").c_str(), "DEF", 4096);
    d.Query(Upper(section).c_str(), k, "DEF", 4096);
    d.Query((" \t" + section + " ").c_str(), k, "DEF", 4096);
    d.QueryInt((" " + section + "\t").c_str(), k, 66);
}

void DumpSection(Dumper& d, const std::string& section, const std::vector<std::string>& candidates)
{
    const char* s = section.c_str();
    std::string list;
    for (unsigned size : kListSizes) {
        std::string got = d.Query(s, nullptr, "DEF", size);
        if (size == 65536) list = got;
    }
    d.Query(s, nullptr, nullptr, 65536);
    d.Query(s, nullptr, "  padded default  ", 65536);
    d.Query(s, nullptr, "'quoted'", 65536);
    d.QueryInt(s, nullptr, 5);
    d.Query(Upper(section).c_str(), nullptr, "DEF", 65536);
    d.Query(Lower(section).c_str(), nullptr, "DEF", 65536);
    d.Query((" \t" + section + " ").c_str(), nullptr, "DEF", 65536);

    std::vector<std::string> keys;
    for (const std::string& k : SplitList(list)) AddUnique(keys, k, 400);
    for (const std::string& k : keys) DumpKey(d, section, k);
    for (const std::string& k : candidates) {
        d.Query(s, k.c_str(), "DEF", 4096);
        d.QueryInt(s, k.c_str(), 55);
    }

    // Missing keys and the defaults.
    const char* defaults[] = {"DEF", "", nullptr, "  padded default \t ", "a b  ", " ", "\"q\"",
                              "0123456789"};
    for (const char* def : defaults) d.Query(s, "no such key here", def, 4096);
    for (unsigned size : {0u, 1u, 2u, 3u, 4u, 5u}) d.Query(s, "no such key here", "DEFAULT", size);
    d.Query(s, "", "DEF", 4096);
    d.Query(s, " ", "DEF", 4096);
    d.QueryInt(s, "no such key here", -1);
    d.QueryInt(s, "no such key here", 12345);
}

void DumpFile(const char* path)
{
    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') base = p + 1;
    std::printf("== %s\n", base);

    Dumper d;
    d.file = path;
    std::vector<std::string> rawSections, candidates;
    Candidates(path, rawSections, candidates);

    std::string names;
    for (unsigned size : kListSizes) {
        std::string got = d.Query(nullptr, nullptr, "DEF", size);
        if (size == 65536) names = got;
    }
    d.Query(nullptr, "anything", "DEF", 65536);
    d.QueryInt(nullptr, nullptr, 9);

    std::vector<std::string> sections;
    for (const std::string& s : SplitList(names)) AddUnique(sections, s, kMaxSections);
    for (const std::string& s : rawSections) AddUnique(sections, s, kMaxSections * 2);
    AddUnique(sections, "", kMaxSections * 3);
    AddUnique(sections, "no such section", kMaxSections * 3);
    for (const std::string& s : sections) DumpSection(d, s, candidates);
}

}   // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: profile_dump FILE...\n");
        return 2;
    }
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::printf("== code page %u\n", CodePage());
    for (int i = 1; i < argc; ++i) DumpFile(argv[i]);
    return 0;
}
