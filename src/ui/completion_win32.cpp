// The completion dialogs that offer to start the installed product: 2202
// (OK/Cancel) and 2203 (Yes/No). Dialog 2201, without a program, is a plain
// message dialog.
#include <windows.h>
#include "engine/transfer.h"
#include "ui/dialogs.h"
#include "ui/directory_text.h"
#include "platform/text.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"

namespace {

int TargetHoldsFile(const char* name, void*)
{
    char path[PathSize];
    if (!DirectoryPath(path, DirTarget, name)) return 0;
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// One attempt to start RunFile from the target directory, which becomes the
// process's current directory (it stays so after a start). The command line
// must fit the 260-byte buffer whole: a cut one would start something else.
bool StartProduct()
{
    char command[PathSize];
    if (!FormLaunchCommand(command, sizeof command, State.TargetDir, State.RunFile, SplitProductRunFile()))
        return false;
    char directory[PathSize];
    FormDirectoryFieldText(directory, sizeof directory, State.TargetDir);

    if (directory[0] && directory[1] == ':') {
        char letter[2] = {directory[0], 0};
        CharUpperBuffA(letter, 1);
        const char drive[3] = {letter[0], ':', 0};
        if (!SetCurrentDirectoryA(drive)) return false;
    }
    if (!SetCurrentDirectoryA(directory)) return false;
    return WinExec(command, SW_SHOWNORMAL) > 31;
}

} // namespace

RunFileParts SplitProductRunFile()
{
    return SplitRunFile(State.RunFile, TargetHoldsFile, 0);
}

INT_PTR CALLBACK CompletionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (KeepInFrontMessage(dialog, message, wParam)) return TRUE;
    switch (message) {
    case WM_INITDIALOG:
        // The question is shown as the script gives it, never as a format.
        SetDlgItemTextA(dialog, CTRL_MESSAGE, State.RunMessage);
        PrepareDialogWindow(dialog);
        if (State.ShellFlags & ShellNew) BringToFront(dialog);
        KeepInFront(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            while (!StartProduct())
                if (!ShowDialog(IDD_CANNOT_START, dialog)) break;
            EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        case CTRL_HELP:
            ShowContextHelp();
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}
