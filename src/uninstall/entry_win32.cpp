// The uninstaller's entry. Started with no argument (as the system's list of
// removable programs starts it) it removes the product; started with a path
// it is the copy in the temporary directory that removes the original. The
// exit code is 0 on every path.
#include <windows.h>
#include "platform/text.h"
#include "script/installer_state.h"
#include "startup/startup.h"
#include "uninstall/removal_rules.h"
#include "uninstall/uninstaller.h"

extern "C" void __stdcall KivUninstallEntry()
{
    RestrictDllSearch();
    char argument[PathSize];
    if (CommandLineArgument(argument, GetCommandLineA()))
        FinishSelfRemoval(argument);
    else
        UninstallerMain(GetModuleHandleA(0));
    ExitProcess(0);
}
