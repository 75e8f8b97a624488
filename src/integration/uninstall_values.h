// The uninstall entry's values: where the entry lives and which uninstaller
// it names.
#pragma once
#include "engine/closing_values.h"

// The parent of every uninstall entry, below HKEY_LOCAL_MACHINE, the same on
// the Windows 95 family and on Windows NT.
extern const char UninstallParentKey[];

// The uninstaller that the entry names: `targetDir` followed by
// "uninst.exe", lower-cased by `lower`, in `path` (PathSize bytes). Returns
// 0, with `path` empty, when it does not fit: an entry for a cut path would
// name another program.
int BuildUninstallString(char* path, const char* targetDir, LowerCaseRule lower);

// The full path of the entry `subkey` below the parent key, in `keyPath`
// (PathSize bytes). Returns 0, with `keyPath` empty, when it does not fit.
int BuildUninstallKeyPath(char* keyPath, const char* subkey);

// The command that an uninstall entry holds for `path`: the path in double
// quotes when it contains a blank (a bare one would be cut at the blank and
// could start another program), the bare path otherwise. Returns 0, with
// `command` empty, when it does not fit PathSize bytes.
int FormatUninstallCommand(char* command, const char* path);
// The program an entry's command names: the text inside a leading pair of
// quotes, or the whole value, without surrounding blanks, in `path`
// (PathSize bytes). Returns its length; 0 for an unterminated quote.
unsigned UninstallCommandPath(char* path, const char* command);
// Nonzero when the entry's `command` names `path`, with or without quotes.
int UninstallCommandNames(const char* command, const char* path, CompareNoCaseRule compare);

// One value of the uninstall entry: text (REG_SZ) or, without text, Number
// (REG_DWORD).
struct UninstallValue {
    const char* Name;
    const char* Text;
    unsigned Number;
};

enum : unsigned { MaxUninstallValues = 8 };

// The values of the entry, in the order they are written: DisplayName
// (`name`), UninstallString (`command`), DisplayVersion (`productVersion`,
// when it is not empty), InstallLocation (`targetDir` without its trailing
// backslash, but for a drive root's; put in `location`, PathSize bytes),
// DisplayIcon (`icon`, the program that the entry's icon comes from),
// EstimatedSize (`bytesWritten` in K, rounded up), NoModify and NoRepair (1:
// the installer offers neither). Fills `values` and returns how many it holds.
unsigned UninstallEntryValues(UninstallValue values[MaxUninstallValues], char* location, const char* name,
                              const char* command, const char* productVersion, const char* targetDir,
                              const char* icon, unsigned bytesWritten);
