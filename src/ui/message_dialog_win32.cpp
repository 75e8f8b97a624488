// The procedure of the message dialogs. The template text of control 1001 is
// the format of the message; the dialog's help topic selects which fields of
// the installer state complete it. The format is always the template's or the
// string table's text: script values and system texts only ever fill it in.
#include <windows.h>
#include "ui/dialogs.h"
#include "platform/text.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"
#include "script/keywords.h"

enum : unsigned { FormatSize = 260 };

// Dialog 1300: the system's text for LastError and the file concerned. The
// system's texts end in a line break, and so does the one for an error that
// the system has no text for.
static void FormatCopyError()
{
    char* text = State.WorkBuffer;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, 0, State.LastError,
                                  LANG_USER_DEFAULT, text, WorkBufferSize, 0);
    if (length == 0)
        FormatText(text, WorkBufferSize, "System error %lu.\r\n", (unsigned long)State.LastError);
    TextAppend(text, WorkBufferSize, "\nFilename: ");
    TextAppend(text, WorkBufferSize, State.CopyErrorPath);
}

static const char* CurrentKeyName()
{
    return State.CurrentKey < KeyNameCount ? KeyNames[State.CurrentKey] : "";
}

// Fills WorkBuffer from `format` by the rule of the current help topic and
// carries out the rule's other actions. Returns the length of the format that
// applied: 0 means that control 1001 keeps its template text.
static unsigned FillMessage(HWND dialog, const char* format, unsigned length)
{
    char* out = State.WorkBuffer;
    const unsigned size = WorkBufferSize;
    switch (State.CurrentHelpContext) {
    case 256:
        FormatText(out, size, format, State.ErrorDrive);
        break;
    case 512: {
        char section[NameSize + 2];
        FormatText(section, sizeof section, "[%s]", State.CurrentSection);
        SetDlgItemTextA(dialog, CTRL_SECTION, section);
        SetDlgItemTextA(dialog, CTRL_LINE, State.MessageArg);
        FormatText(out, size, format, State.ScriptPath);
        break;
    }
    case 1024:
        FormatCopyError();
        break;
    case 1280:
        FormatText(out, size, format, State.TargetDir);
        break;
    case 1536:
        // The need is rounded to the nearest K; DiskSpace is above 0, so
        // unsigned arithmetic cannot overflow.
        FormatText(out, size, format, State.MessageArg[0], (unsigned long)State.FreeKBytes,
                   (unsigned long)(((unsigned)State.DiskSpace + 512) >> 10), State.ProductName);
        break;
    case 1664:
        TextCopy(out, size, format);
        LayoutFontsDialog(dialog);
        break;
    case 1792:
        FormatText(out, size, format, CurrentKeyName(), State.CurrentSection);
        break;
    case 2560:
        TextCopy(out, size, format);
        if (State.ShellFlags & ShellNew) BringToFront(dialog);
        KeepInFront(dialog);
        break;
    case 2816:
        FormatText(out, size, format, State.RunName);
        break;
    case HelpBeingInstalledIn:
        if (!State.InstallingInText) return 0;
        FormatText(out, size, State.InstallingInText, State.ProductName, State.MessageArg);
        return TextLength(State.InstallingInText);
    case HelpUsedForDisks:
        if (!State.DiskDirText) return 0;
        FormatText(out, size, State.DiskDirText, State.MessageArg);
        return TextLength(State.DiskDirText);
    case 3720:
        FormatText(out, size, format, State.ProductName, State.InstalledVersion, State.InstalledDir);
        if (State.ViewButtonText[0]) SetDlgItemTextA(dialog, CTRL_VIEW, State.ViewButtonText);
        break;
    case 3840:
        FormatText(out, size, format, (unsigned)MaxDisks);
        break;
    case 3968:
        FormatText(out, size, format, State.ProductName, State.VersionToPatch);
        break;
    case 4096:
        FormatText(out, size, format, State.ProductName, (unsigned)State.RequiredWinMajor,
                   (unsigned)State.RequiredWinMinor, (unsigned)State.OsMajor, (unsigned)State.OsMinor);
        break;
    case 4224:
        // MessageArg: the other product, which the directory check read.
        FormatText(out, size, format, State.ProductName, State.TargetDir, State.MessageArg);
        break;
    case NoHelpContext:
        FormatText(out, size, format, State.ScriptPath);
        break;
    default:
        TextCopy(out, size, format);
        break;
    }
    return length;
}

INT_PTR CALLBACK MessageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (KeepInFrontMessage(dialog, message, wParam)) return TRUE;
    switch (message) {
    case WM_INITDIALOG: {
        char format[FormatSize];
        format[0] = 0;
        unsigned length = GetDlgItem(dialog, CTRL_MESSAGE) ? GetDlgItemTextA(dialog, CTRL_MESSAGE, format, FormatSize) : 0;
        if (length >= FormatSize) length = FormatSize - 1;
        format[length] = 0;
        if (FillMessage(dialog, format, length)) SetDlgItemTextA(dialog, CTRL_MESSAGE, State.WorkBuffer);
        PrepareDialogWindow(dialog);
        return TRUE;
    }
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT* item = (const DRAWITEMSTRUCT*)lParam;
        HDC memory = CreateCompatibleDC(item->hDC);
        if (memory) {
            HGDIOBJ previous = State.FontsBitmap ? SelectObject(memory, (HBITMAP)State.FontsBitmap) : 0;
            if (previous) {
                BitBlt(item->hDC, item->rcItem.left, item->rcItem.top, State.FontsBitmapWidth,
                       State.FontsBitmapHeight, memory, 0, 0, SRCCOPY);
                SelectObject(memory, previous);
            }
            DeleteDC(memory);
        }
        return TRUE;
    }
    case WM_COMMAND:
        switch (wParam) {
        case IDOK: EndDialog(dialog, 1); return TRUE;
        case IDCANCEL: EndDialog(dialog, 0); return TRUE;
        case CTRL_HELP: ShowContextHelp(); return TRUE;
        case CTRL_VIEW: ShowReadmeTopic(); return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}
