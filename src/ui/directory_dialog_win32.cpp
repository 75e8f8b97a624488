// The directory dialogs: the target directory of a new installation (2400)
// or of one over an earlier copy (2401), and the prompts of the file transfer
// for the directory that holds the installation files (1700 insert a disk,
// 1800 a file not found). One procedure serves all four; the help topic of
// the dialog on screen is its mode.
#include <windows.h>
#include <shlobj.h>
#include "ui/directory.h"
#include "ui/directory_text.h"
#include "ui/dialogs.h"
#include "platform/text.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"
#include "startup/startup.h"

namespace {

enum : unsigned {
    HelpInsertDisk = 2048,
    HelpFileNotFound = 2176,
    HelpNewInstall = 3584,
    HelpEarlierCopy = 3712,
    FieldLimit = 247,
};

int CompareVersions(const char* a, const char* b)
{
    return lstrcmpiA(a, b);
}

bool TargetMode()
{
    return State.CurrentHelpContext == HelpNewInstall || State.CurrentHelpContext == HelpEarlierCopy;
}

// The buffer the field edits: the target directory, or in a disk prompt the
// directory of the installation files.
char* FieldDirectory()
{
    return TargetMode() ? State.TargetDir : State.SourceDir;
}

void EnableBeginButton(HWND dialog)
{
    EnableWindow(GetDlgItem(dialog, IDOK), GetWindowTextLengthA(GetDlgItem(dialog, CTRL_DIRECTORY)) > 0);
}

void InitDirectoryDialog(HWND dialog)
{
    char format[PathSize];
    format[0] = 0;
    GetDlgItemTextA(dialog, CTRL_MESSAGE, format, sizeof format);
    char* out = State.WorkBuffer;
    const char* initial = State.SourceDir;
    switch (State.CurrentHelpContext) {
    case HelpEarlierCopy:
        FormatText(out, WorkBufferSize, format,
                   EarlierCopyName(State.InstalledVersion, State.OldProductVersion, State.ProductName,
                                   State.OldProductName, CompareVersions),
                   State.InstalledVersion, State.InstalledDir);
        initial = State.InstalledDir;
        break;
    case HelpInsertDisk:
        FormatText(out, WorkBufferSize, format, State.DiskPromptName);
        break;
    case HelpFileNotFound:
        FormatText(out, WorkBufferSize, format, State.MessageArg);
        break;
    default:
        FormatText(out, WorkBufferSize, format, State.ProductName);
        initial = State.TargetDir;
        break;
    }
    SetDlgItemTextA(dialog, CTRL_MESSAGE, out);

    char field[PathSize];
    FormDirectoryFieldText(field, sizeof field, initial);
    SendDlgItemMessageA(dialog, CTRL_DIRECTORY, EM_LIMITTEXT, FieldLimit, 0);
    SetDlgItemTextA(dialog, CTRL_DIRECTORY, field);
    // Begin is enabled only while the field holds text, also at the start.
    EnableBeginButton(dialog);
    if (TargetMode() && State.ViewButtonText[0]) SetDlgItemTextA(dialog, CTRL_VIEW, State.ViewButtonText);
    PrepareDialogWindow(dialog);
}

// A check failed: the Windows directory's drive is current again (unless the
// drive itself was the fault), the fault is shown and the field is ready for
// another try.
void Refuse(HWND dialog, unsigned short id, bool selectWindowsDrive = true)
{
    if (selectWindowsDrive) SelectWindowsDrive();
    ShowDialog(id, dialog);
    FocusDirectoryField(dialog);
}

// Begin or OK: checks the directory entered and, when it passes, ends the
// dialog with 1. Each check moves the process's current drive and directory;
// every way out leaves the Windows directory's drive current.
void CheckDirectory(HWND dialog)
{
    const bool target = TargetMode();
    char* t = FieldDirectory();
    GetDlgItemTextA(dialog, CTRL_DIRECTORY, t, PathSize);

    char letter[2] = {t[0], 0};
    CharUpperBuffA(letter, 1);
    State.ErrorDrive = letter[0];
    if (State.ErrorDrive >= 'A' && State.ErrorDrive <= 'Z' && t[1] == ':') {
        const char drive[3] = {State.ErrorDrive, ':', 0};
        if (!SetCurrentDirectoryA(drive)) return Refuse(dialog, IDD_BAD_DRIVE, false);
        // A bare drive means that drive's current directory (in the ANSI
        // set, as below).
        if (t[2] == 0) GetCurrentDirectoryA(PathSize, t);
    }
    RemoveTrailingBackslashes(t);
    SetDlgItemTextA(dialog, CTRL_DIRECTORY, t);

    if (!SetCurrentDirectoryA(t)) {
        if (!target) return Refuse(dialog, IDD_NO_DIRECTORY);
        // A creation that the system passes over (access denied) leaves the
        // directory missing: then it is as uncreatable as any other.
        if (CreateDirectoryPath(t) == -1 || !SetCurrentDirectoryA(t)) return Refuse(dialog, IDD_CANNOT_CREATE);
    }
    // The full path as the system spells it, before the subdirectories are
    // made: a relative entry must not place them relative to itself again.
    // Like every A call it is in the ANSI set already; converting it from
    // OEM would change every letter outside ASCII and name another directory.
    char current[PathSize];
    const DWORD length = GetCurrentDirectoryA(sizeof current, current);
    if (length && length < sizeof current) TextCopy(t, PathSize, current);
    if (CreateTargetSubdirectories() == -1) return Refuse(dialog, IDD_CANNOT_CREATE);

    if (lstrcmpiA(t, State.InstalledDir) == 0) TextCopy(State.ReplacedVersion, NameSize, State.InstalledVersion);
    else State.ReplacedVersion[0] = 0;
    TextCopy(State.MessageArg, PathSize, t);
    EnsureTrailingBackslash(t);

    // The comparison with the disk files' own directory is exact, letter case
    // included: a spelling in other case passes, and a file that would be
    // copied onto itself is then refused by its transfer (1300: the source is
    // open while the destination is created).
    if (!State.ScriptFromResource && lstrcmpA(State.SourceDir, State.TargetDir) == 0)
        return Refuse(dialog, target ? IDD_USED_FOR_DISKS : IDD_BEING_INSTALLED_IN);

    if (target) {
        DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
        // A drive that reports nothing is not known to be too small; the copy
        // reports a full disk if it is one.
        State.FreeKBytes = 0xFFFFFFFFu;
        if (GetDiskFreeSpaceA(0, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
            State.FreeKBytes = ComputeFreeKBytes(sectorsPerCluster, bytesPerSector, freeClusters);
        if (DiskSpaceIsShort(State.FreeKBytes, State.DiskSpace)) return Refuse(dialog, IDD_DISK_FULL);
    }
    SelectWindowsDrive();
    EndDialog(dialog, 1);
}

// The folder browser's library. It is not imported: the system resolves a
// program's imports, and theirs, before the program runs, searching the
// program's own directory first, and the library pulls in further DLLs that
// a downloads folder may hold under the same names. Loaded by its full path
// on the first Browse, after the search has been restricted (KivEntry), and
// kept until the process ends.
struct ShellCalls {
    HRESULT(WINAPI* GetMalloc)(IMalloc** allocator);
    LPITEMIDLIST(WINAPI* BrowseForFolder)(BROWSEINFOA* info);
    BOOL(WINAPI* GetPathFromIDList)(LPCITEMIDLIST list, char* path);
};

bool LoadShellCalls(ShellCalls* calls)
{
    static HMODULE shell;
    if (!shell) {
        shell = (HMODULE)LoadSystemLibrary("shell32.dll");
        if (!shell) return false;
    }
    calls->GetMalloc = (HRESULT(WINAPI*)(IMalloc**))GetProcAddress(shell, "SHGetMalloc");
    calls->BrowseForFolder = (LPITEMIDLIST(WINAPI*)(BROWSEINFOA*))GetProcAddress(shell, "SHBrowseForFolderA");
    calls->GetPathFromIDList = (BOOL(WINAPI*)(LPCITEMIDLIST, char*))GetProcAddress(shell, "SHGetPathFromIDListA");
    return calls->GetMalloc && calls->BrowseForFolder && calls->GetPathFromIDList;
}

// Browse: the system's folder browser, opened at the directory in the field.
// The folder chosen only fills the field; Begin checks it. Without the
// browser the button does nothing: the field still takes a typed path.
void BrowseForDirectory(HWND dialog)
{
    ShellCalls shell;
    if (!LoadShellCalls(&shell)) return;
    IMalloc* allocator = 0;
    if (shell.GetMalloc(&allocator) != NOERROR || !allocator) return;
    char chosen[PathSize];
    chosen[0] = 0;
    GetDlgItemTextA(dialog, CTRL_DIRECTORY, chosen, sizeof chosen);
    char title[PathSize];
    title[0] = 0;
    if (State.SelectDirText) FormatText(title, sizeof title, State.SelectDirText, State.ProductName);

    BROWSEINFOA info;
    MemoryZero(&info, sizeof info);
    info.hwndOwner = dialog;
    info.pszDisplayName = chosen;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = BrowseCallback;
    info.lParam = (LPARAM)chosen;
    LPITEMIDLIST list = shell.BrowseForFolder(&info);
    // The path is at most MAX_PATH (260) bytes, the size of `chosen`.
    if (list && shell.GetPathFromIDList(list, chosen) && chosen[0]) SetDlgItemTextA(dialog, CTRL_DIRECTORY, chosen);
    allocator->Free(list);
    allocator->Release();
}

} // namespace

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lParam, LPARAM data)
{
    if (message == BFFM_INITIALIZED) {
        SendMessageA(browser, BFFM_SETSELECTIONA, 1, data);
        // Once more when the browser has finished setting itself up: some
        // browsers are still filling their tree when they report that they
        // are initialised, and then miss the first selection. The path stays
        // valid as long as the browser runs.
        PostMessageA(browser, BFFM_SETSELECTIONA, 1, data);
    }
    return 0;
}

void FocusDirectoryField(HWND dialog)
{
    PostMessageA(dialog, WM_NEXTDLGCTL, (WPARAM)GetDlgItem(dialog, CTRL_DIRECTORY), 1);
}

static int CreateOneDirectory(const char* prefix, void*)
{
    if (CreateDirectoryA(prefix, 0)) return 0;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED ? 0 : -1;
}

int CreateDirectoryPath(const char* path)
{
    return ForEachPathPrefix(path, CreateOneDirectory, 0);
}

int CreateTargetSubdirectories()
{
    for (unsigned i = 0; i < State.SubdirCount && i < MaxSubdirs; ++i) {
        char path[PathSize];
        TextCopy(path, sizeof path, State.TargetDir);
        EnsureTrailingBackslash(path);
        char name[PathSize];
        name[0] = 0;
        GetAtomNameA(State.Subdirs[i], name, sizeof name);
        // A path that does not fit would create a directory cut short.
        if (TextLength(path) + TextLength(name) >= sizeof path) return -1;
        TextAppend(path, sizeof path, name);
        if (CreateDirectoryPath(path) == -1) return -1;
    }
    return 0;
}

INT_PTR CALLBACK DirectoryDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitDirectoryDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: CheckDirectory(dialog); return TRUE;
        case IDCANCEL: EndDialog(dialog, 0); return TRUE;
        case CTRL_HELP: ShowContextHelp(); return TRUE;
        case CTRL_VIEW: ShowReadmeTopic(); return TRUE;
        case CTRL_BROWSE: BrowseForDirectory(dialog); return TRUE;
        case CTRL_DIRECTORY:
            if (HIWORD(wParam) != EN_UPDATE) return FALSE;
            EnableBeginButton(dialog);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}
