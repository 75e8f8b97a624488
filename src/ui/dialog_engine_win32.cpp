// The dialog engine: the table of dialogs, their templates, ShowDialog and the
// window operations that every dialog procedure shares.
#include <windows.h>
#include "ui/dialogs.h"
#include "ui/fonts_layout.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"

// HelpContext selects the message-fill rule of MessageDialogProc as well as
// the help topic. Row 2300's 0 is never applied: 2300 shown by its own id
// keeps the caller's topic, and 2301 and 2302 bring their own.
DialogRow DialogTable[] = {
    {IDD_BAD_DRIVE, 256, MessageDialogProc, 0},
    {IDD_BAD_LINE, 512, MessageDialogProc, 0},
    {IDD_NO_DIRECTORY, 768, MessageDialogProc, 0},
    {IDD_COPY_ERROR, 1024, MessageDialogProc, 0},
    {IDD_CANNOT_CREATE, 1280, MessageDialogProc, 0},
    {IDD_DISK_FULL, 1536, MessageDialogProc, 0},
    {IDD_FONTS_ONLY, 1664, MessageDialogProc, 0},
    {IDD_MISSING_KEY, 1792, MessageDialogProc, 0},
    {IDD_INSERT_DISK, 2048, DirectoryDialogProc, 0},
    {IDD_FILE_NOT_FOUND, 2176, DirectoryDialogProc, 0},
    {IDD_CANNOT_OPEN_SCRIPT, NoHelpContext, MessageDialogProc, 0},
    {IDD_OUT_OF_MEMORY, 2304, MessageDialogProc, 0},
    {IDD_CANNOT_START, 2816, MessageDialogProc, 0},
    {IDD_DONE, 2560, MessageDialogProc, 0},
    {IDD_DONE_OK_CANCEL, 2560, CompletionDialogProc, 0},
    {IDD_DONE_YES_NO, 2560, CompletionDialogProc, 0},
    {IDD_DIRECTORY_MESSAGE, 0, MessageDialogProc, 0},
    {IDD_NEW_INSTALL, 3584, DirectoryDialogProc, 0},
    {IDD_EARLIER_COPY, 3712, DirectoryDialogProc, 0},
    {IDD_UPGRADE, 3720, MessageDialogProc, 0},
    {IDD_TOO_MANY_DISKS, 3840, MessageDialogProc, 0},
    {IDD_NO_COPY_TO_UPGRADE, 3968, MessageDialogProc, 0},
    {IDD_WINDOWS_TOO_OLD, 4096, MessageDialogProc, 0},
};

const unsigned DialogTableSize = sizeof DialogTable / sizeof DialogTable[0];

int LoadDialogTemplates()
{
    HINSTANCE instance = (HINSTANCE)State.Instance;
    for (unsigned i = 0; i < DialogTableSize; ++i) {
        DialogRow& row = DialogTable[i];
        HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(row.DialogId), (LPCSTR)RT_DIALOG);
        if (!found) return 1;
        HGLOBAL loaded = LoadResource(instance, found);
        if (!loaded) return 1;
        row.Template = loaded;
        if (!LockResource(loaded)) {
            FreeResource(loaded);
            row.Template = 0;
            return 1;
        }
    }
    State.DialogIcon = LoadIconA(instance, MAKEINTRESOURCEA(KIV_ICON));
    return 0;
}

void FreeDialogTemplates()
{
    for (unsigned i = 0; i < DialogTableSize; ++i) {
        if (DialogTable[i].Template) {
            FreeResource(DialogTable[i].Template);
            DialogTable[i].Template = 0;
        }
    }
    if (State.DialogIcon) {
        DestroyIcon((HICON)State.DialogIcon);
        State.DialogIcon = 0;
    }
}

static const DialogRow* FindDialogRow(unsigned short id)
{
    for (unsigned i = 0; i < DialogTableSize; ++i)
        if (DialogTable[i].DialogId == id) return &DialogTable[i];
    return 0;
}

int ShowDialog(unsigned short id, HWND owner)
{
    const unsigned saved = State.CurrentHelpContext;
    if (id == IDD_BEING_INSTALLED_IN || id == IDD_USED_FOR_DISKS) {
        State.CurrentHelpContext = id == IDD_BEING_INSTALLED_IN ? HelpBeingInstalledIn : HelpUsedForDisks;
        id = IDD_DIRECTORY_MESSAGE;
    }
    const DialogRow* row = FindDialogRow(id);
    const void* dialogTemplate = row && row->Template ? LockResource(row->Template) : 0;
    if (!dialogTemplate) {
        State.CurrentHelpContext = saved;
        return 0;
    }
    // The procedure's initialisation reads the topic, so it is set first.
    if (id != IDD_DIRECTORY_MESSAGE) State.CurrentHelpContext = row->HelpContext;
    INT_PTR result = DialogBoxIndirectParamA((HINSTANCE)State.Instance, (LPCDLGTEMPLATEA)dialogTemplate, owner,
                                             row->Procedure, 0);
    State.CurrentHelpContext = saved;
    // A dialog that could not be created counts as Cancel: a caller that
    // repeats a step on 1 would otherwise repeat it without end.
    return result == -1 ? 0 : (int)result;
}

// The static control of a system icon has the icon's ordinal as its id; a
// system whose static control does not fall back to the system icons leaves
// it empty. The ordinals run from IDI_HAND to IDI_ASTERISK.
enum : unsigned { FirstSystemIcon = 32513, LastSystemIcon = 32516 };

static void FillSystemIcons(HWND dialog)
{
    for (unsigned id = FirstSystemIcon; id <= LastSystemIcon; ++id) {
        HWND icon = GetDlgItem(dialog, (int)id);
        if (icon && !SendMessageA(icon, STM_GETICON, 0, 0))
            SendMessageA(icon, STM_SETICON, (WPARAM)LoadIconA(0, MAKEINTRESOURCEA(id)), 0);
    }
}

void PrepareDialogWindow(HWND dialog)
{
    SetWindowTextA(dialog, State.Caption);
    FillSystemIcons(dialog);
    RECT frame = {0, 0, 0, 0};
    GetWindowRect(dialog, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = GetParent(dialog) ? frame.top : (GetSystemMetrics(SM_CYSCREEN) - height) / 4;
    SetWindowPos(dialog, 0, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShowContextHelp()
{
    if (State.CurrentHelpContext != NoHelpContext) OpenHelpTopic(State.CurrentHelpContext);
}

void ShowReadmeTopic()
{
    if (State.CurrentHelpContext != NoHelpContext) OpenHelpTopic(HelpReadmeTopic);
}

void BringToFront(HWND window)
{
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void LayoutFontsDialog(HWND dialog)
{
    RECT button = {0, 0, 0, 0};
    GetWindowRect(GetDlgItem(dialog, IDOK), &button);
    HWND picture = GetDlgItem(dialog, CTRL_FONTS_PICTURE);
    RECT pictureRect = {0, 0, 0, 0};
    GetWindowRect(picture, &pictureRect);
    POINT corner = {pictureRect.left, pictureRect.top};
    ScreenToClient(dialog, &corner);
    const LONG units = GetDialogBaseUnits();

    FontsLayoutInput in;
    in.BitmapWidth = (unsigned)State.FontsBitmapWidth;
    in.BitmapHeight = (unsigned)State.FontsBitmapHeight;
    in.BaseUnitX = LOWORD(units);
    in.BaseUnitY = HIWORD(units);
    in.ButtonWidth = (unsigned)(button.right - button.left);
    in.ButtonHeight = (unsigned)(button.bottom - button.top);
    in.PictureX = (unsigned)corner.x;
    in.PictureY = (unsigned)corner.y;
    in.FrameX = (unsigned)GetSystemMetrics(SM_CXDLGFRAME);
    in.FrameY = (unsigned)GetSystemMetrics(SM_CYDLGFRAME);
    in.CaptionHeight = (unsigned)GetSystemMetrics(SM_CYCAPTION);
    const FontsLayout out = ComputeFontsLayout(in);

    // PrepareDialogWindow places the dialog afterwards.
    SetWindowPos(dialog, 0, 0, 0, (int)out.DialogWidth, (int)out.DialogHeight,
                 SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOZORDER);
    SetWindowPos(picture, 0, 0, 0, (int)in.BitmapWidth, (int)in.BitmapHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    static const int column[4] = {IDOK, CTRL_VIEW, IDCANCEL, CTRL_HELP};
    for (unsigned i = 0; i < 4; ++i)
        SetWindowPos(GetDlgItem(dialog, column[i]), 0, (int)out.ButtonX, (int)out.ButtonY[i], 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
