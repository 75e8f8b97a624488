// Text and memory operations of the portable core. The installer links no C
// runtime, so the core uses these instead of the C library's. Every copy into
// a buffer is told the buffer's size, cuts the text to fit and terminates it.
#pragma once
#include <stdarg.h>

unsigned TextLength(const char* text);

// Copies `source` into `buffer` (`size` bytes, size > 0), cut to size - 1
// characters; returns the length stored.
unsigned TextCopy(char* buffer, unsigned size, const char* source);

// Copies at most `count` characters of `source`; returns the length stored.
unsigned TextCopyCount(char* buffer, unsigned size, const char* source, unsigned count);

// Appends `source` to the text in `buffer`, cut to fit; returns the new length.
unsigned TextAppend(char* buffer, unsigned size, const char* source);

// Comparisons without regard to case (ASCII letters), as the keyword tables
// are matched. TextCompareNoCase returns <0, 0 or >0.
int TextCompareNoCase(const char* a, const char* b);
int TextEqualNoCase(const char* a, const char* b);
int TextEqual(const char* a, const char* b);
// Nonzero when `text` begins with `prefix` (first `prefixLength` characters)
// without regard to case.
int TextStartsWithNoCase(const char* text, const char* prefix, unsigned prefixLength);

char CharUpper(char c);
char CharLower(char c);

// Decimal text with the usual rules: leading blanks, an optional sign, digits
// up to the first non-digit. Overflow wraps as 32-bit arithmetic does.
long TextToLong(const char* text);

// Position of the first (or last) `c` in `text`, or null.
char* TextFindChar(char* text, char c);
char* TextFindLastChar(char* text, char c);

// A bounded formatter with the conventions of wsprintf: %s string, %c
// character, %d %i signed, %u unsigned, %x %X hex, the l size prefix, %% a
// percent sign. Null strings print as "(null)". The output is cut to `size`
// and terminated; returns the length stored.
unsigned FormatText(char* buffer, unsigned size, const char* format, ...);
unsigned FormatTextV(char* buffer, unsigned size, const char* format, va_list args);

void MemoryZero(void* memory, unsigned size);
void MemoryCopy(void* destination, const void* source, unsigned size);
