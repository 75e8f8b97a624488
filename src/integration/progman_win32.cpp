#include <windows.h>
#include <ddeml.h>
#include "integration/progman.h"
#include "script/installer_state.h"

void EndDde()
{
    if (!State.DdeInstance) return;
    DdeUninitialize(State.DdeInstance);
    State.DdeInstance = 0;
}
