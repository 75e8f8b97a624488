// The process entry: the installer links no C runtime, so this is the first
// code that runs. The exit code is 0 on every path.
#include <windows.h>
#include "startup/startup.h"

extern "C" void __stdcall KivEntry()
{
    RestrictDllSearch();
    InstallerMain(GetModuleHandleA(0));
    ExitProcess(0);
}
