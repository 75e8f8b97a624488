// The uninstaller's run: the same start-up as the installer's (one running
// copy, the Windows version, the shell, the directories, the display class,
// the carried script read by the installer's own loader), a question, the
// removal, the closing dialog, and last the removal of its own file.
#include <windows.h>
#include "engine/system_case_win32.h"
#include "integration/progman.h"
#include "platform/text.h"
#include "resources/kivformat.h"
#include "resources/kivuninst.h"
#include "script/installer_state.h"
#include "script/loader.h"
#include "startup/startup.h"
#include "uninstall/removal_rules.h"
#include "uninstall/uninstaller.h"

const char UninstallWindowClass[] = "KivUninstallMain";

namespace {

// The hidden main window only marks the running uninstaller; it has no help
// to show.
LRESULT CALLBACK UninstallWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

void DestroyMainWindow()
{
    DestroyWindow((HWND)State.MainWindow);
    State.MainWindow = 0;
}

// `path` (a directory ending in a backslash) spelt as the file system spells
// it: the system's list of removable programs starts the uninstaller with
// the lower-case path of its entry, and the closing dialog names folders in
// the case in which they were made. A component that cannot be looked up
// keeps its spelling.
void SpellAsOnDisk(char* path)
{
    const unsigned length = TextLength(path);
    if (length < 3 || path[1] != ':' || path[2] != '\\') return;
    char spelt[PathSize];
    spelt[0] = path[0] >= 'a' && path[0] <= 'z' ? (char)(path[0] - 32) : path[0];
    spelt[1] = ':', spelt[2] = '\\', spelt[3] = 0;
    unsigned at = 3;
    while (at < length) {
        unsigned end = at;
        while (end < length && path[end] != '\\') ++end;
        char lookup[PathSize];
        TextCopy(lookup, sizeof lookup, spelt);
        const unsigned base = TextLength(lookup);
        TextCopyCount(lookup + base, sizeof lookup - base, path + at, end - at);
        WIN32_FIND_DATAA found;
        HANDLE search = TextFindChar(lookup, '*') || TextFindChar(lookup, '?') ? INVALID_HANDLE_VALUE
                                                                                : FindFirstFileA(lookup, &found);
        if (search != INVALID_HANDLE_VALUE) {
            FindClose(search);
            TextAppend(spelt, sizeof spelt, found.cFileName);
        } else {
            TextAppend(spelt, sizeof spelt, lookup + base);
        }
        if (TextAppend(spelt, sizeof spelt, "\\") >= sizeof spelt - 1) return;
        at = end + 1;
    }
    TextCopy(path, PathSize, spelt);
}

// Nonzero when the removal is to go on. The target directory is the one the
// uninstaller runs from, whatever the script proposed.
int StartUninstaller()
{
    HWND running = FindWindowA(UninstallWindowClass, 0);
    if (running) {
        RaiseRunningInstaller(running);
        return 0;
    }
    DetectPlatform();
    WNDCLASSA main;
    MemoryZero(&main, sizeof main);
    main.lpfnWndProc = UninstallWindowProc;
    main.hInstance = (HINSTANCE)State.Instance;
    main.lpszClassName = UninstallWindowClass;
    if (!RegisterClassA(&main)) return 0;
    State.MainWindow = CreateWindowExA(0, UninstallWindowClass, 0, 0, 0, 0, 0, 0, 0, 0,
                                       (HINSTANCE)State.Instance, 0);
    if (!State.MainWindow) return 0;
    FindDirectories();
    DetectDisplayClass();
    State.ResourceFileDate = LoadStringNumber(IDS_RESOURCE_FILE_DATE);
    State.ResourceFileTime = LoadStringNumber(IDS_RESOURCE_FILE_TIME);
    for (;;) {
        unsigned fault = ReadUninstallScript();
        if (!fault) break;
        if (!ShowUninstallDialog(IDD_UNINSTALL_SCRIPT_FAULT) || fault != IDD_CANNOT_OPEN_SCRIPT) {
            DestroyMainWindow();
            return 0;
        }
    }
    TextCopy(State.TargetDir, sizeof State.TargetDir, State.SourceDir);
    SpellAsOnDisk(State.TargetDir);
    if (!IsRemovableTarget(State.TargetDir, State.WindowsDir, State.SystemDir, State.System32Dir,
                           SystemCompareNoCase)) {
        ShowUninstallDialog(IDD_NOT_AN_INSTALLATION);
        DestroyMainWindow();
        return 0;
    }
    return 1;
}

// The uninstaller carries no help file: only the extracted script is its own
// to delete.
void ShutDownUninstaller()
{
    ReleaseScriptTables();
    DeleteExtractedScript();
    EndDde();
}

}  // namespace

void UninstallerMain(InstanceHandle instance)
{
    ResetInstallerState();
    State.Instance = instance;
    int removed = 0;
    if (StartUninstaller()) {
        if (ShowUninstallDialog(IDD_CONFIRM_REMOVAL) && RemoveProduct()) {
            removed = 1;
            ShowUninstallDialog(IDD_REMOVED);
        }
        DestroyMainWindow();
    }
    ShutDownUninstaller();
    if (removed) StartSelfRemoval();
}
