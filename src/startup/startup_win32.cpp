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
