// The removal of the product: what the records of the carried script put in
// place, and nothing else. Files of the target directory and below it go;
// files that records put into the Windows, System or System32 directory stay,
// as other programs may share them; a directory goes only when it is empty,
// so one that holds files the user made stays with them. What is already
// gone is passed over, so a second run or a half-removed product ends
// cleanly.
#include <windows.h>
#include "engine/closing_steps.h"
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

// The directories the removal may try, and the count of shared files kept.
DirectoryList Directories;
unsigned SharedFilesKept;
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
                if (DirectoryPath(path, DirTarget, name) && !IsOwnFile(path))
                    go = RemoveFileWithRetry(path);
                break;
            case FateKeepShared:
                if (DirectoryPath(path, records[i].DirKind, name) && Exists(path)) ++SharedFilesKept;
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

// Only a settings file named without a path is the product's own file in the
// Windows directory; one named with a path may be anybody's.
void RemoveSettingsFile()
{
    const char* name = State.ProductIni;
    if (!name[0] || TextFindChar((char*)name, '\\') || TextFindChar((char*)name, '/') ||
        TextFindChar((char*)name, ':'))
        return;
    char path[PathSize];
    if (!DirectoryPath(path, DirWindows, name)) return;
    // The system may hold the file's contents in its profile cache.
    WritePrivateProfileStringA(0, 0, 0, path);
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

// Appends a kept folder to the closing message, one per line.
void NoteKeptFolder(const char* path, int* first)
{
    char* text = State.WorkBuffer;
    if (*first) {
        char heading[128];
        if (LoadStringA((HINSTANCE)State.Instance, IDS_KEPT_FOLDERS, heading, sizeof heading)) {
            TextAppend(text, WorkBufferSize, "\n\n");
            TextAppend(text, WorkBufferSize, heading);
        }
        *first = 0;
    }
    TextAppend(text, WorkBufferSize, "\n");
    TextAppend(text, WorkBufferSize, path);
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

    char* text = State.WorkBuffer;
    char format[128];
    if (!LoadStringA((HINSTANCE)State.Instance, IDS_REMOVED, format, sizeof format)) TextCopy(format, sizeof format, "%s");
    FormatText(text, WorkBufferSize, format, State.ProductName);
    if (SharedFilesKept) {
        char shared[256], line[300];
        if (LoadStringA((HINSTANCE)State.Instance, IDS_KEPT_SHARED, shared, sizeof shared)) {
            FormatText(line, sizeof line, shared, SharedFilesKept);
            TextAppend(text, WorkBufferSize, "\n\n");
            TextAppend(text, WorkBufferSize, line);
        }
    }
    int first = 1;
    for (unsigned i = 0; i < Directories.Count; ++i) {
        char path[PathSize];
        if (!DirectoryPath(path, DirTarget, Directories.Names[i])) continue;
        // RemoveDirectoryA refuses a directory that is not empty.
        if (!RemoveDirectoryA(path) && Exists(path)) NoteKeptFolder(path, &first);
    }
    if (TargetHoldsOthers()) NoteKeptFolder(State.TargetDir, &first);
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
    SharedFilesKept = 0;
    HCURSOR saved = SetCursor(LoadCursorA(0, IDC_WAIT));
    CloseRunningCopies();
    int done = RemoveRecordedFiles() && RemoveFonts();
    if (done) {
        DeleteProgramGroup();
        RemoveSettingsFile();
        RemoveUninstallEntry();
        RemoveDirectoriesAndReport();
    }
    SetCursor(saved);
    return done;
}
