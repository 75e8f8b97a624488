// Program entry, run sequence and clean-up.
#pragma once
#include "platform/platform.h"

int InstallerMain(InstanceHandle instance);
int StartInstaller();
void ShutDownInstaller();
int LoadPooledString(const char** slot, unsigned id);
unsigned short LoadStringNumber(unsigned id);
