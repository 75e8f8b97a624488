// The install script loader: reads every section of the script in a fixed
// order into InstallerState and checks each value.
#pragma once
#include "platform/platform.h"

// Returns 0 when the script was read and found valid, otherwise the id of the
// dialog that reports the first fault: 1100, 1600, 1900, 2000, 2500 or 2800.
unsigned ReadInstallScript();
// The same read for the uninstaller, which carries no help file and shows no
// help: HelpFileName= is neither read nor required, and nothing is put in
// the Windows directory but the script.
unsigned ReadUninstallScript();
// Deletes the script that the loader extracted into the Windows directory,
// when this run made it and has not deleted it yet; a file of that name
// that the run did not make is left alone.
void DeleteExtractedScript();

// GetPrivateProfileString of key-table entry `key` in `section` of the
// script, empty default; returns the length read (0 = missing or empty).
unsigned ReadBasicKey(const char* section, unsigned short key, char* buffer, unsigned size);
// Key names of CurrentSection into WorkBuffer; returns the list's length.
unsigned ReadSectionKeys();
// Key `key` of CurrentSection into a 260-byte buffer; returns the length.
unsigned ReadKeyValue(const char* key, char* buffer);
// Key "File%u" or "Subdirectory%u" with `n` from CurrentSection into a
// 260-byte buffer; the line goes to MessageArg; returns the length.
unsigned ReadNumberedKey(unsigned short key, unsigned n, char* buffer);
// MessageArg = key "=" value.
void SetErrorLine(const char* key, const char* value);
void ReleaseAtom(AtomHandle atom);

// Splits the value of a disk file line in place: the directory kind of its
// keyword, the destination name (after the first backslash, or the key when
// there is none) and the rest after the first comma (null when there is
// none). Returns 0 when the keyword is unknown or the name is empty.
int SplitFileLine(char* value, const char* key, unsigned* kind, const char** name, char** rest);

// Releases the interned strings and file blocks of the disk, font and group
// tables and clears them (the shutdown clean-up's share of the loader's work).
void ReleaseScriptTables();
