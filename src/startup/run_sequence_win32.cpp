#include <windows.h>
#include "startup/startup.h"
#include "script/installer_state.h"
#include "script/loader.h"


int InstallerMain(InstanceHandle instance)
{
    ResetInstallerState();
    State.Instance = instance;
    // The run sequence grows here as its steps land.
    return 0;
}
