// KivDemo: the demo product. One window that shows the program's version and
// the directory it runs from, and whether this is the first start after an
// installation (the installer sets FirstTime in the product's settings file).
#include <windows.h>

namespace {

const char Version[] = "1.0";
char Directory[MAX_PATH];
char Status[128];

LRESULT CALLBACK DemoWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT r;
        GetClientRect(window, &r);
        InflateRect(&r, -12, -12);
        char text[MAX_PATH + 256];
        wsprintfA(text, "KivDemo version %s\n\nRunning from:\n%s\n\n%s", Version, Directory, Status);
        SetBkMode(dc, TRANSPARENT);
        DrawTextA(dc, text, -1, &r, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    DWORD n = GetModuleFileNameA(0, Directory, sizeof Directory);
    while (n && Directory[n - 1] != '\\') --n;
    if (n > 3) --n;
    Directory[n] = 0;

    // The settings file in the Windows directory says whether this version
    // was just installed; the mark is cleared once seen.
    if (GetPrivateProfileIntA("Settings", "FirstTime", 0, "KIVDEMO.INI")) {
        lstrcpyA(Status, "First start after the installation.");
        WritePrivateProfileStringA("Settings", "FirstTime", 0, "KIVDEMO.INI");
    } else {
        lstrcpyA(Status, "Started again.");
    }

    WNDCLASSA wc = {};
    wc.lpfnWndProc = DemoWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(0, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = "KivDemoWindow";
    wc.hIcon = LoadIconA(0, IDI_APPLICATION);
    if (!RegisterClassA(&wc)) return 1;
    HWND window = CreateWindowExA(0, wc.lpszClassName, "KivDemo 1.0", WS_OVERLAPPEDWINDOW, 100, 100,
                                  420, 220, 0, 0, instance, 0);
    if (!window) return 1;
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG msg;
    while (GetMessageA(&msg, 0, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
