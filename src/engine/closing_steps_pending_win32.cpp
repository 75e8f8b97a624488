// Stand-ins for the closing steps until their modules exist: whoever defines
// one of them removes it here. An install run completes without them.
#include "engine/closing_steps.h"

void RegisterUninstall() {}
