#include <windows.h>
#include "engine/system_case_win32.h"

int SystemCompareNoCase(const char* a, const char* b)
{
    return lstrcmpiA(a, b);
}

void SystemLowerCase(char* text)
{
    CharLowerBuffA(text, (DWORD)lstrlenA(text));
}
