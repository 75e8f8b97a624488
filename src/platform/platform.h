// The seam between the portable core and the operating system.
//
// The portable core (the script loader and its tables, the SZDD codec and the
// pure computations of the other subsystems) includes no windows.h. It reaches
// the system only through the operations declared here. platform/win32/ passes
// them through to the real calls; platform/host/ implements the same behaviour
// natively for kivpack, the unit tests and the fuzzers.
#pragma once

// Opaque handles, so that InstallerState compiles on both sides.
typedef void* InstanceHandle;
typedef void* WindowHandle;
typedef void* MemoryHandle;   // movable global memory block
typedef void* BitmapHandle;
typedef void* IconHandle;
typedef void* HookHandle;
typedef void* CursorHandle;
typedef unsigned short AtomHandle;   // 0 means none

// Profile (INI file) reading with the Windows profile rules: section and key
// names match without regard to case, values are trimmed of surrounding
// blanks, text is cut to the buffer and always terminated.
//
// Reads key `key` of `section` from `file` into `buffer` (`size` bytes) and
// returns the number of characters stored, without the terminator. A missing
// key gives `defaultText` (null reads as empty; trailing spaces dropped). One
// pair of matching quotes around a value is removed. With `key` null the
// buffer receives the list of all key names of the section, in file order,
// each with its terminating zero, followed by one more zero; the result then
// counts the characters before that final zero, and a list that does not fit
// is cut so that it still ends with two zeros (the result is then size - 2).
// A list counts as not fitting when it would fill the buffer to its last
// byte. Keys without '=' and keys beginning with ';' are not listed. The key
// list of a missing or empty section is `defaultText`. With `section` null
// the buffer receives the list of section names in the same form.
unsigned ProfileReadString(const char* section, const char* key, const char* defaultText,
                           char* buffer, unsigned size, const char* file);

// Reads key `key` of `section` as an integer: decimal after optional blanks
// and sign, or hexadecimal, octal or binary after "0x", "0o" or "0b", up to
// the first character that is not a digit, wrapping at 32 bits; 0 when the
// text is not a number, `defaultValue` when the key is missing or empty.
unsigned ProfileReadInt(const char* section, const char* key, int defaultValue, const char* file);

// The process-local atom table: case-insensitive, reference-counted, at most
// 255 characters per name. AtomAdd returns 0 on failure (empty or too long
// text, table full). "#N" with N decimal is the integer atom N (N modulo
// 65536 in 1..0xBFFF, otherwise a failure); other names get handles in
// 0xC000..0xFFFF. AtomGetName copies the name as first interned into
// `buffer`, cut to `size`, and returns its length (0 for an unknown atom,
// whose buffer is left as it was); an integer atom reads "#N".
AtomHandle AtomAdd(const char* text);
unsigned AtomGetName(AtomHandle atom, char* buffer, unsigned size);
void AtomDelete(AtomHandle atom);

// Nonzero when the file at `path` exists and can be opened.
int FileExists(const char* path);

// Movable, zero-filled global memory, locked only while used.
MemoryHandle MemoryAllocate(unsigned size);
void* MemoryLock(MemoryHandle block);
void MemoryUnlock(MemoryHandle block);
void MemoryFree(MemoryHandle block);

// String-table text `id` of the program's resources into `buffer`; returns
// its length, 0 when the string is missing.
unsigned LoadResourceString(unsigned id, char* buffer, unsigned size);

// Nonzero when the program holds a custom resource of type 256 with `id`.
int PayloadResourceExists(unsigned id);

// Turns the system's critical-error boxes off (SEM_FAILCRITICALERRORS) and
// returns the previous mode, which RestoreErrorMode puts back.
unsigned SuppressCriticalErrors();
void RestoreErrorMode(unsigned mode);

// Sets the title of the hidden main window (the script's Caption).
void SetMainWindowTitle(const char* title);

// Loads bitmap 500 (the fonts-only picture); returns 0 when it is missing.
// Width and height are left alone when it cannot be measured.
BitmapHandle LoadFontsBitmap(int* width, int* height);

// Deletes a file without a system error box; the result is ignored.
void DeleteFileQuietly(const char* path);
