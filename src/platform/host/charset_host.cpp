// Code page 1252 and case folding for the host side of the seam.
#include "platform/host/host_internal.h"

namespace {

// 0x80..0x9F of code page 1252; the five unassigned bytes map to the C1
// control characters of the same value, as the system's table does.
const char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}   // namespace

char16_t AnsiToWide(unsigned char c)
{
    return (c >= 0x80 && c < 0xA0) ? kHighControls[c - 0x80] : (char16_t)c;
}

unsigned char WideToAnsi(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return (unsigned char)c;
    for (unsigned i = 0; i < 32; ++i)
        if (kHighControls[i] == c) return (unsigned char)(0x80 + i);
    return '?';
}

std::u16string WidenAnsi(const char* text)
{
    std::u16string wide;
    for (; *text; ++text) wide += AnsiToWide((unsigned char)*text);
    return wide;
}

std::string NarrowToAnsi(const std::u16string& text)
{
    std::string narrow;
    narrow.reserve(text.size());
    for (char16_t c : text) narrow += (char)WideToAnsi(c);
    return narrow;
}

char16_t FoldCase(char16_t c)
{
    if (c >= 'A' && c <= 'Z') return (char16_t)(c + 0x20);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return (char16_t)(c + 0x20);
    switch (c) {
    case 0x0160: return 0x0161;
    case 0x0152: return 0x0153;
    case 0x017D: return 0x017E;
    case 0x0178: return 0x00FF;
    default: return c;
    }
}

bool EqualNoCase(const std::u16string& a, const std::u16string& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}
