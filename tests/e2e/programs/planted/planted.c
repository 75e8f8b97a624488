// kivplanted.dll: a DLL that someone left in a downloads folder. Copied
// under the name of a DLL that a program might load, it writes the file
// "<its own path>.loaded" as soon as a process loads it, and exports
// nothing. It links no C runtime and imports only kernel32, so that it loads
// under any name (as msvcrt.dll it would otherwise import itself). It has no
// version resource: Wine takes it for a native DLL like any other.
#include <windows.h>

BOOL WINAPI PlantedMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char path[MAX_PATH + 8];
    DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return TRUE;
    lstrcatA(path, ".loaded");
    HANDLE marker = CreateFileA(path, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (marker != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(marker, "loaded\r\n", 8, &written, 0);
        CloseHandle(marker);
    }
    return TRUE;
}
