// Program entry, run sequence and clean-up.
#pragma once
#include "platform/platform.h"

int InstallerMain(InstanceHandle instance);
int StartInstaller();
void ShutDownInstaller();
int LoadPooledString(const char** slot, unsigned id);
unsigned short LoadStringNumber(unsigned id);

// Start-up steps that the uninstaller shares. RestrictDllSearch keeps DLLs
// loaded on demand to the system directory. RaiseRunningInstaller raises the
// deepest visible popup of the thread that owns `found`. DetectPlatform,
// FindDirectories and DetectDisplayClass fill the environment fields of
// InstallerState.
void RestrictDllSearch();
// Loads the system DLL `name` by its full path in the system directory, so
// that no file of that name elsewhere is taken; null when it does not load.
void* LoadSystemLibrary(const char* name);
void RaiseRunningInstaller(void* found);
void DetectPlatform();
void FindDirectories();
void DetectDisplayClass();
