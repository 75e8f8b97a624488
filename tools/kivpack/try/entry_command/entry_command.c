// kiventry.exe [NAME]
//
// Starts the command of the uninstall entry NAME as the system's list of
// removable programs does: the UninstallString value of
// HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\NAME, given
// whole to CreateProcessA as its command line, with no program name. It
// prints "command: VALUE", waits for the program and prints "exit: CODE".
// Exit code 0 when the program ran, 1 when the entry or the program is
// missing, 2 on a usage error.
//
// Whatever its arguments, it first writes "<its own path>.ran", so that a
// copy of it planted where a badly quoted command would find it (such as
// C:\Program.exe) shows that it was started.
#include <windows.h>
#include <stdio.h>
#include <string.h>

int main(int argc, char** argv)
{
    char path[MAX_PATH + 8];
    DWORD n = GetModuleFileNameA(0, path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        strcat(path, ".ran");
        HANDLE marker = CreateFileA(path, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
        if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
    }
    if (argc != 2) return 2;
    char key[512];
    snprintf(key, sizeof key, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s", argv[1]);
    HKEY entry;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &entry) != ERROR_SUCCESS) {
        printf("no entry %s\n", argv[1]);
        return 1;
    }
    char command[1024];
    DWORD size = sizeof command - 1;
    LONG r = RegQueryValueExA(entry, "UninstallString", 0, 0, (BYTE*)command, &size);
    RegCloseKey(entry);
    if (r != ERROR_SUCCESS) {
        printf("no UninstallString in %s\n", argv[1]);
        return 1;
    }
    command[size] = 0;
    printf("command: %s\n", command);
    fflush(stdout);
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    if (!CreateProcessA(0, command, 0, 0, FALSE, 0, 0, 0, &startup, &process)) {
        printf("not started: error %lu\n", GetLastError());
        return 1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    printf("exit: %lu\n", code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}
