// Helpers shared by the host implementations of the seam: the ANSI code page
// and the file access that honours in-memory files.
#pragma once
#include <string>

#include "platform/host/host_platform.h"
// The files of the host are kivpack's: its seam to the system (a POSIX
// system or Windows, for kivpack.exe) reads and lists them.
#include "tools/kivpack/os/os.h"

// The host behaves as a Windows system whose ANSI code page is 1252 (the
// conversions are in host_platform.h). Text crosses the seam as 8-bit
// code-page-1252 bytes; the profile reader and the atom table work in UTF-16
// internally, as the system does, so that UTF-16 profile files and
// case-insensitive matching of accented letters behave alike.

// Case folding for case-insensitive names: the letters of code page 1252
// (ASCII, Latin-1 and the pairs at 0x8A/0x9A, 0x8C/0x9C, 0x8E/0x9E, 0x9F/0xFF)
// fold to lower case; other characters compare as they are.
char16_t FoldCase(char16_t c);
bool EqualNoCase(const std::u16string& a, const std::u16string& b);

// Reads the whole file at `path`, or the in-memory file registered under it.
// Returns false when there is no such file or it cannot be read.
bool ReadHostFile(const char* path, std::string& bytes);
