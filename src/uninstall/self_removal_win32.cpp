// The removal of the uninstaller's own file. A program cannot delete its own
// file while it runs, so it copies itself and starts the copy with the
// original's path; the copy waits for the original to end, deletes it and
// the target directory (when empty), and has itself removed at the next
// restart.
//
// Nothing may take the copy's place before it runs, since it runs with the
// uninstaller's rights. It goes into a folder that this run creates under a
// name nobody held before; on Windows NT only Administrators and SYSTEM may
// write there (the same user without elevation may only read). The file is
// created new, and the bytes that will run are compared with the original
// under a handle that shares neither writing nor deletion, held until the
// copy's process exists: what an intruder put there in the moment between
// the writing and that handle is found and never started. The copy in turn
// acts only when its parent process is the program at the path it was given.
#include <windows.h>
#include <tlhelp32.h>
#include "engine/transfer.h"
#include "platform/text.h"
#include "script/installer_state.h"
#include "startup/startup.h"
#include "ui/directory_text.h"
#include "uninstall/removal_rules.h"
#include "uninstall/uninstaller.h"

namespace {

// How long the copy waits for the original to end, and the original for the
// copy to take over.
const DWORD OriginalEndLimit = 30000;
const DWORD TakeOverLimit = 30000;
const unsigned DeleteSteps = 50;
const DWORD DeleteStep = 100;
const char CopyName[] = "~KIVUNST.EXE";

int Exists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

void OwnFile(char* path)
{
    DWORD n = GetModuleFileNameA(0, path, PathSize);
    if (n >= PathSize) n = PathSize - 1;
    path[n] = 0;
}

HANDLE OpenToRead(const char* path)
{
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
}

// Nonzero when the two open files hold the same bytes, both read from their
// start.
int SameContents(HANDLE fa, HANDLE fb)
{
    if (fa == INVALID_HANDLE_VALUE || fb == INVALID_HANDLE_VALUE || GetFileSize(fa, 0) != GetFileSize(fb, 0))
        return 0;
    SetFilePointer(fa, 0, 0, FILE_BEGIN);
    SetFilePointer(fb, 0, 0, FILE_BEGIN);
    char* bufferA = State.WorkBuffer;
    char* bufferB = State.WorkBuffer + WorkBufferSize / 2;
    for (;;) {
        DWORD na = 0, nb = 0;
        if (!ReadFile(fa, bufferA, WorkBufferSize / 2, &na, 0) || !ReadFile(fb, bufferB, WorkBufferSize / 2, &nb, 0) ||
            na != nb)
            return 0;
        if (na == 0) return 1;
        for (DWORD i = 0; i < na; ++i)
            if (bufferA[i] != bufferB[i]) return 0;
    }
}

int SamePathsContents(const char* a, const char* b)
{
    HANDLE fa = CreateFileA(a, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING, 0, 0);
    HANDLE fb = CreateFileA(b, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING, 0, 0);
    int same = SameContents(fa, fb);
    if (fa != INVALID_HANDLE_VALUE) CloseHandle(fa);
    if (fb != INVALID_HANDLE_VALUE) CloseHandle(fb);
    return same;
}

// The directory part of `path`, without its final backslash.
void DirectoryOf(char* directory, const char* path)
{
    TextCopy(directory, PathSize, path);
    char* slash = TextFindLastChar(directory, '\\');
    if (slash) *slash = 0;
}

// The copy's folder on Windows NT: full control for SYSTEM (S-1-5-18) and
// Administrators (S-1-5-32-544), reading and running for the owner (OWNER
// RIGHTS, S-1-3-4, which also takes away the owner's implied right to change
// the list), each for the folder and what it will hold; nothing inherited
// from the temporary directory. Laid out as the access list's format
// defines it: the calls that would build it are not there on every system
// the program runs on.
#define FOLDER_ACE(size, mask) ACCESS_ALLOWED_ACE_TYPE, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, size, 0, \
    (mask) & 0xFF, ((mask) >> 8) & 0xFF, ((mask) >> 16) & 0xFF, ((mask) >> 24) & 0xFF
const unsigned char FolderAclBytes[72] __attribute__((aligned(4))) = {
    ACL_REVISION, 0, 72, 0, 3, 0, 0, 0,
    FOLDER_ACE(20, FILE_ALL_ACCESS), 1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0,
    FOLDER_ACE(24, FILE_ALL_ACCESS), 1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0,
    FOLDER_ACE(20, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE), 1, 1, 0, 0, 0, 0, 0, 3, 4, 0, 0, 0,
};

// Creates a folder of a name that did not exist, in `folder`.
int MakeOwnFolder(char* folder, const char* temp)
{
    SECURITY_DESCRIPTOR descriptor;
    MemoryZero(&descriptor, sizeof descriptor);
    descriptor.Revision = SECURITY_DESCRIPTOR_REVISION;
    descriptor.Control = SE_DACL_PRESENT | SE_DACL_PROTECTED;
    descriptor.Dacl = (PACL)FolderAclBytes;
    SECURITY_ATTRIBUTES attributes;
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = &descriptor;
    attributes.bInheritHandle = FALSE;
    SECURITY_ATTRIBUTES* use = State.PlatformKind == PlatformWinNt ? &attributes : 0;
    DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 12);
    for (unsigned attempt = 0; attempt < 64; ++attempt) {
        seed = seed * 1103515245u + 12345u;
        if (FormatText(folder, PathSize, "%s~KIV%lx.TMP", temp, (unsigned long)(seed >> 4)) >= PathSize - 16)
            return 0;
        if (CreateDirectoryA(folder, use)) return 1;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return 0;
    }
    return 0;
}

// Writes the original's bytes into the new file `copy`.
int WriteCopy(const char* self, const char* copy)
{
    HANDLE out = CreateFileA(copy, GENERIC_WRITE, 0, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, 0);
    if (out == INVALID_HANDLE_VALUE) return 0;
    HANDLE in = CreateFileA(self, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING, 0, 0);
    int ok = in != INVALID_HANDLE_VALUE;
    while (ok) {
        DWORD n = 0, written = 0;
        if (!ReadFile(in, State.WorkBuffer, WorkBufferSize, &n, 0)) ok = 0;
        else if (n == 0) break;
        else ok = WriteFile(out, State.WorkBuffer, n, &written, 0) && written == n;
    }
    if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
    CloseHandle(out);
    if (!ok) DeleteFileA(copy);
    return ok;
}

// Where the copy cannot tell its parent (Windows NT 4.0 lacks the calls),
// there is no copy.
typedef HANDLE(WINAPI* SnapshotCall)(DWORD flags, DWORD process);
typedef BOOL(WINAPI* ProcessWalkCall)(HANDLE snapshot, PROCESSENTRY32* entry);
typedef BOOL(WINAPI* ModuleWalkCall)(HANDLE snapshot, MODULEENTRY32* entry);
FARPROC Kernel(const char* name)
{
    return GetProcAddress(GetModuleHandleA("kernel32.dll"), name);
}

// Starts the copy; 0 when there is none.
int StartCopy(const char* self)
{
    if (!Kernel("CreateToolhelp32Snapshot")) return 0;
    char temp[PathSize], folder[PathSize], copy[PathSize];
    DWORD n = GetTempPathA(sizeof temp, temp);
    if (!n || n >= sizeof temp - 1) return 0;
    if (temp[n - 1] != '\\') TextAppend(temp, sizeof temp, "\\");
    if (!MakeOwnFolder(folder, temp)) return 0;
    FormatText(copy, sizeof copy, "%s\\%s", folder, CopyName);
    int started = 0;
    if (WriteCopy(self, copy)) {
        HANDLE held = OpenToRead(copy);
        HANDLE original = CreateFileA(self, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING, 0, 0);
        const int same = SameContents(held, original);
        if (original != INVALID_HANDLE_VALUE) CloseHandle(original);
        SECURITY_ATTRIBUTES inherited;
        inherited.nLength = sizeof inherited;
        inherited.lpSecurityDescriptor = 0;
        inherited.bInheritHandle = TRUE;
        HANDLE takenOver = same ? CreateEventA(&inherited, TRUE, FALSE, 0) : 0;
        if (takenOver) {
            char* command = State.WorkBuffer;
            FormatText(command, WorkBufferSize, "\"%s\" %lx \"%s\"", copy, (unsigned long)(DWORD_PTR)takenOver, self);
            STARTUPINFOA startup;
            MemoryZero(&startup, sizeof startup);
            startup.cb = sizeof startup;
            PROCESS_INFORMATION process;
            // The copy works from the temporary directory, so that nothing of
            // this process holds the target directory.
            if (CreateProcessA(copy, command, 0, 0, TRUE, 0, 0, temp, &startup, &process)) {
                HANDLE waited[2] = {takenOver, process.hProcess};
                started = WaitForMultipleObjects(2, waited, FALSE, TakeOverLimit) == WAIT_OBJECT_0;
                CloseHandle(process.hThread);
                CloseHandle(process.hProcess);
            }
            CloseHandle(takenOver);
        }
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        // Only the file this run wrote, as compared, is deleted; a file that
        // took its place stays, and so does the folder then.
        if (!started && same) DeleteFileA(copy);
    }
    if (!started) RemoveDirectoryA(folder);
    return started;
}

// Nonzero when the parent of this process runs the program at `path`; the
// parent is then held open in *parent.
int StartedBy(const char* path, HANDLE* parent)
{
    SnapshotCall snapshot = (SnapshotCall)Kernel("CreateToolhelp32Snapshot");
    ProcessWalkCall first = (ProcessWalkCall)Kernel("Process32First");
    ProcessWalkCall next = (ProcessWalkCall)Kernel("Process32Next");
    ModuleWalkCall module = (ModuleWalkCall)Kernel("Module32First");
    if (!snapshot || !first || !next || !module) return 0;
    HANDLE processes = snapshot(TH32CS_SNAPPROCESS, 0);
    if (processes == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    DWORD parentId = 0;
    const DWORD own = GetCurrentProcessId();
    for (BOOL more = first(processes, &entry); more; more = next(processes, &entry))
        if (entry.th32ProcessID == own) parentId = entry.th32ParentProcessID;
    CloseHandle(processes);
    // Held open first, so that its id cannot pass to another process while
    // its file is looked at; a parent already gone fails the check below.
    *parent = parentId ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, parentId) : 0;
    if (!*parent) return 0;
    DWORD code = 0;
    int matches = 0;
    HANDLE modules = snapshot(TH32CS_SNAPMODULE, parentId);
    if (modules != INVALID_HANDLE_VALUE) {
        MODULEENTRY32 main;
        main.dwSize = sizeof main;
        matches = module(modules, &main) && !lstrcmpiA(main.szExePath, path);
        CloseHandle(modules);
    }
    if (matches && GetExitCodeProcess(*parent, &code) && code == STILL_ACTIVE) return 1;
    CloseHandle(*parent);
    *parent = 0;
    return 0;
}

// Reads WININIT.INI whole, adds the line and writes it back through a
// temporary file, so that an interrupted write leaves the old file intact.
// The temporary file is created new, under the first free variant of its
// name: a file of that name that is there already is not this run's.
void AddToWininit(const char* line)
{
    char path[PathSize], temporary[PathSize], name[PathSize];
    TextCopy(path, sizeof path, State.WindowsDir);
    TextAppend(path, sizeof path, "WININIT.INI");
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
    DWORD length = 0;
    if (file != INVALID_HANDLE_VALUE) {
        length = GetFileSize(file, 0);
        if (length == INVALID_FILE_SIZE) length = 0;
    }
    const unsigned size = length + TextLength(line) + 32;
    MemoryHandle block = MemoryAllocate(size * 2);
    char* text = block ? (char*)MemoryLock(block) : 0;
    DWORD read = 0;
    int ok = text != 0;
    if (ok && file != INVALID_HANDLE_VALUE) ok = ReadFile(file, text, length, &read, 0) && read == length;
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (ok) {
        char* out = text + size;
        const unsigned n = AddRenameLine(out, size, text, length, line);
        HANDLE written = INVALID_HANDLE_VALUE;
        for (unsigned v = 0; n && v < NameVariants && written == INVALID_HANDLE_VALUE; ++v) {
            FileNameVariant(name, "WININIT.KI$", v);
            TextCopy(temporary, sizeof temporary, State.WindowsDir);
            TextAppend(temporary, sizeof temporary, name);
            written = CreateFileA(temporary, GENERIC_WRITE, 0, 0, CREATE_NEW, 0, 0);
            if (written == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
        }
        if (written != INVALID_HANDLE_VALUE) {
            DWORD count = 0;
            ok = WriteFile(written, out, n, &count, 0) && count == n;
            CloseHandle(written);
            if (ok && (!Exists(path) || DeleteFileA(path))) MoveFileA(temporary, path);
            else DeleteFileA(temporary);
        }
    }
    if (text) MemoryUnlock(block);
    if (block) MemoryFree(block);
}

}  // namespace

void RemoveAtRestart(const char* path)
{
    if (State.PlatformKind == PlatformWinNt) {
        // Looked up rather than imported: the Windows 95 family exports only
        // a stub of it that fails, and the program imports nothing of that kind.
        typedef BOOL(WINAPI * MoveFileExCall)(LPCSTR from, LPCSTR to, DWORD flags);
        MoveFileExCall moveFileEx =
            (MoveFileExCall)GetProcAddress(GetModuleHandleA("kernel32.dll"), "MoveFileExA");
        if (moveFileEx) moveFileEx(path, 0, MOVEFILE_DELAY_UNTIL_REBOOT);
        return;
    }
    // The Windows 95 family carries out WININIT.INI before Windows starts,
    // where only short names are known.
    char shortPath[PathSize], line[PathSize + 8];
    DWORD n = GetShortPathNameA(path, shortPath, sizeof shortPath);
    if (!n || n >= sizeof shortPath) TextCopy(shortPath, sizeof shortPath, path);
    FormatText(line, sizeof line, "NUL=%s", shortPath);
    AddToWininit(line);
}

void StartSelfRemoval()
{
    char self[PathSize], directory[PathSize];
    OwnFile(self);
    DirectoryOf(directory, self);
    if (StartCopy(self)) return;
    RemoveAtRestart(self);
    RemoveAtRestart(directory);
}

void FinishSelfRemoval(const char* arguments)
{
    ResetInstallerState();
    State.Instance = GetModuleHandleA(0);
    DetectPlatform();
    GetWindowsDirectoryA(State.WindowsDir, PathSize - 1);
    EnsureTrailingBackslash(State.WindowsDir);

    char self[PathSize], directory[PathSize], original[PathSize];
    unsigned long takenOver = 0;
    if (!ParseCopyArguments(arguments, &takenOver, original)) return;
    OwnFile(self);
    const char* name = TextFindLastChar(original, '\\');
    HANDLE parent = 0;
    if (!name || !TextEqualNoCase(name + 1, "uninst.exe") || !StartedBy(original, &parent)) return;
    if (!SamePathsContents(self, original)) {
        CloseHandle(parent);
        return;
    }
    SetEvent((HANDLE)(DWORD_PTR)takenOver);
    WaitForSingleObject(parent, OriginalEndLimit);
    CloseHandle(parent);
    for (unsigned step = 0; step < DeleteSteps && Exists(original) && !DeleteFileA(original); ++step) Sleep(DeleteStep);
    DirectoryOf(directory, original);
    RemoveDirectoryA(directory);
    RemoveAtRestart(self);
    DirectoryOf(directory, self);
    RemoveAtRestart(directory);
}
