#include "script/installer_state.h"
#include "platform/text.h"

InstallerState State;

void ResetInstallerState()
{
    MemoryZero(&State, sizeof State);
    TextCopy(State.Caption, sizeof State.Caption, "Install");
    State.CurrentHelpContext = NoHelpContext;
}
