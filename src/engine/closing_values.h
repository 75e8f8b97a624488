// The values that the closing steps of the install run compute from the
// installer state before they touch the system: the title match of the exit
// list, the directory names written without their trailing backslash, and
// the keys of the product's settings file.
//
// Case rules. The installer compares and lower-cases text with the system's
// calls, which know the letters of the ANSI code page; the portable core does
// not call the system, so every computation that depends on case takes the
// rule as a parameter. The ASCII rules below serve the host and the tests.
#pragma once

// 0 when `a` and `b` are equal without regard to case, nonzero otherwise.
typedef int (*CompareNoCaseRule)(const char* a, const char* b);
// Lower-cases the zero-terminated `text` in place.
typedef void (*LowerCaseRule)(char* text);

int AsciiCompareNoCase(const char* a, const char* b);
void AsciiLowerCase(char* text);

// Copies `directory` into `buffer` (`size` bytes) without its final
// backslash: D:\APPS\TOOL\ gives D:\APPS\TOOL, a root D:\ gives D:. A
// directory without a final backslash is copied as it stands. Returns the
// length stored.
unsigned CopyDirectoryName(char* buffer, unsigned size, const char* directory);

// Nonzero when the exit list's `titles` select a window whose text is
// `windowText`: an empty list selects every window; otherwise one of the
// comma-separated titles must begin the window text, compared by `compare`
// over the title's length. An empty title (a leading comma, two commas in a
// row) begins every text; a comma at the end of the list adds no title.
// Both texts are at most 63 characters (the exit list's fetch cuts them).
int ExitTitlesMatch(const char* windowText, const char* titles, CompareNoCaseRule compare);

// One key of the Settings section of the product's INI file.
struct SettingsValue {
    const char* Key;
    const char* Value;
};

enum : unsigned { MaxSettingsValues = 3 };

// The keys that a finished installation writes into the Settings section, in
// the order they are written: Version (when `productVersion` is not empty),
// Directory (`targetDir` without its trailing backslash, put in
// `directory`, a buffer of PathSize bytes), FirstTime "1" (when the product
// version differs from `installedVersion` by `compare`). Fills `values` and
// returns how many it holds.
unsigned ProductSettingsValues(SettingsValue values[MaxSettingsValues], char* directory,
                               const char* productVersion, const char* installedVersion,
                               const char* targetDir, CompareNoCaseRule compare);
