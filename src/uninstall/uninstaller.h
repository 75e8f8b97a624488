// The uninstaller: the entry, its start-up and clean-up, its dialogs, the
// removal of the product and the removal of its own file.
#pragma once
#include "platform/platform.h"

// The hidden main window's class, by which a second start finds the first.
extern const char UninstallWindowClass[];

// The run with no argument: start, confirm, remove, report, remove itself.
void UninstallerMain(InstanceHandle instance);

// Shows one of the uninstaller's dialogs (IDD_CONFIRM_REMOVAL, IDD_REMOVED,
// IDD_UNINSTALL_SCRIPT_FAULT, IDD_NOT_AN_INSTALLATION, IDD_COPY_ERROR); 1 for the button with id 1
// (Yes, OK, Retry), 0 for the one with id 2, Escape or the close box, and 0
// when the dialog cannot be shown. The message of IDD_REMOVED is taken from
// WorkBuffer as it stands.
int ShowUninstallDialog(unsigned short id);

// Removes the product. Returns 1 when every step ran, 0 when the user
// cancelled at a file that could not be removed. On success WorkBuffer
// holds the closing dialog's message.
int RemoveProduct();

// Deletes `path` unless it is gone, clearing attributes that would prevent
// it; a file that stays gets dialog 1300 with Retry and Cancel. Returns 0
// only for Cancel.
int RemoveFileWithRetry(const char* path);

// The fonts of the script: registrations removed, fonts unloaded, the change
// broadcast, the files deleted. Returns 0 when the user cancelled.
int RemoveFonts();
// The items of the Program Manager group (taskbar folder) that the script
// made, through DDE, and the group itself when that leaves it empty. Returns
// nonzero when the group stays (it holds other items, or the shell did not
// answer or could not tell).
int DeleteProgramGroup();

// The program's own file and then the target directory: a copy in a folder
// of its own in the temporary directory is started with the original's path
// and removes both once the original has ended. Where no copy can be started
// or it does not take over, both are removed at the next restart instead.
void StartSelfRemoval();
// The copy's part, `arguments` being its command line after its own name
// (ParseCopyArguments). It acts only when started by the program it names.
void FinishSelfRemoval(const char* arguments);
// Has `path` removed at the next restart: MoveFileExA on Windows NT, a
// [rename] line of WININIT.INI on the Windows 95 family.
void RemoveAtRestart(const char* path);
