// kivholder.exe lock FILE READY [SECONDS]
//   Opens FILE (which must exist) for reading and writing without sharing,
//   so that no other program can open it, and writes READY.
// kivholder.exe window CLASS READY CLOSE_SECONDS [FONT_SECONDS]
//   Keeps a hidden top-level window of class CLASS titled CLASS and writes
//   READY. On WM_CLOSE it goes on handling the message for CLOSE_SECONDS
//   before the window goes, and each WM_FONTCHANGE takes FONT_SECONDS
//   (default 0), so a program that sends those messages waits that long.
//
// Either ends when READY is deleted, or after SECONDS (the window: 60); the
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
    if (count >= 3) ReadyPath = words[2];
    if ((count == 3 || count == 4) && lstrcmpA(words[0], "lock") == 0) {
        if (count == 4) LimitMs = Number(words[3]) * 1000;
        return Lock(words[1]);
    }
    if ((count == 4 || count == 5) && lstrcmpA(words[0], "window") == 0)
        return Window(words[1], Number(words[3]), count == 5 ? Number(words[4]) : 0);
    return 2;
}
