// The install script's keyword tables and the table of key names that the
// program reads or writes. Keywords match without regard to case.
#pragma once

// Entries of the key-name table, in table order. The three display keys
// follow KeyDiskSpace in DisplayClass order, and the three platform run keys
// stand in the order Win31, Win95, WinNT.
enum KeyName : unsigned short {
    KeyCaption,
    KeyViewButtonText,
    KeyDefaultTargetDir,
    KeyDiskName,
    KeyFontsOnly,
    KeyHelpFileName,
    KeyOldProductIni,
    KeyProductIni,
    KeyProductName,
    KeyProductVersion,
    KeyOldProductName,
    KeyOldProductVersion,
    KeyVersionToPatch,
    KeyWindowsVersion,
    KeyTotalDisks,
    KeyDiskSpace,
    KeyEgaDiskSpace,
    KeyVgaDiskSpace,
    Key8514DiskSpace,
    KeyFileNumbered,
    KeySubdirectoryNumbered,
    KeyGroupName,
    KeyUninstallName,
    KeyButtons,
    KeyFile,
    KeyWin31File,
    KeyWin95File,
    KeyWinNtFile,
    KeyMessage,
    KeyRunName,
    KeyDirectory,
    KeyFirstTime,
    KeyVersion,
    KeyNameCount
};

extern const char* const KeyNames[KeyNameCount];

// "Target", "Windows", "System", "System32", "Fonts": DirKind 0 to 4.
extern const char* const DirectoryKeywords[5];
// "EGA", "VGA", "8514", "Append", "HiddenFont", "SystemFont": Flags bits 0 to 5.
// The first three are also the display keywords of DisplayClass 0 to 2.
extern const char* const FlagKeywords[6];
// "Win31", "Win95", "WinNT": PlatformMask bits 0 to 2.
extern const char* const PlatformKeywords[3];
// "OK/Cancel", "Yes/No": RunButtons 1 and 2.
extern const char* const ButtonKeywords[2];

// Index of `word` in `table` (compared without regard to case), or `count`
// when it matches none.
unsigned MatchKeyword(const char* const* table, unsigned count, const char* word);
