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
