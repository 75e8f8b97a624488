#include "tools/kivpack/lint/script_scan.h"
#include <algorithm>
#include <cstring>

namespace lint {
namespace {

bool IsBlank(unsigned char c) { return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20; }

// The code page 1252 letters fold as the profile reader folds them.
unsigned char Fold(unsigned char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return (unsigned char)(c + 0x20);
    switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return c;
    }
}

std::string Trimmed(const std::string& text, size_t begin, size_t end)
{
    while (begin < end && IsBlank((unsigned char)text[begin])) ++begin;
    while (end > begin && IsBlank((unsigned char)text[end - 1])) --end;
    std::string out = text.substr(begin, end - begin);
    size_t zero = out.find('\0');
    return zero == std::string::npos ? out : out.substr(0, zero);
}

std::string Unquoted(const std::string& text)
{
    if (text.size() >= 2 && (text[0] == '"' || text[0] == '\'') && text.back() == text[0])
        return text.substr(1, text.size() - 2);
    return text;
}

unsigned Distance(const std::string& a, const std::string& b)
{
    std::vector<unsigned> row(b.size() + 1), previous(b.size() + 1), before(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = (unsigned)j;
    for (size_t i = 1; i <= a.size(); ++i) {
        before.swap(previous);
        previous = row;
        row[0] = (unsigned)i;
        for (size_t j = 1; j <= b.size(); ++j) {
            unsigned cost = Fold((unsigned char)a[i - 1]) == Fold((unsigned char)b[j - 1]) ? 0 : 1;
            row[j] = std::min({previous[j] + 1, row[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && Fold((unsigned char)a[i - 1]) == Fold((unsigned char)b[j - 2]) &&
                Fold((unsigned char)a[i - 2]) == Fold((unsigned char)b[j - 1]))
                row[j] = std::min(row[j], before[j - 2] + 1);
        }
    }
    return row[b.size()];
}

} // namespace

bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold((unsigned char)a[i]) != Fold((unsigned char)b[i])) return false;
    return true;
}

std::string NearestName(const std::string& word, const std::vector<std::string>& candidates)
{
    std::string best;
    unsigned bestDistance = ~0u;
    for (const std::string& c : candidates) {
        unsigned d = Distance(word, c);
        if (d < bestDistance) {
            bestDistance = d;
            best = c;
        }
    }
    size_t longer = std::max(word.size(), best.size());
    if (best.empty() || bestDistance == 0 || bestDistance * 3 > longer || bestDistance >= longer) return std::string();
    return best;
}

ScriptScan ScanScript(const std::string& text)
{
    ScriptScan scan;
    scan.sections.push_back(ScanSection());
    unsigned line = 1;
    size_t pos = 0, n = text.size();
    while (pos < n) {
        size_t start = pos;
        while (pos < n && text[pos] != '\n' && text[pos] != '\r') ++pos;
        size_t end = pos;
        unsigned thisLine = line;
        if (pos < n) {
            pos += (text[pos] == '\r' && pos + 1 < n && text[pos + 1] == '\n') ? 2 : 1;
            ++line;
        }
        while (start < end && IsBlank((unsigned char)text[start])) ++start;
        while (end > start && IsBlank((unsigned char)text[end - 1])) --end;
        if (start == end) continue;
        if (text[start] == '[') {
            size_t close = text.rfind(']', end - 1);
            if (close != std::string::npos && close > start) {
                ScanSection section;
                section.name = Trimmed(text, start + 1, close);
                section.line = thisLine;
                for (const ScanSection& earlier : scan.sections)
                    if (!earlier.name.empty() && SameName(earlier.name, section.name)) section.shadowed = true;
                scan.sections.push_back(section);
                continue;
            }
        }
        ScanKey key;
        key.line = thisLine;
        size_t equals = text.find('=', start);
        key.hasValue = equals != std::string::npos && equals < end;
        key.name = Trimmed(text, start, key.hasValue ? equals : end);
        if (key.hasValue) key.value = Unquoted(Trimmed(text, equals + 1, end));
        std::vector<ScanKey>& keys = scan.sections.back().keys;
        if (key.name.empty() && !keys.empty() && keys.back().name.empty()) continue;
        for (const ScanKey& earlier : keys)
            if (SameName(earlier.name, key.name)) key.shadowed = true;
        keys.push_back(key);
    }
    return scan;
}

const ScanSection* ScriptScan::Find(const std::string& name) const
{
    for (const ScanSection& s : sections)
        if (!s.name.empty() && SameName(s.name, name)) return &s;
    return nullptr;
}

const ScanKey* ScriptScan::FindKey(const std::string& section, const std::string& key) const
{
    const ScanSection* s = Find(section);
    if (!s) return nullptr;
    for (const ScanKey& k : s->keys)
        if (SameName(k.name, key)) return &k;
    return nullptr;
}

const ScanKey* ScriptScan::FindGiven(const std::string& section, const std::string& key) const
{
    const ScanKey* k = FindKey(section, key);
    return k && k->hasValue && !k->value.empty() ? k : nullptr;
}

unsigned ScriptScan::LineOf(const std::string& section, const std::string& key) const
{
    if (!key.empty())
        if (const ScanKey* k = FindKey(section, key)) return k->line;
    const ScanSection* s = Find(section);
    return s ? s->line : 0;
}

} // namespace lint
