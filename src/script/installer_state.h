// InstallerState: the one global record through which every subsystem shares
// the installation's data. Start-up fills the environment, the script loader
// the script values and tables, the other subsystems their working fields.
// Text fields are zero-terminated 8-bit buffers of the size given; the longest
// text is one byte less. Names in the tables are atoms (0 = none).
#pragma once
#include "platform/platform.h"

enum : unsigned {
    PathSize = 260,
    NameSize = 64,
    WorkBufferSize = 4096,
    StringPoolSize = 512,
    MaxDisks = 32,
    MaxFonts = 32,
    MaxExitLines = 32,
    MaxDeleteLines = 32,
    MaxSubdirs = 32,
    MaxGroupItems = 32,
    MaxOldGroups = 8,
    NoHelpContext = 0x7FFF,
    FirstFileResourceId = 12002,
};

// Directory kinds: the script's directory keywords in table order, then the
// installer's own directory.
enum DirKind : unsigned char {
    DirTarget = 0,
    DirWindows = 1,
    DirSystem = 2,
    DirSystem32 = 3,
    DirFonts = 4,
    DirSource = 5,
};

// Flags of a disk file: the display classes it is for, then the copy flags.
enum FileFlag : unsigned char {
    FlagEga = 0x01,
    FlagVga = 0x02,
    Flag8514 = 0x04,
    FlagAllDisplays = 0x07,
    FlagAppend = 0x08,
    FlagHiddenFont = 0x10,
    FlagSystemFont = 0x20,
    // Never set by a script: the destination is only ever a new file, and
    // a name that is taken fails the transfer with ERROR_FILE_EXISTS.
    FlagNewFileOnly = 0x40,
};

enum DisplayClassValue : unsigned { DisplayEga = 0, DisplayVga = 1, Display8514 = 2 };

// ShellFlags bits.
enum : unsigned { ShellProgramManager = 1, ShellNew = 2, ShellWindowsNt = 4 };

// OwnFiles bits: the files of the Windows directory that this run made.
enum : unsigned { OwnScript = 1, OwnHelpFile = 2 };

// PlatformKind values and GroupItem.PlatformMask bits.
enum : unsigned { PlatformWin31 = 1, PlatformWin95 = 2, PlatformWinNt = 4 };

struct FileRecord {
    AtomHandle SourceAtom;      // the key: the file's source name
    AtomHandle DestAtom;        // destination name below its directory
    AtomHandle DescAtom;        // description, 0 = none
    unsigned short ResourceId;  // payload resource, 12002 onward
    unsigned char DirKind;      // 0 to 4
    unsigned char Flags;        // FileFlag bits
};

struct DiskEntry {
    AtomHandle NameAtom;        // DiskName
    unsigned short FileCount;   // records kept for the current display class
    MemoryHandle Files;         // movable block of FileCount FileRecords
};

struct FontEntry {
    AtomHandle FileAtom;  // font file, the value
    AtomHandle NameAtom;  // registered font name, the key
};

struct ExitEntry {
    AtomHandle ClassAtom;   // window class, the key
    AtomHandle TitlesAtom;  // comma-separated title prefixes, 0 when empty
};

struct DeleteEntry {
    AtomHandle NameAtom;
    unsigned char DirKind;
};

struct GroupItem {
    AtomHandle FileAtom;    // the key: program file name in the target directory
    AtomHandle DescAtom;    // the item's title
    unsigned PlatformMask;  // PlatformWin31 | PlatformWin95 | PlatformWinNt; 7 = all
};

struct OldGroup {
    AtomHandle VersionAtom;  // the key
    AtomHandle GroupAtom;    // group that version created, 0 when empty
};

struct InstallerState {
    // Environment, set by start-up.
    InstanceHandle Instance;
    WindowHandle MainWindow;
    int OsMajor;
    int OsMinor;               // divided by 10 when a multiple of 10
    unsigned PlatformKind;     // 2 Windows 95 family, 4 Windows NT
    unsigned ShellFlags;
    char SourceDir[PathSize];
    char WindowsDir[PathSize];
    char SystemDir[PathSize];
    char System32Dir[PathSize];
    char FontsDir[PathSize];
    unsigned DisplayClass;     // DisplayEga, DisplayVga, Display8514
    unsigned DisplayMask;      // 1 << DisplayClass
    char StringPool[StringPoolSize];
    unsigned StringPoolUsed;
    const char* SelectDirText;     // 8003
    const char* CopyingText;       // 8004
    const char* FontsText;         // 8005
    const char* PercentText;       // 8007
    const char* GroupItemsText;    // 8009 on the new shell, else 8008
    const char* InstallingInText;  // 8010
    const char* DiskDirText;       // 8011
    unsigned short ResourceFileDate;  // MS-DOS date of string 8001
    unsigned short ResourceFileTime;  // MS-DOS time of string 8002
    IconHandle DialogIcon;
    void* HelpHookProc;
    HookHandle HelpHook;

    // Script values, set by the loader.
    unsigned ScriptFromResource;
    char ScriptFileName[PathSize];
    char ScriptPath[PathSize];
    char HelpPath[PathSize];
    unsigned OwnFiles;             // OwnScript, OwnHelpFile: what the clean-up may delete
    char Caption[NameSize];
    char ViewButtonText[32];
    char ProductIni[PathSize];
    char OldProductIni[PathSize];
    char ProductName[NameSize];
    char ProductVersion[NameSize];
    char VersionToPatch[NameSize];
    char OldProductName[NameSize];
    char OldProductVersion[NameSize];
    char UninstallName[NameSize];
    int RequiredWinMajor;
    int RequiredWinMinor;
    unsigned FontsOnly;
    BitmapHandle FontsBitmap;
    int FontsBitmapWidth;
    int FontsBitmapHeight;
    char TargetDir[PathSize];
    unsigned DiskCount;
    int DiskSpace;
    FontEntry FontTable[MaxFonts];
    ExitEntry ExitList[MaxExitLines];
    unsigned ExitCount;
    DeleteEntry DeleteList[MaxDeleteLines];
    unsigned DeleteCount;
    AtomHandle Subdirs[MaxSubdirs];
    unsigned SubdirCount;
    char GroupName[NameSize];
    GroupItem GroupItems[MaxGroupItems];
    OldGroup OldGroups[MaxOldGroups];
    unsigned OldGroupCount;
    char RunFile[PathSize];
    unsigned RunButtons;       // 0 none, 1 "OK/Cancel", 2 "Yes/No"
    char RunMessage[256];
    char RunName[NameSize];
    DiskEntry Disks[MaxDisks];

    // Working fields shared with the dialogs.
    char CurrentSection[NameSize];
    unsigned short CurrentKey;     // entry of the key-name table
    char MessageArg[PathSize];
    char WorkBuffer[WorkBufferSize];

    // Working fields of the other subsystems.
    unsigned CurrentHelpContext;   // NoHelpContext while no dialog has help
    char ErrorDrive;
    unsigned FreeKBytes;
    char ReplacedVersion[NameSize];
    char InstalledDir[PathSize];
    char InstalledVersion[NameSize];
    char DiskPromptName[NameSize];
    unsigned LastError;
    char CopyErrorPath[PathSize];
    int BytesCopied;
    unsigned BytesWritten;         // what the file walk wrote, kept when the gauge is set full
    WindowHandle ProgressDialog;
    void (*ShowProgress)();        // redraws the progress display after BytesCopied changes; null without one
    CursorHandle SavedCursor;
    unsigned GaugeShift;
    unsigned DdeInstance;
    unsigned char FontRemoved[MaxFonts];
};

extern InstallerState State;

// Puts the record in its state at program start: every field zero, Caption
// "Install", CurrentHelpContext 0x7FFF.
void ResetInstallerState();
