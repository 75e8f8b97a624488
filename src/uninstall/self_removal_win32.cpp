// The removal of the uninstaller's own file. A program cannot delete its own
// file while it runs, so it copies itself into the temporary directory and
// starts the copy with the original's path; the copy waits for the original
// to end, deletes it and the target directory (when empty), and has itself
// removed at the next restart.
#include <windows.h>
#include "platform/text.h"
#include "script/installer_state.h"
#include "startup/startup.h"
#include "ui/directory_text.h"
#include "uninstall/removal_rules.h"
#include "uninstall/uninstaller.h"

namespace {

// How long the copy waits for the original to end.
const unsigned WaitSteps = 300;
const DWORD WaitStep = 100;

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

// Nonzero when the two files hold the same bytes. The copy acts on a path
// given on its command line only when that path is the uninstaller it was
// copied from, so a stray start can delete nothing else.
int SameContents(const char* a, const char* b)
{
    HANDLE fa = CreateFileA(a, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING, 0, 0);
    HANDLE fb = CreateFileA(b, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, OPEN_EXISTING, 0, 0);
    int same = fa != INVALID_HANDLE_VALUE && fb != INVALID_HANDLE_VALUE && GetFileSize(fa, 0) == GetFileSize(fb, 0);
    char* bufferA = State.WorkBuffer;
    char* bufferB = State.WorkBuffer + WorkBufferSize / 2;
    while (same) {
        DWORD na = 0, nb = 0;
        if (!ReadFile(fa, bufferA, WorkBufferSize / 2, &na, 0) || !ReadFile(fb, bufferB, WorkBufferSize / 2, &nb, 0) ||
            na != nb) {
            same = 0;
            break;
        }
        if (na == 0) break;
        for (DWORD i = 0; i < na; ++i)
            if (bufferA[i] != bufferB[i]) same = 0;
    }
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

// Reads WININIT.INI whole, adds the line and writes it back through a
// temporary file, so that an interrupted write leaves the old file intact.
void AddToWininit(const char* line)
{
    char path[PathSize], temporary[PathSize];
    TextCopy(path, sizeof path, State.WindowsDir);
    TextAppend(path, sizeof path, "WININIT.INI");
    TextCopy(temporary, sizeof temporary, State.WindowsDir);
    TextAppend(temporary, sizeof temporary, "WININIT.KI$");
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
        HANDLE written = n ? CreateFileA(temporary, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0) : INVALID_HANDLE_VALUE;
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
    char self[PathSize], temp[PathSize], copy[PathSize], directory[PathSize];
    OwnFile(self);
    DirectoryOf(directory, self);
    DWORD n = GetTempPathA(sizeof temp, temp);
    if (n && n < sizeof temp - 1) {
        if (temp[n - 1] != '\\') TextAppend(temp, sizeof temp, "\\");
        // One fixed name, and a name of this process's own should a copy of
        // another removal still run under the first.
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (attempt)
                FormatText(copy, sizeof copy, "%s~KU%lx.EXE", temp, (unsigned long)GetCurrentProcessId());
            else
                FormatText(copy, sizeof copy, "%s~KIVUNST.EXE", temp);
            if (TextLength(copy) >= sizeof copy - 1 || !CopyFileA(self, copy, FALSE)) continue;
            char* command = State.WorkBuffer;
            FormatText(command, WorkBufferSize, "\"%s\" \"%s\"", copy, self);
            STARTUPINFOA startup;
            MemoryZero(&startup, sizeof startup);
            startup.cb = sizeof startup;
            PROCESS_INFORMATION process;
            // The copy works from the temporary directory, so that nothing of
            // this process holds the target directory.
            if (CreateProcessA(copy, command, 0, 0, FALSE, 0, 0, temp, &startup, &process)) {
                CloseHandle(process.hThread);
                CloseHandle(process.hProcess);
                return;
            }
            DeleteFileA(copy);
        }
    }
    RemoveAtRestart(self);
    RemoveAtRestart(directory);
}

void FinishSelfRemoval(const char* original)
{
    ResetInstallerState();
    State.Instance = GetModuleHandleA(0);
    DetectPlatform();
    GetWindowsDirectoryA(State.WindowsDir, PathSize - 1);
    EnsureTrailingBackslash(State.WindowsDir);

    char self[PathSize], directory[PathSize];
    OwnFile(self);
    const char* name = TextFindLastChar((char*)original, '\\');
    if (!name || !TextEqualNoCase(name + 1, "uninst.exe") || !SameContents(self, original)) return;
    for (unsigned step = 0; step < WaitSteps && Exists(original) && !DeleteFileA(original); ++step) Sleep(WaitStep);
    DirectoryOf(directory, original);
    RemoveDirectoryA(directory);
    RemoveAtRestart(self);
}
