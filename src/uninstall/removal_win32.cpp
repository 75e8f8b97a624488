// The removal of the product: what the records of the carried script put in
// place, and nothing else. Files of the target directory and below it go;
// files that records put into the Windows, System or System32 directory stay,
// as other programs may share them; a directory goes only when it is empty,
// so one that holds files the user made stays with them. What is already
// gone is passed over, so a second run or a half-removed product ends
// cleanly.
#include <windows.h>
#include "engine/closing_steps.h"
#include "engine/payload_crc.h"
#include "engine/resource_bounds_win32.h"
#include "engine/system_case_win32.h"
#include "engine/transfer.h"
#include "integration/uninstall_values.h"
#include "platform/text.h"
#include "resources/kivformat.h"
#include "resources/kivuninst.h"
#include "script/installer_state.h"
#include "uninstall/removal_rules.h"
#include "uninstall/uninstaller.h"

namespace {

// The directories the removal may try, and what it kept, for the closing
// dialog.
DirectoryList Directories;
KeptList SharedKept, ChangedKept, LinksKept, FoldersKept, GroupKeptList;
char OwnPath[PathSize];

int Exists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// Nonzero when the two paths name the same file: equal as written or as the
// system's short names (the Windows 95 family may report either form).
int SamePath(const char* a, const char* b)
{
    if (!SystemCompareNoCase(a, b)) return 1;
    char shortA[PathSize], shortB[PathSize];
    DWORD na = GetShortPathNameA(a, shortA, sizeof shortA);
    DWORD nb = GetShortPathNameA(b, shortB, sizeof shortB);
    return na && nb && na < sizeof shortA && nb < sizeof shortB && !SystemCompareNoCase(shortA, shortB);
}

// Whether `path` is this program's file. The system is asked for short names
// only when the last components could name the same file (equal, or one
// of them a short alias with a tilde): asking for every file of the product
// would double the time of the removal.
int IsOwnFile(const char* path)
{
    const char* name = TextFindLastChar((char*)path, '\\');
    const char* own = TextFindLastChar(OwnPath, '\\');
    name = name ? name + 1 : path;
    own = own ? own + 1 : OwnPath;
    if (SystemCompareNoCase(name, own) && !TextFindChar((char*)name, '~') && !TextFindChar((char*)own, '~'))
        return 0;
    return SamePath(path, OwnPath);
}

// The table of installed files that kivpack gave this uninstaller (null when
// it has none: every file is then the product's as installed).
const unsigned char* InstalledTable;
unsigned InstalledTableSize;

void LoadInstalledTable()
{
    HMODULE module = (HMODULE)State.Instance;
    HRSRC resource =
        FindResourceA(module, MAKEINTRESOURCEA(KIV_INSTALLED_RESOURCE), MAKEINTRESOURCEA(KIV_INSTALLED_TYPE));
    InstalledTable = resource ? LockResourceInImage(module, resource, &InstalledTableSize) : 0;
}

// Nonzero when the file at `path`, which `record` put there, holds other
// bytes now than the installation left: another size, or another CRC-32.
int ChangedSinceInstallation(const FileRecord& record, const char* path)
{
    char name[PathSize];
    if (!InstalledTable || !AtomGetName(record.DestAtom, name, sizeof name)) return 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING, 0, 0);
    if (file == INVALID_HANDLE_VALUE) return 0;
    const DWORD length = GetFileSize(file, 0);
    int verdict = MatchInstalledSize(InstalledTable, InstalledTableSize, name, length);
    if (verdict == 1) {
        unsigned state = PAYLOAD_CRC_START;
        DWORD read = 0;
        int readable;
        while ((readable = ReadFile(file, State.WorkBuffer, WorkBufferSize, &read, 0)) && read)
            state = Crc32Update(state, (const unsigned char*)State.WorkBuffer, read);
        // A file that cannot be read through is kept: nothing shows that it
        // is unchanged.
        verdict = readable ? MatchInstalledFile(InstalledTable, InstalledTableSize, name, length, PayloadCrcFinal(state))
                           : 2;
    }
    CloseHandle(file);
    return verdict == 2;
}

// Nonzero when a folder on the way from the target directory to `name`
// (relative to it) is a link of the file system (a junction or a symbolic
// link): what lies behind it is not the product's. The link is kept in
// LinksKept.
int ReachedThroughLink(const char* name)
{
    char path[PathSize];
    const unsigned length = TextLength(name);
    for (unsigned i = 0; i < length; ++i) {
        if (name[i] != '\\' && name[i] != '/') continue;
        char leading[PathSize];
        TextCopyCount(leading, sizeof leading, name, i);
        if (!DirectoryPath(path, DirTarget, leading)) return 1;
        const DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            AddKept(LinksKept, path, SystemCompareNoCase);
            return 1;
        }
    }
    return 0;
}

// The file records of every disk. Returns 0 when the user cancelled.
int RemoveRecordedFiles()
{
    for (unsigned d = 0; d < State.DiskCount && d < MaxDisks; ++d) {
        const DiskEntry& disk = State.Disks[d];
        if (!disk.Files) continue;
        FileRecord* records = (FileRecord*)MemoryLock(disk.Files);
        if (!records) continue;
        int go = 1;
        for (unsigned i = 0; i < disk.FileCount && go; ++i) {
            char name[PathSize], path[PathSize];
            if (!AtomGetName(records[i].DestAtom, name, sizeof name)) continue;
            switch (DecideRecordFate(records[i].DirKind, name)) {
            case FateRemove:
                AddLeadingDirectories(Directories, name, 0, SystemCompareNoCase);
                // The program's own file goes last, through its copy.
                if (ReachedThroughLink(name) || !DirectoryPath(path, DirTarget, name) || IsOwnFile(path)) break;
                if (ChangedSinceInstallation(records[i], path))
                    AddKept(ChangedKept, path, SystemCompareNoCase);
                else
                    go = RemoveFileWithRetry(path);
                break;
            case FateKeepShared:
                if (DirectoryPath(path, records[i].DirKind, name) && Exists(path))
                    AddKept(SharedKept, path, SystemCompareNoCase);
                break;
            case FatePassOver:
                break;
            }
        }
        MemoryUnlock(disk.Files);
        if (!go) return 0;
    }
    return 1;
}

// The keys of [Settings] that the installation wrote, while they still
// describe it (a later installation elsewhere owns them then); the section
// when nothing else is left in it, and the file when it holds nothing more.
void RemoveProductSettings()
{
    const char* name = State.ProductIni;
    if (!name[0]) return;
    char path[PathSize], value[PathSize], directory[PathSize];
    // A bare name is a file of the Windows directory, as the profile calls
    // find it.
    const int bare = !TextFindChar((char*)name, '\\') && !TextFindChar((char*)name, '/') &&
                     !TextFindChar((char*)name, ':');
    if (bare ? !DirectoryPath(path, DirWindows, name) : TextCopy(path, sizeof path, name) >= sizeof path - 1) return;
    static const char Section[] = "Settings";
    TextCopy(directory, sizeof directory, State.TargetDir);
    const unsigned n = TextLength(directory);
    if (n) directory[n - 1] = 0;
    GetPrivateProfileStringA(Section, "Directory", "", value, sizeof value, path);
    if (value[0] && SystemCompareNoCase(value, directory)) return;
    WritePrivateProfileStringA(Section, "Directory", 0, path);
    GetPrivateProfileStringA(Section, "Version", "", value, sizeof value, path);
    if (State.ProductVersion[0] && !SystemCompareNoCase(value, State.ProductVersion))
        WritePrivateProfileStringA(Section, "Version", 0, path);
    WritePrivateProfileStringA(Section, "FirstTime", 0, path);
    // A key list ends in two zeros; an empty one is a single zero.
    GetPrivateProfileStringA(Section, 0, "", value, sizeof value, path);
    if (!value[0]) WritePrivateProfileStringA(Section, 0, 0, path);
    // The system may hold the file's contents in its profile cache.
    WritePrivateProfileStringA(0, 0, 0, path);
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
    if (file == INVALID_HANDLE_VALUE) return;
    int empty = 1;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, State.WorkBuffer, WorkBufferSize, &read, 0)) empty = 0;
        if (!read || !empty) break;
        for (DWORD k = 0; k < read && empty; ++k) {
            const char c = State.WorkBuffer[k];
            empty = c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0x1A;
        }
    }
    CloseHandle(file);
    const DWORD attributes = GetFileAttributesA(path);
    if (empty && attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        DeleteFileQuietly(path);
}

// The entry of the list of removable programs, only when it names this
// uninstaller: an entry of the same name that points elsewhere belongs to
// another installation.
void RemoveUninstallEntry()
{
    char keyPath[PathSize];
    if (!State.UninstallName[0] || !BuildUninstallKeyPath(keyPath, State.UninstallName)) return;
    HKEY entry;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, keyPath, &entry) != ERROR_SUCCESS) return;
    char value[PathSize];
    DWORD size = sizeof value - 1;
    LONG r = RegQueryValueExA(entry, "UninstallString", 0, 0, (BYTE*)value, &size);
    RegCloseKey(entry);
    if (r != ERROR_SUCCESS) return;
    value[size] = 0;
    char named[PathSize];
    if (UninstallCommandPath(named, value) && SamePath(named, OwnPath)) RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath);
}

// String `id` into `buffer` (128 bytes); empty when it is missing.
const char* LoadText(unsigned id, char* buffer)
{
    if (!LoadStringA((HINSTANCE)State.Instance, id, buffer, 128)) buffer[0] = 0;
    return buffer;
}

// "Product was removed.", then each kind of thing kept, named.
void ComposeClosingMessage()
{
    char* text = State.WorkBuffer;
    char format[128], singular[128], plural[128], more[128];
    if (!LoadStringA((HINSTANCE)State.Instance, IDS_REMOVED, format, sizeof format)) TextCopy(format, sizeof format, "%s");
    FormatText(text, WorkBufferSize, format, State.ProductName);
    LoadText(IDS_KEPT_MORE, more);
    // Each list with its headings for one name and for more; one string
    // serves both where the heading has no number.
    static const struct {
        KeptList* List;
        unsigned short One, Many;
    } Lists[] = {
        {&ChangedKept, IDS_KEPT_CHANGED, IDS_KEPT_CHANGED},
        {&SharedKept, IDS_KEPT_SHARED, IDS_KEPT_SHARED_MANY},
        {&LinksKept, IDS_KEPT_LINK, IDS_KEPT_LINKS},
        {&FoldersKept, IDS_KEPT_FOLDER, IDS_KEPT_FOLDERS},
        {&GroupKeptList, IDS_KEPT_GROUP, IDS_KEPT_GROUP},
    };
    for (const auto& kept : Lists)
        AppendKeptList(text, WorkBufferSize, *kept.List, LoadText(kept.One, singular), LoadText(kept.Many, plural),
                       more);
}

// Nonzero when the target directory holds anything but this program.
int TargetHoldsOthers()
{
    char pattern[PathSize];
    if (!DirectoryPath(pattern, DirTarget, "*.*")) return 1;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    const char* ownName = TextFindLastChar(OwnPath, '\\');
    ownName = ownName ? ownName + 1 : OwnPath;
    int others = 0;
    do {
        const char* n = found.cFileName;
        if (TextEqual(n, ".") || TextEqual(n, "..")) continue;
        // The uninstaller's name is a short name already: it has no alias.
        if (!SystemCompareNoCase(n, ownName)) continue;
        others = 1;
    } while (!others && FindNextFileA(search, &found));
    FindClose(search);
    return others;
}

// The target's subdirectories, deepest first, each only when empty; then the
// closing message with what was kept and why.
void RemoveDirectoriesAndReport()
{
    for (unsigned i = 0; i < State.SubdirCount && i < MaxSubdirs; ++i) {
        char name[PathSize];
        if (AtomGetName(State.Subdirs[i], name, sizeof name))
            AddLeadingDirectories(Directories, name, 1, SystemCompareNoCase);
    }
    SortDeepestFirst(Directories);

    for (unsigned i = 0; i < Directories.Count; ++i) {
        char path[PathSize];
        if (!DirectoryPath(path, DirTarget, Directories.Names[i])) continue;
        const DWORD attributes = GetFileAttributesA(path);
        if (attributes == INVALID_FILE_ATTRIBUTES) continue;
        // A link stays, with what it leads to, and so do the folders that
        // hold it.
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            AddKept(LinksKept, path, SystemCompareNoCase);
            continue;
        }
        // RemoveDirectoryA refuses a directory that is not empty.
        if (!RemoveDirectoryA(path) && Exists(path)) AddKept(FoldersKept, path, SystemCompareNoCase);
    }
    if (TargetHoldsOthers()) {
        char target[PathSize];
        TextCopy(target, sizeof target, State.TargetDir);
        const unsigned n = TextLength(target);
        if (n > 3) target[n - 1] = 0;
        AddKept(FoldersKept, target, SystemCompareNoCase);
    }
    ComposeClosingMessage();
}

}  // namespace

int RemoveFileWithRetry(const char* path)
{
    for (;;) {
        DWORD attributes = GetFileAttributesA(path);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return 1;
        if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
            SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        unsigned mode = SuppressCriticalErrors();
        BOOL deleted = DeleteFileA(path);
        if (!deleted) RecordCopyError(path);
        RestoreErrorMode(mode);
        if (deleted || !Exists(path)) return 1;
        if (!ShowUninstallDialog(IDD_COPY_ERROR)) return 0;
    }
}

int RemoveProduct()
{
    DWORD n = GetModuleFileNameA((HMODULE)State.Instance, OwnPath, sizeof OwnPath);
    if (n >= sizeof OwnPath) n = sizeof OwnPath - 1;
    OwnPath[n] = 0;
    Directories.Count = 0;
    SharedKept.Count = ChangedKept.Count = LinksKept.Count = FoldersKept.Count = GroupKeptList.Count = 0;
    HCURSOR saved = SetCursor(LoadCursorA(0, IDC_WAIT));
    LoadInstalledTable();
    CloseRunningCopies();
    int done = RemoveRecordedFiles() && RemoveFonts();
    if (done) {
        if (DeleteProgramGroup()) AddKept(GroupKeptList, State.GroupName, SystemCompareNoCase);
        RemoveProductSettings();
        RemoveUninstallEntry();
        RemoveDirectoriesAndReport();
    }
    SetCursor(saved);
    return done;
}
