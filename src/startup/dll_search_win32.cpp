// The DLL-search precaution that both programs take first thing.
#include <windows.h>
#include "platform/text.h"
#include "script/installer_state.h"
#include "startup/startup.h"

// Both programs are typically started from a folder where anyone may have
// left a DLL named like one the system loads on demand (the folder browser
// alone pulls in several). Only the system directory is searched for them
// from here on. The calls are newer than Windows 95 and NT 4.0 and are looked
// up, so older systems simply go without.
typedef BOOL(WINAPI* SetDefaultDllDirectoriesCall)(DWORD flags);
typedef BOOL(WINAPI* SetDllDirectoryCall)(LPCSTR path);

static const DWORD SearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

void RestrictDllSearch()
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return;
    SetDefaultDllDirectoriesCall setDefault =
        (SetDefaultDllDirectoriesCall)GetProcAddress(kernel, "SetDefaultDllDirectories");
    if (setDefault) setDefault(SearchSystem32);
    // An empty string takes the current directory out of the classic search
    // order, which still applies where the call above is missing.
    SetDllDirectoryCall setDirectory = (SetDllDirectoryCall)GetProcAddress(kernel, "SetDllDirectoryA");
    if (setDirectory) setDirectory("");
}

void* LoadSystemLibrary(const char* name)
{
    char path[PathSize];
    // SystemDir ends in a backslash; a cut path would name another file.
    if (TextLength(State.SystemDir) + TextLength(name) >= sizeof path) return 0;
    TextCopy(path, sizeof path, State.SystemDir);
    TextAppend(path, sizeof path, name);
    return LoadLibraryA(path);
}
