#include <windows.h>
#include "script/installer_state.h"
#include "ui/directory_text.h"

void SelectWindowsDrive()
{
    char drive[3] = {State.WindowsDir[0], ':', 0};
    SetCurrentDirectoryA(drive);
}
