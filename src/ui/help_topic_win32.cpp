// Help where the system has no help viewer. Windows 6.0 and later ship none:
// WinHelpA there only tells the user that this kind of help is unavailable.
// So on those systems the installer shows the topic itself, from the text
// that kivpack stores beside the help file (resource type 257, id 1, laid out
// as kivformat.h describes), in dialog 2900: the topic's title as the
// caption, its text in a read-only scrolling field, and OK.
//
// Where the system has a RichEdit control (loaded here by its full path, so
// that nothing is imported that older systems lack), it takes the field's
// place and shows the topic's bold, italic and jumps from the help styles
// (type 259). A jump is a link: pressing it shows its topic in the same
// dialog, and Back returns to the one before. Without a RichEdit control, or
// with help styles that do not fit the text, the topic is shown as plain
// text.
#include <windows.h>
#include <richedit.h>
#include "ui/dialogs.h"
#include "platform/text.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"
#include "startup/startup.h"

namespace {

struct HelpTopicText {
    const char* Title;
    const char* Text;
    unsigned Index;  // its place in the help text, which the help styles share
};

// A jump of the topic on screen: the characters of the control that show it
// and the topic that it opens.
struct Jump {
    LONG Start, End;
    unsigned Target;
};

// A topic's further jumps show as plain text; Back goes at most this far.
const unsigned MaxJumps = 64;
const unsigned MaxHistory = 16;
// Posted by a pressed link, with the topic in wParam: the RichEdit control
// is not refilled from inside its own notification.
const UINT OpenJumpMessage = WM_APP;

struct HelpView {
    HWND Text;  // the RichEdit control, or the template's field without one
    bool Rich;
    unsigned Context;  // the topic on screen
    unsigned JumpCount;
    Jump Jumps[MaxJumps];
    unsigned Depth;  // topics that Back returns to, the last on top
    unsigned History[MaxHistory];
};

// Set while dialog 2900 is open: F1 inside it would otherwise stack a second
// copy of the same topic on top of it.
bool TopicOnScreen;
HelpView View;

unsigned ReadLe16(const unsigned char* p)
{
    return p[0] | (unsigned)p[1] << 8;
}

unsigned ReadLe32(const unsigned char* p)
{
    return ReadLe16(p) | ReadLe16(p + 2) << 16;
}

// The bytes of a help resource (help text or help styles, both id 1), or
// null when the executable has none of at least the 4 bytes of its count.
const unsigned char* HelpResource(unsigned type, unsigned& size)
{
    HMODULE module = (HMODULE)State.Instance;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(KIV_HELP_TEXT_RESOURCE), MAKEINTRESOURCEA(type));
    if (!found) return 0;
    size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const unsigned char* data = loaded ? (const unsigned char*)LockResource(loaded) : 0;
    return size >= 4 ? data : 0;
}

// The size of the record at `at` (at most `size`) of a help resource, whose
// records both begin with the context and their size: 0 when the record is
// shorter than `least` bytes or does not lie whole inside the resource.
unsigned RecordSize(const unsigned char* data, unsigned size, unsigned at, unsigned least)
{
    if (size - at < least) return 0;
    const unsigned record = ReadLe32(data + at + 4);
    return record >= least && record <= size - at ? record : 0;
}

// Finds the first topic with help context `context` in the help-text
// resource. False when the executable has no such resource or no such topic,
// or when a record does not lie whole inside the resource: a damaged
// resource is treated as an absent one, so the caller falls back to the help
// viewer.
bool FindTopicText(unsigned context, HelpTopicText& topic)
{
    unsigned size;
    const unsigned char* data = HelpResource(KIV_HELP_TEXT_TYPE, size);
    if (!data) return false;
    const unsigned count = ReadLe32(data);
    unsigned at = 4;
    for (unsigned index = 0; index < count; ++index) {
        const unsigned record = RecordSize(data, size, at, KIV_HELP_TEXT_HEADER_SIZE + 2);
        if (!record) return false;
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
            topic.Index = index;
            return true;
        }
        at += record;
    }
    return false;
}

// The help styles of `topic` (context `context`): its first run, with the
// number of runs in `runs`. Null when the executable has none for it, or when
// the record is damaged or its runs reach past the end of the text: the
// topic is then shown plain.
const unsigned char* FindTopicRuns(const HelpTopicText& topic, unsigned context, unsigned& runs)
{
    unsigned size;
    const unsigned char* data = HelpResource(KIV_HELP_STYLE_TYPE, size);
    if (!data || ReadLe32(data) <= topic.Index) return 0;
    unsigned at = 4;
    for (unsigned index = 0;; ++index) {
        const unsigned record = RecordSize(data, size, at, KIV_HELP_TEXT_HEADER_SIZE);
        if (!record) return 0;
        if (index == topic.Index) {
            const unsigned bytes = record - KIV_HELP_TEXT_HEADER_SIZE;
            if (ReadLe32(data + at) != context || bytes % KIV_HELP_STYLE_RUN_SIZE) return 0;
            const unsigned char* first = data + at + KIV_HELP_TEXT_HEADER_SIZE;
            const unsigned count = bytes / KIV_HELP_STYLE_RUN_SIZE;
            unsigned left = TextLength(topic.Text);
            for (unsigned r = 0; r < count; ++r) {
                const unsigned length = ReadLe16(first + r * KIV_HELP_STYLE_RUN_SIZE);
                if (length > left) return 0;
                left -= length;
            }
            runs = count;
            return first;
        }
        at += record;
    }
}

// The class of the RichEdit control that the system has, its library loaded
// on the first call; null when none loads.
const char* RichEditClass()
{
    static const char* const Libraries[] = {"msftedit.dll", "riched20.dll", "riched32.dll"};
    static const char* const Classes[] = {"RICHEDIT50W", "RichEdit20A", "RICHEDIT"};
    static const char* loaded;
    static bool tried;
    if (!tried) {
        tried = true;
        for (unsigned i = 0; i < 3 && !loaded; ++i)
            if (LoadSystemLibrary(Libraries[i])) loaded = Classes[i];
    }
    return loaded;
}

// Appends `length` bytes of `text` to the RichEdit control in `style`; a jump
// is noted for the link's notification.
void AppendRun(const char* text, unsigned length, unsigned style, unsigned target)
{
    HWND control = View.Text;
    CHARRANGE range;
    SendMessageA(control, EM_EXGETSEL, 0, (LPARAM)&range);
    const LONG start = range.cpMax;
    // In pieces through the work buffer: a run is not NUL-terminated.
    while (length) {
        const unsigned piece = TextCopyCount(State.WorkBuffer, WorkBufferSize, text, length);
        if (!piece) break;
        SendMessageA(control, EM_REPLACESEL, FALSE, (LPARAM)State.WorkBuffer);
        text += piece;
        length -= piece;
    }
    SendMessageA(control, EM_EXGETSEL, 0, (LPARAM)&range);
    const LONG end = range.cpMax;
    const bool jump = (style & KIV_HELP_STYLE_JUMP) && View.JumpCount < MaxJumps;
    CHARFORMATA format;
    format.cbSize = sizeof format;
    format.dwMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_LINK;
    format.dwEffects = (style & KIV_HELP_STYLE_BOLD ? CFE_BOLD : 0) | (style & KIV_HELP_STYLE_ITALIC ? CFE_ITALIC : 0) |
                       (jump ? CFE_UNDERLINE | CFE_LINK : 0);
    SendMessageA(control, EM_SETSEL, start, end);
    SendMessageA(control, EM_SETCHARFORMAT, SCF_SELECTION, (LPARAM)&format);
    SendMessageA(control, EM_SETSEL, end, end);
    if (jump) {
        Jump& j = View.Jumps[View.JumpCount++];
        j.Start = start;
        j.End = end;
        j.Target = target;
    }
}

// Shows topic `context` in the dialog. False when the installer has no text
// for it.
bool ShowTopic(HWND dialog, unsigned context)
{
    HelpTopicText topic;
    if (!FindTopicText(context, topic)) return false;
    // Back first: whoever sees the new title sees its final state.
    HWND back = GetDlgItem(dialog, CTRL_HELP_BACK);
    if (!View.Depth && GetFocus() == back) SetFocus(GetDlgItem(dialog, IDOK));
    EnableWindow(back, View.Depth != 0);
    View.Context = context;
    SetWindowTextA(dialog, topic.Title);
    HWND control = View.Text;
    if (!View.Rich) {
        SetWindowTextA(control, topic.Text);
    } else {
        SendMessageA(control, WM_SETREDRAW, FALSE, 0);
        SetWindowTextA(control, "");
        View.JumpCount = 0;
        unsigned runs = 0;
        const unsigned char* run = FindTopicRuns(topic, context, runs);
        const char* text = topic.Text;
        // The runs, then the rest of the text plain.
        for (unsigned left = TextLength(text); left || runs;) {
            unsigned length = left, style = 0, target = 0;
            if (runs) {
                length = ReadLe16(run);
                style = ReadLe16(run + 2);
                target = ReadLe32(run + 4);
                run += KIV_HELP_STYLE_RUN_SIZE;
                --runs;
            }
            AppendRun(text, length, style, target);
            text += length;
            left -= length;
        }
        SendMessageA(control, EM_SETSEL, 0, 0);
        SendMessageA(control, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(control, 0, TRUE);
    }
    SendMessageA(control, EM_SCROLLCARET, 0, 0);
    return true;
}

// Puts a RichEdit control in the place of the template's field, when the
// system has one.
void CreateRichText(HWND dialog)
{
    HWND field = GetDlgItem(dialog, CTRL_HELP_TEXT);
    View.Text = field;
    View.Rich = false;
    const char* richClass = RichEditClass();
    if (!richClass) return;
    RECT place;
    GetWindowRect(field, &place);
    ScreenToClient(dialog, (POINT*)&place.left);
    ScreenToClient(dialog, (POINT*)&place.right);
    HWND rich = CreateWindowExA(WS_EX_CLIENTEDGE, richClass, "",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | WS_GROUP | ES_MULTILINE |
                                    ES_READONLY | ES_AUTOVSCROLL,
                                place.left, place.top, place.right - place.left, place.bottom - place.top, dialog,
                                (HMENU)CTRL_HELP_TEXT, (HINSTANCE)State.Instance, 0);
    if (!rich) return;
    DestroyWindow(field);
    SendMessageA(rich, WM_SETFONT, SendMessageA(dialog, WM_GETFONT, 0, 0), FALSE);
    SendMessageA(rich, EM_SETEVENTMASK, 0, ENM_LINK);
    // A topic longer than the control's default limit is shown whole.
    SendMessageA(rich, EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
    View.Text = rich;
    View.Rich = true;
}

INT_PTR CALLBACK HelpTopicDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        View.Depth = 0;
        CreateRichText(dialog);
        ShowTopic(dialog, (unsigned)lParam);
        // The focus on OK, so that the text is not shown all selected.
        SetFocus(GetDlgItem(dialog, IDOK));
        return FALSE;
    case WM_NOTIFY: {
        const ENLINK* link = (const ENLINK*)lParam;
        if (link->nmhdr.code != EN_LINK || link->msg != WM_LBUTTONUP) return FALSE;
        for (unsigned i = 0; i < View.JumpCount; ++i) {
            const Jump& j = View.Jumps[i];
            if (link->chrg.cpMin >= j.Start && link->chrg.cpMin < j.End) {
                PostMessageA(dialog, OpenJumpMessage, j.Target, 0);
                break;
            }
        }
        return TRUE;
    }
    case OpenJumpMessage:
        // The oldest topic is forgotten when the history is full.
        if (View.Depth == MaxHistory) {
            for (unsigned i = 1; i < MaxHistory; ++i) View.History[i - 1] = View.History[i];
            --View.Depth;
        }
        View.History[View.Depth++] = View.Context;
        if (!ShowTopic(dialog, (unsigned)wParam)) --View.Depth;
        return TRUE;
    case WM_COMMAND:
        if (wParam == CTRL_HELP_BACK && View.Depth) {
            ShowTopic(dialog, View.History[--View.Depth]);
            return TRUE;
        }
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
                        HelpTopicDialogProc, (LPARAM)context);
        TopicOnScreen = false;
        return;
    }
    WinHelpA((HWND)State.MainWindow, State.HelpPath, HELP_CONTEXT, context);
}
