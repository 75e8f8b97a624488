// The steps of the install run around the file transfer: running copies
// closed before copying, and after it the fonts, the group, the settings
// file, the uninstall entry and the delete list. None of them reports a
// failure: the run goes on whatever they meet.
#pragma once

// Asks running copies of the product (the script's Exit List) to close.
void CloseRunningCopies();
// Deletes the files of the script's Delete List.
void ProcessDeleteList();
// Writes the Settings section of the product's INI file.
void WriteProductSettings();
// Creates the Program Manager group or the taskbar shortcuts through DDE.
void CreateProgramGroup();
// Writes the uninstall entry of the new shell.
void RegisterUninstall();

enum FontsMode { FontsInstall = 1, FontsRelease = 2, FontsRestore = 3 };
// Releases the fonts that the copy will replace (FontsRelease), registers and
// loads them (FontsInstall), or undoes a release (FontsRestore).
void InstallFonts(int mode);
