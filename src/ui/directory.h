// The start of the run and the directory dialogs: the search for an earlier
// installation, the start dialog, the checks of a target or source directory
// and the creation of the target's directories. The text rules they apply
// are in ui/directory_text.h.
#pragma once
#include <windows.h>

// Reads the earlier installation, if any, and shows the first dialog of the
// run: 1550 for a fonts-only installation, 2400 or 2401 for a full product,
// 2402 or 2700 for an update. Returns the dialog's result; nonzero means that
// the install run goes ahead.
int ShowStartDialog();

// Reads Directory into InstalledDir and Version into InstalledVersion from
// the Settings section of the product INI file `file` (a bare name is a file
// in the Windows directory); missing keys give empty texts.
void ReadInstalledCopy(const char* file);
// Reads key `key` (an entry of the key-name table) of the Settings section of
// `file` into `buffer` (`size` bytes); empty when it is missing.
void ReadSettingsValue(unsigned key, char* buffer, unsigned size, const char* file);

// Moves the focus to the directory field of `dialog` and selects its text.
// Posted, so it takes effect after the message dialog that reported the
// fault has closed.
void FocusDirectoryField(HWND dialog);

// Creates every missing directory along `path`. Directories that exist, and
// those the system refuses with access denied (a drive root), are passed
// over. 0 on success, -1 on the first other failure.
int CreateDirectoryPath(const char* path);
// Creates the script's subdirectories below TargetDir: 0, or -1 as soon as
// one cannot be created.
int CreateTargetSubdirectories();

// The folder browser's callback: it opens the browser at the path given as
// its parameter.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data);
