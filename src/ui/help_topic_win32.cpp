// Help where the system has no help viewer. Windows 6.0 and later ship none:
// WinHelpA there only tells the user that this kind of help is unavailable.
// So on those systems the installer shows the topic itself, from the text
// that kivpack stores beside the help file (resource type 257, id 1, laid out
// as kivformat.h describes), in dialog 2900: the topic's title as the
// caption, its text in a read-only scrolling field, and OK.
#include <windows.h>
#include "engine/resource_bounds_win32.h"
#include "ui/dialogs.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"

namespace {

struct HelpTopicText {
    const char* Title;
    const char* Text;
};

// Set while dialog 2900 is open: F1 inside it would otherwise stack a second
// copy of the same topic on top of it.
bool TopicOnScreen;

unsigned ReadLe32(const unsigned char* p)
{
    return p[0] | (unsigned)p[1] << 8 | (unsigned)p[2] << 16 | (unsigned)p[3] << 24;
}

// Finds the first topic with help context `context` in the help-text
// resource. False when the executable has no such resource or no such topic,
// or when a record does not lie whole inside the resource, whose size is
// bounded by the image: a damaged resource is treated as an absent one, so
// the caller falls back to the help viewer.
bool FindTopicText(unsigned context, HelpTopicText& topic)
{
    HMODULE module = (HMODULE)State.Instance;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(KIV_HELP_TEXT_RESOURCE), MAKEINTRESOURCEA(KIV_HELP_TEXT_TYPE));
    unsigned size;
    const unsigned char* data = LockResourceInImage(module, found, &size);
    if (!data || size < 4) return false;
    unsigned count = ReadLe32(data);
    unsigned at = 4;
    while (count--) {
        if (size - at < KIV_HELP_TEXT_HEADER_SIZE + 2) return false;
        const unsigned record = ReadLe32(data + at + 4);
        if (record < KIV_HELP_TEXT_HEADER_SIZE + 2 || record > size - at) return false;
        const char* title = (const char*)data + at + KIV_HELP_TEXT_HEADER_SIZE;
        const char* end = (const char*)data + at + record;
        // The record ends with the text's NUL; the title's NUL lies before it.
        if (end[-1]) return false;
        const char* text = title;
        while (*text) ++text;
        ++text;
        if (text >= end) return false;
        if (ReadLe32(data + at) == context) {
            topic.Title = title;
            topic.Text = text;
            return true;
        }
        at += record;
    }
    return false;
}

INT_PTR CALLBACK HelpTopicDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        const HelpTopicText* topic = (const HelpTopicText*)lParam;
        SetWindowTextA(dialog, topic->Title);
        SetDlgItemTextA(dialog, CTRL_HELP_TEXT, topic->Text);
        // The focus on OK, so that the text is not shown all selected.
        SetFocus(GetDlgItem(dialog, IDOK));
        return FALSE;
    }
    case WM_COMMAND:
        if (wParam == IDOK || wParam == IDCANCEL) {
            EndDialog(dialog, 1);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

} // namespace

void OpenHelpTopic(unsigned context)
{
    HelpTopicText topic;
    if (State.OsMajor >= 6 && FindTopicText(context, topic)) {
        if (TopicOnScreen) return;
        TopicOnScreen = true;
        // Owned by the dialog on screen, which waits until the topic is closed.
        DialogBoxParamA((HINSTANCE)State.Instance, MAKEINTRESOURCEA(IDD_HELP_TOPIC), GetActiveWindow(),
                        HelpTopicDialogProc, (LPARAM)&topic);
        TopicOnScreen = false;
        return;
    }
    WinHelpA((HWND)State.MainWindow, State.HelpPath, HELP_CONTEXT, context);
}
