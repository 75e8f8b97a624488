// The install script loader. Every key is read through the profile calls of
// the platform seam, so the script is read with the system's own INI rules;
// nothing of it is cached beyond what the tables keep. The first fault in
// reading order ends the read with the id of the dialog that reports it.
#include "script/loader.h"
#include "engine/transfer.h"
#include "platform/text.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"
#include "script/keywords.h"

namespace {

const char BasicSection[] = "Basic Information";
const unsigned MaxAtomText = 255;

void SetSection(const char* name) { TextCopy(State.CurrentSection, sizeof State.CurrentSection, name); }

// Interns `text` into `*atom`. A text longer than an atom can hold breaks the
// script's grammar (1100, with the line already in MessageArg); a failure of
// the atom table itself is a lack of memory (2000).
unsigned Intern(const char* text, AtomHandle* atom)
{
    if (TextLength(text) > MaxAtomText) return IDD_BAD_LINE;
    *atom = AtomAdd(text);
    return *atom ? 0 : IDD_OUT_OF_MEMORY;
}

// Ends `text` at its first comma; returns the text after it, or 0 when it
// has none.
char* CutAtComma(char* text)
{
    char* comma = TextFindChar(text, ',');
    if (!comma) return 0;
    *comma = 0;
    return comma + 1;
}

// Walks a key list of the form "a\0b\0\0".
const char* NextKey(const char* key) { return key + TextLength(key) + 1; }

// HelpFileName= of [Basic Information]: the help file's source name and,
// after a comma, the name it is installed under in the Windows directory
// (the source name when there is no comma). Sets HelpPath and puts the file
// there; a missing key gives 1600, an empty name on either side of the
// comma or a path too long for its buffer 1100. A help file that cannot be
// put in place is not a fault: help then finds nothing.
unsigned ReadHelpFile()
{
    State.CurrentKey = KeyHelpFileName;
    SetSection(BasicSection);
    char value[PathSize];
    if (!ReadBasicKey(BasicSection, KeyHelpFileName, value, sizeof value)) return IDD_MISSING_KEY;
    char* installed = value;
    char* comma = TextFindChar(value, ',');
    if (comma) {
        *comma = 0;
        installed = comma + 1;
        if (!value[0] || !installed[0]) {
            *comma = ',';
            SetErrorLine(KeyNames[KeyHelpFileName], value);
            return IDD_BAD_LINE;
        }
    }
    // A help path cut at its buffer would name some other file: refuse it as
    // a faulty line instead.
    if (!DirectoryPath(State.HelpPath, DirWindows, installed)) {
        if (comma) *comma = ',';
        SetErrorLine(KeyNames[KeyHelpFileName], value);
        State.HelpPath[0] = 0;
        return IDD_BAD_LINE;
    }
    unsigned mode = SuppressCriticalErrors();
    if (!PlaceRunFile(State.HelpPath, installed, value, KIV_HELP_RESOURCE)) State.OwnFiles |= OwnHelpFile;
    RestoreErrorMode(mode);
    return 0;
}

// The other keys of [Basic Information], in this order: Caption= (also the
// main window's title; missing gives 1600 under the title "Install"), the
// optional texts and versions, ProductName=, WindowsVersion= (a MAJOR.MINOR
// above the running system gives 2800), FontsOnly=, DefaultTargetDir=
// (required unless FontsOnly), TotalDisks= (required, at most 32, else
// 2500) and DiskSpace= or the display class's own variant (required,
// positive, else 1100).
unsigned ReadBasicInformation()
{
    State.CurrentKey = KeyCaption;
    if (!ReadBasicKey(BasicSection, KeyCaption, State.Caption, sizeof State.Caption)) {
        TextCopy(State.Caption, sizeof State.Caption, "Install");
        return IDD_MISSING_KEY;
    }
    SetMainWindowTitle(State.Caption);

    ReadBasicKey(BasicSection, KeyViewButtonText, State.ViewButtonText, sizeof State.ViewButtonText);
    ReadBasicKey(BasicSection, KeyProductIni, State.ProductIni, sizeof State.ProductIni);
    ReadBasicKey(BasicSection, KeyOldProductIni, State.OldProductIni, sizeof State.OldProductIni);
    ReadBasicKey(BasicSection, KeyProductVersion, State.ProductVersion, sizeof State.ProductVersion);
    ReadBasicKey(BasicSection, KeyVersionToPatch, State.VersionToPatch, sizeof State.VersionToPatch);

    State.CurrentKey = KeyProductName;
    if (!ReadBasicKey(BasicSection, KeyProductName, State.ProductName, sizeof State.ProductName))
        return IDD_MISSING_KEY;
    ReadBasicKey(BasicSection, KeyOldProductName, State.OldProductName, sizeof State.OldProductName);
    ReadBasicKey(BasicSection, KeyOldProductVersion, State.OldProductVersion,
                 sizeof State.OldProductVersion);
    ReadBasicKey(BasicSection, KeyUninstallName, State.UninstallName, sizeof State.UninstallName);

    State.CurrentKey = KeyWindowsVersion;
    char value[PathSize];
    if (ReadBasicKey(BasicSection, KeyWindowsVersion, value, sizeof value)) {
        char* point = TextFindChar(value, '.');
        if (point) {
            State.RequiredWinMajor = (int)TextToLong(value);
            State.RequiredWinMinor = (int)TextToLong(point + 1);
            if (State.RequiredWinMinor % 10 == 0) State.RequiredWinMinor /= 10;
            if (State.RequiredWinMajor >= 3 && State.RequiredWinMinor >= 0 &&
                (State.RequiredWinMajor > State.OsMajor ||
                 (State.RequiredWinMajor == State.OsMajor && State.RequiredWinMinor > State.OsMinor)))
                return IDD_WINDOWS_TOO_OLD;
        }
    }

    State.FontsOnly = ProfileReadInt(BasicSection, KeyNames[KeyFontsOnly], 0, State.ScriptPath);
    if (State.FontsOnly) {
        State.FontsBitmapWidth = 40;
        State.FontsBitmapHeight = 100;
        State.FontsBitmap = LoadFontsBitmap(&State.FontsBitmapWidth, &State.FontsBitmapHeight);
    } else {
        State.CurrentKey = KeyDefaultTargetDir;
        if (!ReadBasicKey(BasicSection, KeyDefaultTargetDir, State.TargetDir, sizeof State.TargetDir))
            return IDD_MISSING_KEY;
    }

    State.CurrentKey = KeyTotalDisks;
    State.DiskCount = ProfileReadInt(BasicSection, KeyNames[KeyTotalDisks], 0, State.ScriptPath);
    if (State.DiskCount == 0) return IDD_MISSING_KEY;
    if (State.DiskCount > MaxDisks) return IDD_TOO_MANY_DISKS;

    State.CurrentKey = KeyDiskSpace;
    unsigned short spaceKey = KeyDiskSpace;
    if (!ReadBasicKey(BasicSection, KeyDiskSpace, value, sizeof value)) {
        spaceKey = (unsigned short)(KeyEgaDiskSpace + State.DisplayClass);
        if (!ReadBasicKey(BasicSection, spaceKey, value, sizeof value)) return IDD_MISSING_KEY;
    }
    State.DiskSpace = (int)TextToLong(value);
    if (State.DiskSpace <= 0) {
        SetErrorLine(KeyNames[spaceKey], value);
        return IDD_BAD_LINE;
    }
    return 0;
}

// [fonts], then the display class's "EGA Fonts", "VGA Fonts" or "8514 Fonts":
// every line with a value becomes a FontEntry (the key is the registered
// name, the value the file), up to the table's size. Only interning fails.
unsigned ReadFonts()
{
    unsigned rows = 0;
    SetSection("fonts");
    for (int pass = 0; pass < 2; ++pass) {
        ReadSectionKeys();
        char value[PathSize];
        for (const char* key = State.WorkBuffer; *key && rows < MaxFonts; key = NextKey(key)) {
            if (!ReadKeyValue(key, value)) continue;
            SetErrorLine(key, value);
            FontEntry& row = State.FontTable[rows];
            unsigned r = Intern(value, &row.FileAtom);
            if (!r) r = Intern(key, &row.NameAtom);
            if (r) return r;
            ++rows;
        }
        FormatText(State.CurrentSection, sizeof State.CurrentSection, "%s Fonts",
                   FlagKeywords[State.DisplayClass]);
    }
    return 0;
}

// Every line of a section, while fewer than `limit` rows are filled, into a
// row of two atoms: the key, and the value when it is not empty.
template <class Row>
unsigned ReadAtomPairs(const char* section, Row* rows, unsigned limit, unsigned* count,
                       AtomHandle Row::*keyAtom, AtomHandle Row::*valueAtom)
{
    SetSection(section);
    *count = 0;
    ReadSectionKeys();
    char value[PathSize];
    for (const char* key = State.WorkBuffer; *key && *count < limit; key = NextKey(key)) {
        ReadKeyValue(key, value);
        SetErrorLine(key, value);
        Row& row = rows[*count];
        unsigned r = Intern(key, &(row.*keyAtom));
        if (!r && value[0]) r = Intern(value, &(row.*valueAtom));
        if (r) return r;
        ++*count;
    }
    return 0;
}

// [Exit List]: window class = title prefixes of running copies that the
// installation asks to close, up to the table's size. Only interning fails.
unsigned ReadExitList()
{
    return ReadAtomPairs("Exit List", State.ExitList, MaxExitLines, &State.ExitCount,
                         &ExitEntry::ClassAtom, &ExitEntry::TitlesAtom);
}

// [Delete List]: File1=, File2=, ... up to the first missing number, each a
// directory keyword, a backslash and a file name that the installation
// deletes. A line without a known keyword or without a name gives 1100.
unsigned ReadDeleteList()
{
    SetSection("Delete List");
    State.DeleteCount = 0;
    char value[PathSize];
    for (unsigned n = 1; State.DeleteCount < MaxDeleteLines && ReadNumberedKey(KeyFileNumbered, n, value); ++n) {
        char* slash = TextFindLastChar(value, '\\');
        if (!slash || !slash[1]) return IDD_BAD_LINE;
        *slash = 0;
        unsigned kind = MatchKeyword(DirectoryKeywords, 5, value);
        if (kind == 5) return IDD_BAD_LINE;
        DeleteEntry& row = State.DeleteList[State.DeleteCount];
        row.DirKind = (unsigned char)kind;
        if (unsigned r = Intern(slash + 1, &row.NameAtom)) return r;
        ++State.DeleteCount;
    }
    return 0;
}

// [Target Subdirectories]: Subdir1=, Subdir2=, ... up to the first missing
// number, directories created below the target. Only interning fails.
unsigned ReadSubdirectories()
{
    SetSection("Target Subdirectories");
    State.SubdirCount = 0;
    char value[PathSize];
    for (unsigned n = 1; State.SubdirCount < MaxSubdirs && ReadNumberedKey(KeySubdirectoryNumbered, n, value); ++n) {
        if (unsigned r = Intern(value, &State.Subdirs[State.SubdirCount])) return r;
        ++State.SubdirCount;
    }
    return 0;
}

// [Program Manager Group]: GroupName= and then every other line as an item,
// file = title followed by optional platform words (Win31, Win95, WinNT;
// none means all). An item without a title gives 1100. Without GroupName=
// the section is not read at all.
unsigned ReadProgramGroup()
{
    SetSection("Program Manager Group");
    if (!ReadBasicKey(State.CurrentSection, KeyGroupName, State.GroupName, sizeof State.GroupName)) return 0;
    ReadSectionKeys();
    unsigned items = 0;
    char value[PathSize];
    for (const char* key = State.WorkBuffer; *key && items < MaxGroupItems; key = NextKey(key)) {
        if (TextEqualNoCase(key, KeyNames[KeyGroupName]) || !ReadKeyValue(key, value)) continue;
        SetErrorLine(key, value);
        GroupItem& item = State.GroupItems[items];
        item.PlatformMask = 0;
        if (unsigned r = Intern(key, &item.FileAtom)) return r;
        char* rest = CutAtComma(value);
        // An item needs a title: a value that begins with a comma has none.
        if (!value[0]) return IDD_BAD_LINE;
        if (unsigned r = Intern(value, &item.DescAtom)) return r;
        while (rest) {
            char* field = rest;
            rest = CutAtComma(field);
            unsigned platform = MatchKeyword(PlatformKeywords, 3, field);
            if (platform < 3) item.PlatformMask |= 1u << platform;
        }
        if (!item.PlatformMask) item.PlatformMask = PlatformWin31 | PlatformWin95 | PlatformWinNt;
        ++items;
    }
    return 0;
}

// [Old Program Manager Groups]: version = group name of earlier versions,
// whose groups an update over that version deletes. Only interning fails.
unsigned ReadOldGroups()
{
    return ReadAtomPairs("Old Program Manager Groups", State.OldGroups, MaxOldGroups,
                         &State.OldGroupCount, &OldGroup::VersionAtom, &OldGroup::GroupAtom);
}

// [Run]: the program that the completion dialog offers to start, from the
// running platform's own key (Win31File=, Win95File=, WinNTFile=) or else
// File=. Without one the section is done; with one, Buttons= (OK/Cancel or
// Yes/No, else 1100), Message= and Name= are required (else 1600).
unsigned ReadRunSection()
{
    SetSection("Run");
    unsigned short fileKey = State.PlatformKind == PlatformWin31   ? KeyWin31File
                             : State.PlatformKind == PlatformWin95 ? KeyWin95File
                                                                   : KeyWinNtFile;
    if (!ReadBasicKey(State.CurrentSection, fileKey, State.RunFile, sizeof State.RunFile))
        ReadBasicKey(State.CurrentSection, KeyFile, State.RunFile, sizeof State.RunFile);
    if (!State.RunFile[0]) return 0;

    State.CurrentKey = KeyButtons;
    char value[PathSize];
    if (!ReadBasicKey(State.CurrentSection, KeyButtons, value, sizeof value)) return IDD_MISSING_KEY;
    SetErrorLine(KeyNames[KeyButtons], value);
    unsigned buttons = MatchKeyword(ButtonKeywords, 2, value);
    if (buttons == 2) return IDD_BAD_LINE;
    State.RunButtons = buttons + 1;
    State.CurrentKey = KeyMessage;
    if (!ReadBasicKey(State.CurrentSection, KeyMessage, State.RunMessage, sizeof State.RunMessage))
        return IDD_MISSING_KEY;
    State.CurrentKey = KeyRunName;
    if (!ReadBasicKey(State.CurrentSection, KeyRunName, State.RunName, sizeof State.RunName))
        return IDD_MISSING_KEY;
    return 0;
}

void ReleaseRecord(const FileRecord& record)
{
    ReleaseAtom(record.SourceAtom);
    ReleaseAtom(record.DestAtom);
    ReleaseAtom(record.DescAtom);
}

// Builds one file record from a disk line whose value is in `value`. On a
// fault the atoms already interned for it are released.
unsigned ParseFileLine(const char* key, char* value, FileRecord& record)
{
    if (unsigned r = Intern(key, &record.SourceAtom)) return r;
    unsigned kind;
    const char* name;
    char* rest;
    if (!SplitFileLine(value, key, &kind, &name, &rest)) return IDD_BAD_LINE;
    record.DirKind = (unsigned char)kind;
    if (unsigned r = Intern(name, &record.DestAtom)) return r;
    if (!rest) return 0;
    char* description = rest;
    rest = CutAtComma(description);
    if (description[0])
        if (unsigned r = Intern(description, &record.DescAtom)) return r;
    while (rest) {
        char* field = rest;
        rest = CutAtComma(field);
        unsigned flag = MatchKeyword(FlagKeywords, 6, field);
        if (flag == 6) continue;
        if (flag <= 2 && (record.Flags & FlagAllDisplays) == FlagAllDisplays)
            record.Flags &= (unsigned char)~FlagAllDisplays;
        record.Flags |= (unsigned char)(1u << flag);
    }
    return 0;
}

// [Disk n]: DiskName= and the file lines, into row d - 1 of the disk table.
// Every file line takes the next payload resource id, whether or not its
// display words keep it for this display class. A missing DiskName= gives
// 1600; a file line without a known directory keyword or without a name,
// or one past the last 16-bit resource id, gives 1100.
unsigned ReadDisk(unsigned d, unsigned* nextResourceId)
{
    FormatText(State.CurrentSection, sizeof State.CurrentSection, "Disk %u", d);
    State.CurrentKey = KeyDiskName;
    DiskEntry& disk = State.Disks[d - 1];
    if (!ReadBasicKey(State.CurrentSection, KeyDiskName, State.WorkBuffer, WorkBufferSize))
        return IDD_MISSING_KEY;
    State.WorkBuffer[MaxAtomText] = 0;  // a disk label keeps 255 characters
    disk.NameAtom = AtomAdd(State.WorkBuffer);
    if (!disk.NameAtom) return IDD_OUT_OF_MEMORY;

    // Room for every key but DiskName. Counting them, rather than taking the
    // key count less one, stays right when DiskName was cut off a key list too
    // long for its buffer or appears twice.
    ReadSectionKeys();
    unsigned files = 0;
    for (const char* key = State.WorkBuffer; *key; key = NextKey(key))
        if (!TextEqualNoCase(key, KeyNames[KeyDiskName])) ++files;
    disk.Files = MemoryAllocate((files ? files : 1) * sizeof(FileRecord));
    if (!disk.Files) return IDD_OUT_OF_MEMORY;
    disk.FileCount = 0;

    char value[PathSize];
    for (const char* key = State.WorkBuffer; *key; key = NextKey(key)) {
        if (TextEqualNoCase(key, KeyNames[KeyDiskName])) continue;
        ReadKeyValue(key, value);
        SetErrorLine(key, value);
        // Resource ids are 16-bit: a script with more file lines than that
        // cannot be packed.
        if (*nextResourceId > 0xFFFF) return IDD_BAD_LINE;
        FileRecord record = {};
        record.ResourceId = (unsigned short)(*nextResourceId)++;
        record.DirKind = DirSource;
        record.Flags = FlagAllDisplays;
        if (unsigned r = ParseFileLine(key, value, record)) {
            ReleaseRecord(record);
            return r;
        }
        if (!(record.Flags & State.DisplayMask)) {
            ReleaseRecord(record);
            continue;
        }
        FileRecord* records = (FileRecord*)MemoryLock(disk.Files);
        if (!records) {
            ReleaseRecord(record);
            return IDD_OUT_OF_MEMORY;
        }
        records[disk.FileCount++] = record;
        MemoryUnlock(disk.Files);
    }
    return 0;
}

// `readHelp` puts the help file in place, or is null for a program that
// shows no help.
unsigned ReadScriptSections(unsigned (*readHelp)())
{
    unsigned mode;
    State.ScriptFromResource = PayloadResourceExists(KIV_SCRIPT_RESOURCE) ? 1 : 0;
    LoadResourceString(IDS_SCRIPT_FILE_NAME, State.ScriptFileName, sizeof State.ScriptFileName);
    if (!DirectoryPath(State.ScriptPath, State.ScriptFromResource ? DirWindows : DirSource,
                       State.ScriptFileName))
        State.ScriptPath[0] = 0;

    // The extracted script is read only when this run made it: a file of
    // the same name that was there already is someone else's.
    bool placed = !State.ScriptFromResource;
    if (State.ScriptFromResource && State.ScriptPath[0]) {
        mode = SuppressCriticalErrors();
        placed = !PlaceRunFile(State.ScriptPath, State.ScriptFileName, 0, KIV_SCRIPT_RESOURCE);
        if (placed) State.OwnFiles |= OwnScript;
        RestoreErrorMode(mode);
    }
    if (!State.ScriptPath[0] || !placed || !FileExists(State.ScriptPath)) {
        TextCopy(State.MessageArg, sizeof State.MessageArg, State.ScriptPath);
        return IDD_CANNOT_OPEN_SCRIPT;
    }

    unsigned r = readHelp ? readHelp() : 0;
    if (!r) r = ReadBasicInformation();
    if (!r) r = ReadFonts();
    if (!r) r = ReadExitList();
    if (!r) r = ReadDeleteList();
    if (!r) r = ReadSubdirectories();
    if (!r) r = ReadProgramGroup();
    if (!r) r = ReadOldGroups();
    if (!r) r = ReadRunSection();
    unsigned nextResourceId = KIV_FIRST_FILE_RESOURCE;
    for (unsigned d = 1; !r && d <= State.DiskCount; ++d) r = ReadDisk(d, &nextResourceId);
    return r;
}

} // namespace

int SplitFileLine(char* value, const char* key, unsigned* kind, const char** name, char** rest)
{
    *rest = CutAtComma(value);
    *name = key;
    char* slash = TextFindChar(value, '\\');
    if (slash) {
        *slash = 0;
        *name = slash + 1;
    }
    *kind = MatchKeyword(DirectoryKeywords, 5, value);
    return *kind < 5 && (*name)[0];
}

unsigned ReadBasicKey(const char* section, unsigned short key, char* buffer, unsigned size)
{
    return ProfileReadString(section, KeyNames[key], "", buffer, size, State.ScriptPath);
}

unsigned ReadSectionKeys()
{
    return ProfileReadString(State.CurrentSection, 0, "", State.WorkBuffer, WorkBufferSize,
                             State.ScriptPath);
}

unsigned ReadKeyValue(const char* key, char* buffer)
{
    return ProfileReadString(State.CurrentSection, key, "", buffer, PathSize, State.ScriptPath);
}

unsigned ReadNumberedKey(unsigned short key, unsigned n, char* buffer)
{
    char name[16];
    FormatText(name, sizeof name, KeyNames[key], n);
    unsigned length = ReadKeyValue(name, buffer);
    SetErrorLine(name, buffer);
    return length;
}

void SetErrorLine(const char* key, const char* value)
{
    FormatText(State.MessageArg, sizeof State.MessageArg, "%s=%s", key, value);
}

void ReleaseAtom(AtomHandle atom)
{
    if (atom) AtomDelete(atom);
}

namespace {

unsigned ReadScript(unsigned (*readHelp)())
{
    unsigned r = ReadScriptSections(readHelp);
    // A script read whole is not needed any more. After a fault the extracted
    // script stays while the dialog that names its faulty line is shown, so
    // that the user can open it; the clean-up deletes it.
    if (!r) DeleteExtractedScript();
    return r;
}

} // namespace

unsigned ReadInstallScript() { return ReadScript(ReadHelpFile); }

unsigned ReadUninstallScript() { return ReadScript(0); }

void DeleteExtractedScript()
{
    if (!(State.OwnFiles & OwnScript)) return;
    DeleteFileQuietly(State.ScriptPath);
    State.OwnFiles &= ~OwnScript;
}

void ReleaseScriptTables()
{
    for (unsigned d = 0; d < MaxDisks && State.Disks[d].NameAtom; ++d) {
        DiskEntry& disk = State.Disks[d];
        ReleaseAtom(disk.NameAtom);
        if (disk.Files) {
            FileRecord* records = (FileRecord*)MemoryLock(disk.Files);
            if (records)
                for (unsigned i = 0; i < disk.FileCount; ++i) ReleaseRecord(records[i]);
            MemoryUnlock(disk.Files);
            MemoryFree(disk.Files);
        }
    }
    for (unsigned i = 0; i < MaxFonts; ++i) {
        ReleaseAtom(State.FontTable[i].FileAtom);
        ReleaseAtom(State.FontTable[i].NameAtom);
    }
    for (unsigned i = 0; i < MaxGroupItems; ++i) {
        ReleaseAtom(State.GroupItems[i].FileAtom);
        ReleaseAtom(State.GroupItems[i].DescAtom);
    }
    // The other tables are released too, so that nothing the loader interned
    // outlives the clean-up; every row is visited, since a fault can leave a
    // row half filled beyond its table's count.
    for (unsigned i = 0; i < MaxExitLines; ++i) {
        ReleaseAtom(State.ExitList[i].ClassAtom);
        ReleaseAtom(State.ExitList[i].TitlesAtom);
    }
    for (unsigned i = 0; i < MaxDeleteLines; ++i) ReleaseAtom(State.DeleteList[i].NameAtom);
    for (unsigned i = 0; i < MaxSubdirs; ++i) ReleaseAtom(State.Subdirs[i]);
    for (unsigned i = 0; i < MaxOldGroups; ++i) {
        ReleaseAtom(State.OldGroups[i].VersionAtom);
        ReleaseAtom(State.OldGroups[i].GroupAtom);
    }
    MemoryZero(State.Disks, sizeof State.Disks);
    MemoryZero(State.FontTable, sizeof State.FontTable);
    MemoryZero(State.GroupItems, sizeof State.GroupItems);
    MemoryZero(State.ExitList, sizeof State.ExitList);
    MemoryZero(State.DeleteList, sizeof State.DeleteList);
    MemoryZero(State.Subdirs, sizeof State.Subdirs);
    MemoryZero(State.OldGroups, sizeof State.OldGroups);
    State.ExitCount = State.DeleteCount = State.SubdirCount = State.OldGroupCount = 0;
}
