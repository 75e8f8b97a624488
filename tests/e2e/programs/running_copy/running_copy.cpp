// running_copy.exe CLASS TITLE LOG [HELD]
//
// Shows one top-level window of class CLASS titled TITLE and waits. With
// HELD it keeps that file open (created when missing) without sharing, so
// that no other program can replace it while this one runs. On WM_CLOSE it
// releases the file, appends the line "closed CLASS TITLE" to the file LOG
// and ends with exit code 0. It writes "ready CLASS TITLE" to LOG once the
// window exists, so that a test knows when it may go on.
#include <windows.h>

namespace {

wchar_t ClassName[256];
wchar_t Title[256];
const wchar_t* LogPath;
HANDLE Held = INVALID_HANDLE_VALUE;

void AppendLog(const char* verb)
{
    HANDLE log = CreateFileW(LogPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, 0,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (log == INVALID_HANDLE_VALUE) return;
    char line[600];
    int n = wsprintfA(line, "%s %ls %ls\r\n", verb, ClassName, Title);
    DWORD written;
    WriteFile(log, line, (DWORD)n, &written, 0);
    CloseHandle(log);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        if (Held != INVALID_HANDLE_VALUE) CloseHandle(Held);
        Held = INVALID_HANDLE_VALUE;
        AppendLog("closed");
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 4) return 2;
    lstrcpynW(ClassName, argv[1], 256);
    lstrcpynW(Title, argv[2], 256);
    LogPath = argv[3];
    if (argc > 4) {
        Held = CreateFileW(argv[4], GENERIC_READ | GENERIC_WRITE, 0, 0, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
        if (Held == INVALID_HANDLE_VALUE) return 3;
    }
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(0, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = ClassName;
    if (!RegisterClassW(&wc)) return 4;
    HWND window = CreateWindowW(ClassName, Title, WS_OVERLAPPEDWINDOW, 10, 10, 240, 120, 0, 0, instance, 0);
    if (!window) return 5;
    ShowWindow(window, SW_SHOWNOACTIVATE);
    AppendLog("ready");
    MSG message;
    while (GetMessageW(&message, 0, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
