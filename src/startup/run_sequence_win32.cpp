// The run sequence and the clean-up.
#include <windows.h>
#include "engine/install_run.h"
#include "integration/progman.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"
#include "script/loader.h"
#include "startup/startup.h"
#include "ui/dialogs.h"
#include "ui/directory.h"

namespace {

// The help viewer may still hold the help file: each attempt lets it run by
// looking at the queue before trying to open the file exclusively. Only a
// help file that this run made is deleted.
void DeleteHelpFile()
{
    if (!(State.OwnFiles & OwnHelpFile) || GetFileAttributesA(State.HelpPath) == INVALID_FILE_ATTRIBUTES) return;
    for (int attempt = 0; attempt < 100; ++attempt) {
        MSG msg;
        PeekMessageA(&msg, 0, 0, 0, PM_NOREMOVE);
        OFSTRUCT of;
        HFILE file = OpenFile(State.HelpPath, &of, OF_READ | OF_SHARE_EXCLUSIVE);
        if (file != HFILE_ERROR) {
            _lclose(file);
            DeleteFileA(State.HelpPath);
            return;
        }
    }
}

} // namespace

int InstallerMain(InstanceHandle instance)
{
    ResetInstallerState();
    State.Instance = instance;
    if (StartInstaller()) {
        // The completion dialog's own result is not used: 2202 and 2203
        // start the product themselves when the user agrees.
        if (ShowStartDialog() && RunInstallation())
            ShowDialog((unsigned short)(IDD_DONE + State.RunButtons), 0);
        DestroyWindow((HWND)State.MainWindow);
        State.MainWindow = 0;
    }
    ShutDownInstaller();
    return 0;
}

void ShutDownInstaller()
{
    FreeDialogTemplates();
    if (State.FontsOnly && State.FontsBitmap) DeleteObject((HGDIOBJ)State.FontsBitmap);
    ReleaseScriptTables();
    DeleteHelpFile();
    DeleteExtractedScript();
    EndDde();
}
