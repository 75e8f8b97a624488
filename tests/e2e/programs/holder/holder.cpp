// kivholder.exe lock FILE READY [SECONDS]
//   Opens FILE (which must exist) for reading and writing without sharing,
//   so that no other program can open it, and writes READY.
// kivholder.exe window CLASS READY CLOSE_SECONDS [FONT_SECONDS]
//   Keeps a hidden top-level window of class CLASS titled CLASS and writes
//   READY. On WM_CLOSE it goes on handling the message for CLOSE_SECONDS
//   before the window goes, and each WM_FONTCHANGE takes FONT_SECONDS
//   (default 0), so a program that sends those messages waits that long.
// kivholder.exe swap DIR NAME PAYLOAD READY [SECONDS]
//   Plays the program that waits for a file NAME to appear in DIR (TEMP: the
//   temporary directory) or in one
//   of its subdirectories and puts PAYLOAD in its place, by writing over it
//   and by renaming a copy over it, again and again. It writes READY at once
//   and appends a line to READY.log for the first sight of each such file
//   ("seen PATH") and for each replacement that succeeded ("replaced PATH").
//
// Each ends when READY is deleted, or after SECONDS (the window: 60); the
// window also ends on WM_CLOSE. Exit code 0 when it did what it was asked,
// 1 when FILE could not be held or the window not made, 2 on a usage error.
// READY holds one line, "locked" or "window", written only once the state
// it names holds.
#include <windows.h>

namespace {

unsigned CloseDelayMs;
unsigned FontChangeDelayMs;

void WriteReady(const char* path, const char* text)
{
    // Written under a temporary name and renamed, so that a test that polls
    // for READY never sees it half written.
    char temporary[MAX_PATH + 4];
    wsprintfA(temporary, "%s.tmp", path);
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(file, text, lstrlenA(text), &written, 0);
    WriteFile(file, "\r\n", 2, &written, 0);
    CloseHandle(file);
    MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING);
}

const char* ReadyPath;
DWORD Start;
unsigned LimitMs = 60000;

int ShouldEnd()
{
    return GetFileAttributesA(ReadyPath) == INVALID_FILE_ATTRIBUTES || GetTickCount() - Start >= LimitMs;
}

int Lock(const char* path)
{
    HANDLE held = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (held == INVALID_HANDLE_VALUE) return 1;
    WriteReady(ReadyPath, "locked");
    while (!ShouldEnd()) Sleep(50);
    CloseHandle(held);
    return 0;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (ShouldEnd()) DestroyWindow(window);
        return 0;
    case WM_FONTCHANGE:
        Sleep(FontChangeDelayMs);
        return 0;
    case WM_CLOSE:
        Sleep(CloseDelayMs);
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int Window(const char* className, unsigned seconds, unsigned fontSeconds)
{
    CloseDelayMs = seconds * 1000;
    FontChangeDelayMs = fontSeconds * 1000;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(0);
    wc.lpszClassName = className;
    if (!RegisterClassA(&wc)) return 1;
    HWND window = CreateWindowExA(0, className, className, WS_OVERLAPPED, 0, 0, 120, 60, 0, 0, wc.hInstance, 0);
    if (!window) return 1;
    SetTimer(window, 1, 100, 0);
    WriteReady(ReadyPath, "window");
    MSG msg;
    while (GetMessageA(&msg, 0, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}

void Log(const char* line)
{
    char path[MAX_PATH + 8];
    wsprintfA(path, "%s.log", ReadyPath);
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, 0, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(file, line, lstrlenA(line), &written, 0);
    WriteFile(file, "\r\n", 2, &written, 0);
    CloseHandle(file);
}

// One look at `path`: replaced when it is there.
void Attack(const char* path, const char* payload, const char* staged, char* lastSeen)
{
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return;
    char line[MAX_PATH + 16];
    if (lstrcmpiA(lastSeen, path)) {
        lstrcpynA(lastSeen, path, MAX_PATH);
        wsprintfA(line, "seen %s", path);
        Log(line);
    }
    int replaced = CopyFileA(payload, path, FALSE);
    if (!replaced && CopyFileA(payload, staged, FALSE))
        replaced = MoveFileExA(staged, path, MOVEFILE_REPLACE_EXISTING);
    if (replaced) {
        wsprintfA(line, "replaced %s", path);
        Log(line);
    }
}

int Swap(const char* directory, const char* name, const char* payload)
{
    char pattern[MAX_PATH], path[MAX_PATH], staged[MAX_PATH], lastSeen[MAX_PATH] = "", temp[MAX_PATH];
    if (lstrcmpA(directory, "TEMP") == 0) {
        DWORD n = GetTempPathA(sizeof temp, temp);
        if (!n || n >= sizeof temp) return 1;
        if (temp[n - 1] == '\\') temp[n - 1] = 0;
        directory = temp;
    }
    wsprintfA(pattern, "%s\\*", directory);
    wsprintfA(staged, "%s\\kivswap.tmp", directory);
    WriteReady(ReadyPath, "swapping");
    while (!ShouldEnd()) {
        wsprintfA(path, "%s\\%s", directory, name);
        Attack(path, payload, staged, lastSeen);
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(pattern, &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || found.cFileName[0] == '.') continue;
                wsprintfA(path, "%s\\%s\\%s", directory, found.cFileName, name);
                Attack(path, payload, staged, lastSeen);
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        Sleep(1);
    }
    DeleteFileA(staged);
    return 0;
}

// Splits the command line into at most `max` words at blanks ("quotes"
// group words); the program's own name is dropped.
int SplitArguments(char* line, char** words, int max)
{
    int count = -1;
    while (*line && count < max) {
        while (*line == ' ' || *line == '\t') ++line;
        if (!*line) break;
        int quoted = *line == '"';
        if (quoted) ++line;
        char* word = line;
        while (*line && (quoted ? *line != '"' : *line != ' ' && *line != '\t')) ++line;
        if (*line) *line++ = 0;
        if (count >= 0) words[count] = word;
        ++count;
    }
    return count < 0 ? 0 : count;
}

unsigned Number(const char* text)
{
    unsigned n = 0;
    while (*text >= '0' && *text <= '9') n = n * 10 + (unsigned)(*text++ - '0');
    return n;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char* words[6];
    int count = SplitArguments(GetCommandLineA(), words, 6);
    Start = GetTickCount();
    if ((count == 5 || count == 6) && lstrcmpA(words[0], "swap") == 0) {
        ReadyPath = words[4];
        if (count == 6) LimitMs = Number(words[5]) * 1000;
        return Swap(words[1], words[2], words[3]);
    }
    if (count >= 3) ReadyPath = words[2];
    if ((count == 3 || count == 4) && lstrcmpA(words[0], "lock") == 0) {
        if (count == 4) LimitMs = Number(words[3]) * 1000;
        return Lock(words[1]);
    }
    if ((count == 4 || count == 5) && lstrcmpA(words[0], "window") == 0)
        return Window(words[1], Number(words[3]), count == 5 ? Number(words[4]) : 0);
    return 2;
}
