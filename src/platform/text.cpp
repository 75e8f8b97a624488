#include "platform/text.h"

unsigned TextLength(const char* text)
{
    unsigned n = 0;
    while (text[n]) ++n;
    return n;
}

unsigned TextCopyCount(char* buffer, unsigned size, const char* source, unsigned count)
{
    if (size == 0) return 0;
    unsigned n = 0;
    while (n + 1 < size && n < count && source[n]) {
        buffer[n] = source[n];
        ++n;
    }
    buffer[n] = 0;
    return n;
}

unsigned TextCopy(char* buffer, unsigned size, const char* source)
{
    return TextCopyCount(buffer, size, source, ~0u);
}

unsigned TextAppend(char* buffer, unsigned size, const char* source)
{
    unsigned used = 0;
    while (used < size && buffer[used]) ++used;
    if (used >= size) return used;
    return used + TextCopy(buffer + used, size - used, source);
}

char CharUpper(char c) { return (c >= 'a' && c <= 'z') ? (char)(c - 32) : c; }
char CharLower(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c + 32) : c; }

int TextCompareNoCase(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        unsigned char x = (unsigned char)CharLower(*a), y = (unsigned char)CharLower(*b);
        if (x != y) return x < y ? -1 : 1;
        if (!x) return 0;
    }
}

int TextEqualNoCase(const char* a, const char* b) { return TextCompareNoCase(a, b) == 0; }

int TextEqual(const char* a, const char* b)
{
    for (; *a == *b; ++a, ++b)
        if (!*a) return 1;
    return 0;
}

int TextStartsWithNoCase(const char* text, const char* prefix, unsigned prefixLength)
{
    for (unsigned i = 0; i < prefixLength; ++i)
        if (CharLower(text[i]) != CharLower(prefix[i]) || !text[i]) return 0;
    return 1;
}

long TextToLong(const char* text)
{
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r' || *text == '\v' ||
           *text == '\f')
        ++text;
    int negative = 0;
    if (*text == '-' || *text == '+') negative = *text++ == '-';
    unsigned long value = 0;
    while (*text >= '0' && *text <= '9') value = value * 10 + (unsigned long)(*text++ - '0');
    return negative ? (long)(0ul - value) : (long)value;
}

char* TextFindChar(char* text, char c)
{
    for (; *text; ++text)
        if (*text == c) return text;
    return 0;
}

char* TextFindLastChar(char* text, char c)
{
    char* found = 0;
    for (; *text; ++text)
        if (*text == c) found = text;
    return found;
}

namespace {

struct Output {
    char* buffer;
    unsigned size;
    unsigned used;
    void Put(char c)
    {
        if (used + 1 < size) buffer[used++] = c;
    }
};

void PutNumber(Output& out, unsigned long value, unsigned base, int upper)
{
    // Room for every decimal digit of a 64-bit long, as the host tools have.
    char digits[24];
    unsigned n = 0;
    do {
        unsigned d = (unsigned)(value % base);
        digits[n++] = (char)(d < 10 ? '0' + d : (upper ? 'A' : 'a') + d - 10);
        value /= base;
    } while (value);
    while (n) out.Put(digits[--n]);
}

} // namespace

unsigned FormatTextV(char* buffer, unsigned size, const char* format, va_list args)
{
    if (size == 0) return 0;
    Output out = {buffer, size, 0};
    for (const char* p = format; *p; ++p) {
        if (*p != '%') {
            out.Put(*p);
            continue;
        }
        ++p;
        int isLong = 0;
        if (*p == 'l') {
            isLong = 1;
            ++p;
        }
        switch (*p) {
        case 's': {
            const char* s = va_arg(args, const char*);
            if (!s) s = "(null)";
            while (*s) out.Put(*s++);
            break;
        }
        case 'c': out.Put((char)va_arg(args, int)); break;
        case 'd':
        case 'i': {
            long v = isLong ? va_arg(args, long) : va_arg(args, int);
            if (v < 0) {
                out.Put('-');
                PutNumber(out, 0ul - (unsigned long)v, 10, 0);
            } else {
                PutNumber(out, (unsigned long)v, 10, 0);
            }
            break;
        }
        case 'u':
        case 'x':
        case 'X': {
            unsigned long v = isLong ? va_arg(args, unsigned long) : va_arg(args, unsigned);
            PutNumber(out, v, *p == 'u' ? 10 : 16, *p == 'X');
            break;
        }
        case '%': out.Put('%'); break;
        case 0: --p; break;
        default: out.Put(*p); break;
        }
    }
    buffer[out.used] = 0;
    return out.used;
}

unsigned FormatText(char* buffer, unsigned size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    unsigned n = FormatTextV(buffer, size, format, args);
    va_end(args);
    return n;
}

void MemoryZero(void* memory, unsigned size)
{
    unsigned char* p = (unsigned char*)memory;
    while (size--) *p++ = 0;
}

void MemoryCopy(void* destination, const void* source, unsigned size)
{
    unsigned char* d = (unsigned char*)destination;
    const unsigned char* s = (const unsigned char*)source;
    while (size--) *d++ = *s++;
}
