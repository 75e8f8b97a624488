// The start-up steps that the installer and the uninstaller share: the
// single-instance raise, the Windows version and shell, the directories and
// the display class.
#include <windows.h>
#include "platform/text.h"
#include "script/installer_state.h"
#include "startup/startup.h"
#include "ui/directory.h"
#include "ui/directory_text.h"

// Raises the deepest popup of the running installer's thread: the dialog the
// user is looking at. Nothing is raised when it shows none. Hidden popups
// do not count: the system gives every window thread a hidden input-method
// window with the popup style, which would otherwise win the walk.
void RaiseRunningInstaller(void* running)
{
    HWND found = (HWND)running;
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

unsigned short LoadStringNumber(unsigned id)
{
    char text[16];
    if (!LoadStringA((HINSTANCE)State.Instance, id, text, sizeof text)) return 0;
    return (unsigned short)TextToLong(text);
}
