// kivfixture.exe: the harness's own subject.
//
//   kivfixture.exe dialog          shows the fixture dialog and logs on stdout
//                                  every event the dialog sees; the exit code
//                                  says how it ended (fixture.h: 10 OK,
//                                  20 Cancel/Escape/close box, 30 Apply).
//   kivfixture.exe info [X: ...]   prints what the system tells a program:
//                                  "version 4.0 build 950 platform 1 csd ..."
//                                  "dpi 96", "screen 800x600" and for each
//                                  drive named "drive X: type 2"; exit 0.
//
// The dialog: a prompt, an edit, a status line, Apply (disabled while the
// edit is empty), OK and Cancel. Apply opens a message box owned by the
// dialog ("Applied: NAME") and ends the dialog when that box is closed, so a
// driver that sends rather than posts BM_CLICK would block on it. F1 is seen
// through a WH_MSGFILTER hook, as an installer with a help file sees it.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include "fixture.h"

namespace {

HHOOK HelpHook;

// Every line goes out at once: the harness reads the log while the dialog
// is still up.
void Log(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    int n = _vsnprintf(line, sizeof line - 2, format, args);
    va_end(args);
    if (n < 0 || n > (int)sizeof line - 2) n = (int)sizeof line - 2;
    line[n++] = '\n';
    DWORD written;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out != NULL && out != INVALID_HANDLE_VALUE) WriteFile(out, line, (DWORD)n, &written, NULL);
}

LRESULT CALLBACK HelpHookProc(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* msg = (const MSG*)lParam;
    if (code == MSGF_DIALOGBOX && msg->message == WM_KEYDOWN && msg->wParam == VK_F1) {
        Log("f1");
        return TRUE;
    }
    return CallNextHookEx(HelpHook, code, wParam, lParam);
}

void NameChanged(HWND dialog) {
    char name[256];
    GetDlgItemTextA(dialog, IDC_NAME, name, sizeof name);
    BOOL filled = name[0] != '\0';
    HWND apply = GetDlgItem(dialog, IDC_APPLY);
    if (IsWindowEnabled(apply) != filled) {
        EnableWindow(apply, filled);
        Log("apply %s", filled ? "enabled" : "disabled");
    }
    char status[300];
    wsprintfA(status, "Name: %s", name);
    SetDlgItemTextA(dialog, IDC_STATUS, status);
}

INT_PTR CALLBACK FixtureDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    char name[256];
    switch (message) {
    case WM_INITDIALOG:
        Log("init");
        return TRUE;
    case WM_HELP:
        Log("wm_help");
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_NAME:
            if (HIWORD(wParam) == EN_UPDATE) Log("en_update");
            if (HIWORD(wParam) == EN_CHANGE) {
                Log("en_change");
                NameChanged(dialog);
            }
            return TRUE;
        case IDC_APPLY: {
            GetDlgItemTextA(dialog, IDC_NAME, name, sizeof name);
            Log("apply \"%s\"", name);
            char text[300];
            wsprintfA(text, "Applied: %s", name);
            MessageBoxA(dialog, text, "Kiv Fixture", MB_OK | MB_ICONINFORMATION);
            Log("message closed");
            EndDialog(dialog, EXIT_APPLY);
            return TRUE;
        }
        case IDOK:
            GetDlgItemTextA(dialog, IDC_NAME, name, sizeof name);
            Log("ok \"%s\"", name);
            EndDialog(dialog, EXIT_OK);
            return TRUE;
        case IDCANCEL:
            Log("cancel");
            EndDialog(dialog, EXIT_CANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

int RunDialog(HINSTANCE instance) {
    HelpHook = SetWindowsHookExA(WH_MSGFILTER, HelpHookProc, NULL, GetCurrentThreadId());
    INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_FIXTURE), NULL, FixtureDialogProc, 0);
    if (HelpHook) UnhookWindowsHookEx(HelpHook);
    Log("exit %d", (int)result);
    return (int)result;
}

int PrintInfo(int count, char** drives) {
    OSVERSIONINFOA version;
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) {
        Log("version failed %lu", GetLastError());
        return 1;
    }
    Log("version %lu.%lu build %lu platform %lu csd \"%s\"", version.dwMajorVersion,
        version.dwMinorVersion, version.dwBuildNumber & 0xFFFF, version.dwPlatformId,
        version.szCSDVersion);
    HDC screen = GetDC(NULL);
    Log("dpi %d", screen ? GetDeviceCaps(screen, LOGPIXELSY) : -1);
    if (screen) ReleaseDC(NULL, screen);
    Log("screen %dx%d", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    for (int i = 0; i < count; i++) {
        char root[8];
        _snprintf(root, sizeof root, "%c:\\", drives[i][0]);
        root[sizeof root - 1] = '\0';
        DWORD sectors, bytes, freeClusters, clusters;
        if (GetDiskFreeSpaceA(root, &sectors, &bytes, &freeClusters, &clusters))
            Log("drive %c: type %u free %I64u", root[0], GetDriveTypeA(root),
                (unsigned long long)sectors * bytes * freeClusters);
        else
            Log("drive %c: type %u free unknown", root[0], GetDriveTypeA(root));
    }
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (__argc >= 2 && strcmp(__argv[1], "dialog") == 0) return RunDialog(instance);
    if (__argc >= 2 && strcmp(__argv[1], "info") == 0) return PrintInfo(__argc - 2, __argv + 2);
    Log("usage: kivfixture.exe dialog | info [X: ...]");
    return EXIT_USAGE;
}
