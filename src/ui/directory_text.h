// Text rules for directory fields. Every directory field ends in a backslash,
// so that a path is a plain concatenation. Buffers are 260 bytes.
#pragma once

// Appends a backslash unless the path already ends in one; an empty path
// becomes a single backslash. A full buffer is left as it is.
void EnsureTrailingBackslash(char* path);

// The System32 directory from the system directory as the system reports it
// (without trailing backslash): "32" is appended unless the name already ends
// in "32", as it does wherever the system directory is itself SYSTEM32.
void FormSystem32Directory(char* system32, const char* systemDir);
void SelectWindowsDrive();
