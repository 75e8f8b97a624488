// kivnewer.exe: a program built like the installer (no C runtime, system
// DLLs only) that imports one function Windows 95 and NT 4.0 lack. The
// import check must refuse it; it is never run.
#define _WIN32_WINNT 0x0600
#include <windows.h>

void __stdcall NewerMain(void)
{
    ExitProcess((UINT)GetTickCount64());
}
