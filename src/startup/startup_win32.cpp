// Start-up: single-instance check, platform, window classes, the hidden main
// window, directories, display class, dialog templates, texts and the script.
#include <windows.h>
#include "platform/text.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"
#include "script/loader.h"
#include "startup/main_window.h"
#include "startup/startup.h"
#include "ui/dialogs.h"
#include "ui/directory_text.h"
#include "ui/gauge.h"

namespace {

// Raises the deepest popup of the running installer's thread: the dialog the
// user is looking at. Nothing is raised when it shows none. Hidden popups
// do not count: the system gives every window thread a hidden input-method
// window with the popup style, which would otherwise win the walk.
void RaiseRunningInstaller(HWND found)
{
    DWORD thread = GetWindowThreadProcessId(found, 0);
    HWND candidate = 0;
    for (int backward = 0; backward < 2; ++backward) {
        HWND w = backward ? GetWindow(found, GW_HWNDPREV) : found;
        for (; w; w = GetWindow(w, backward ? GW_HWNDPREV : GW_HWNDNEXT)) {
            if (GetWindowThreadProcessId(w, 0) != thread) continue;
            if ((GetWindowLongA(w, GWL_STYLE) & (WS_POPUP | WS_VISIBLE)) != (WS_POPUP | WS_VISIBLE)) continue;
            if (!candidate) {
                candidate = w;
                continue;
            }
            for (HWND a = GetParent(w); a; a = GetParent(a))
                if (a == candidate) {
                    candidate = w;
                    break;
                }
        }
    }
    if (candidate) BringWindowToTop(candidate);
}

void DetectPlatform()
{
    OSVERSIONINFOA version;
    MemoryZero(&version, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    State.OsMajor = (int)version.dwMajorVersion;
    State.OsMinor = (int)version.dwMinorVersion;
    if (State.OsMinor % 10 == 0) State.OsMinor /= 10;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        State.PlatformKind = PlatformWinNt;
        // Windows NT 3.x has only Program Manager; every later NT has the
        // taskbar shell.
        State.ShellFlags = ShellWindowsNt | (State.OsMajor < 4 ? ShellProgramManager : ShellNew);
    } else {
        State.PlatformKind = PlatformWin95;
        State.ShellFlags = ShellNew;
    }
}

int RegisterClasses()
{
    WNDCLASSA main;
    MemoryZero(&main, sizeof main);
    main.lpfnWndProc = MainWindowProc;
    main.hInstance = (HINSTANCE)State.Instance;
    main.lpszClassName = MainWindowClass;
    if (!RegisterClassA(&main)) return 0;

    WNDCLASSA gauge;
    MemoryZero(&gauge, sizeof gauge);
    gauge.style = CS_HREDRAW | CS_VREDRAW;
    gauge.lpfnWndProc = GaugeWindowProc;
    gauge.hInstance = (HINSTANCE)State.Instance;
    gauge.hCursor = LoadCursorA(0, IDC_ARROW);
    gauge.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    gauge.lpszClassName = GaugeWindowClass;
    return RegisterClassA(&gauge) != 0;
}

void FindDirectories()
{
    char path[PathSize];
    DWORD n = GetModuleFileNameA((HMODULE)State.Instance, path, sizeof path);
    if (n >= sizeof path) n = sizeof path - 1;
    path[n] = 0;
    char* slash = TextFindLastChar(path, '\\');
    if (slash) slash[1] = 0;
    TextCopy(State.SourceDir, sizeof State.SourceDir, path);

    GetWindowsDirectoryA(State.WindowsDir, PathSize - 1);
    EnsureTrailingBackslash(State.WindowsDir);
    GetSystemDirectoryA(State.SystemDir, PathSize - 1);
    FormSystem32Directory(State.System32Dir, State.SystemDir);
    EnsureTrailingBackslash(State.SystemDir);
    EnsureTrailingBackslash(State.System32Dir);
    if (State.ShellFlags & ShellNew) {
        TextCopy(State.FontsDir, sizeof State.FontsDir, State.WindowsDir);
        TextAppend(State.FontsDir, sizeof State.FontsDir, "FONTS\\");
    } else {
        TextCopy(State.FontsDir, sizeof State.FontsDir, State.SystemDir);
    }
    SelectWindowsDrive();
}

void DetectDisplayClass()
{
    HWND desktop = GetDesktopWindow();
    HDC dc = GetDC(desktop);
    int value, vga;
    if (dc) {
        value = GetDeviceCaps(dc, LOGPIXELSY);
        vga = 96;
        ReleaseDC(desktop, dc);
    } else {
        value = GetSystemMetrics(SM_CYSCREEN);
        vga = 480;
    }
    State.DisplayClass = value > vga ? Display8514 : value == vga ? DisplayVga : DisplayEga;
    State.DisplayMask = 1u << State.DisplayClass;
}

void LoadTexts()
{
    LoadPooledString(&State.SelectDirText, IDS_SELECT_DIR);
    LoadPooledString(&State.CopyingText, IDS_COPYING);
    LoadPooledString(&State.FontsText, IDS_FONTS);
    LoadPooledString(&State.PercentText, IDS_PERCENT);
    LoadPooledString(&State.GroupItemsText,
                     (State.ShellFlags & ShellNew) ? IDS_TASKBAR_SHORTCUTS : IDS_PROGMAN_ITEMS);
    LoadPooledString(&State.InstallingInText, IDS_INSTALLING_IN);
    LoadPooledString(&State.DiskDirText, IDS_DISK_DIR);
    State.ResourceFileDate = LoadStringNumber(IDS_RESOURCE_FILE_DATE);
    State.ResourceFileTime = LoadStringNumber(IDS_RESOURCE_FILE_TIME);
}

} // namespace

int LoadPooledString(const char** slot, unsigned id)
{
    char* text = State.StringPool + State.StringPoolUsed;
    int length = 0;
    if (State.StringPoolUsed < StringPoolSize)
        length = LoadStringA((HINSTANCE)State.Instance, id, text, StringPoolSize - State.StringPoolUsed);
    *slot = length ? text : 0;
    // The pool advances by one byte for a missing string too.
    State.StringPoolUsed += (unsigned)length + 1;
    return length == 0;
}

unsigned short LoadStringNumber(unsigned id)
{
    char text[16];
    if (!LoadStringA((HINSTANCE)State.Instance, id, text, sizeof text)) return 0;
    return (unsigned short)TextToLong(text);
}

int StartInstaller()
{
    HWND running = FindWindowA(MainWindowClass, 0);
    if (running) {
        RaiseRunningInstaller(running);
        return 0;
    }
    DetectPlatform();
    if (!RegisterClasses()) return 0;
    State.MainWindow = CreateWindowExA(0, MainWindowClass, 0, 0, 0, 0, 0, 0, 0, 0,
                                       (HINSTANCE)State.Instance, 0);
    if (!State.MainWindow) return 0;
    FindDirectories();
    DetectDisplayClass();
    if (LoadDialogTemplates()) {
        FreeDialogTemplates();
        DestroyWindow((HWND)State.MainWindow);
        State.MainWindow = 0;
        return 0;
    }
    LoadTexts();
    for (;;) {
        unsigned fault = ReadInstallScript();
        if (!fault) return 1;
        if (!ShowDialog((unsigned short)fault, 0) || fault != IDD_CANNOT_OPEN_SCRIPT) break;
    }
    DestroyWindow((HWND)State.MainWindow);
    State.MainWindow = 0;
    return 0;
}
