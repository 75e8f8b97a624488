// The dialog engine: the table of dialogs, their templates, ShowDialog and the
// window operations that every dialog procedure shares.
#include <windows.h>
#include "ui/dialog_help.h"
#include "ui/dialogs.h"
#include "ui/fonts_layout.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"

// The help contexts come from DialogHelpTable (ui/dialog_help.h), which holds
// the same rows in the same order.
DialogRow DialogTable[] = {
    {IDD_BAD_DRIVE, DialogHelpContext(IDD_BAD_DRIVE), MessageDialogProc, 0},
    {IDD_BAD_LINE, DialogHelpContext(IDD_BAD_LINE), MessageDialogProc, 0},
    {IDD_NO_DIRECTORY, DialogHelpContext(IDD_NO_DIRECTORY), MessageDialogProc, 0},
    {IDD_COPY_ERROR, DialogHelpContext(IDD_COPY_ERROR), MessageDialogProc, 0},
    {IDD_CANNOT_CREATE, DialogHelpContext(IDD_CANNOT_CREATE), MessageDialogProc, 0},
    {IDD_DISK_FULL, DialogHelpContext(IDD_DISK_FULL), MessageDialogProc, 0},
    {IDD_FONTS_ONLY, DialogHelpContext(IDD_FONTS_ONLY), MessageDialogProc, 0},
    {IDD_MISSING_KEY, DialogHelpContext(IDD_MISSING_KEY), MessageDialogProc, 0},
    {IDD_INSERT_DISK, DialogHelpContext(IDD_INSERT_DISK), DirectoryDialogProc, 0},
    {IDD_FILE_NOT_FOUND, DialogHelpContext(IDD_FILE_NOT_FOUND), DirectoryDialogProc, 0},
    {IDD_CANNOT_OPEN_SCRIPT, DialogHelpContext(IDD_CANNOT_OPEN_SCRIPT), MessageDialogProc, 0},
    {IDD_OUT_OF_MEMORY, DialogHelpContext(IDD_OUT_OF_MEMORY), MessageDialogProc, 0},
    {IDD_CANNOT_START, DialogHelpContext(IDD_CANNOT_START), MessageDialogProc, 0},
    {IDD_DONE, DialogHelpContext(IDD_DONE), MessageDialogProc, 0},
    {IDD_DONE_OK_CANCEL, DialogHelpContext(IDD_DONE_OK_CANCEL), CompletionDialogProc, 0},
    {IDD_DONE_YES_NO, DialogHelpContext(IDD_DONE_YES_NO), CompletionDialogProc, 0},
    {IDD_DIRECTORY_MESSAGE, DialogHelpContext(IDD_DIRECTORY_MESSAGE), MessageDialogProc, 0},
    {IDD_NEW_INSTALL, DialogHelpContext(IDD_NEW_INSTALL), DirectoryDialogProc, 0},
    {IDD_EARLIER_COPY, DialogHelpContext(IDD_EARLIER_COPY), DirectoryDialogProc, 0},
    {IDD_UPGRADE, DialogHelpContext(IDD_UPGRADE), MessageDialogProc, 0},
    {IDD_TOO_MANY_DISKS, DialogHelpContext(IDD_TOO_MANY_DISKS), MessageDialogProc, 0},
    {IDD_NO_COPY_TO_UPGRADE, DialogHelpContext(IDD_NO_COPY_TO_UPGRADE), MessageDialogProc, 0},
    {IDD_WINDOWS_TOO_OLD, DialogHelpContext(IDD_WINDOWS_TOO_OLD), MessageDialogProc, 0},
    {IDD_OTHER_PRODUCT, DialogHelpContext(IDD_OTHER_PRODUCT), MessageDialogProc, 0},
};

const unsigned DialogTableSize = sizeof DialogTable / sizeof DialogTable[0];
static_assert(sizeof DialogTable / sizeof DialogTable[0] == DialogHelpTableSize,
              "the dialog table and its help contexts have the same rows");

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
