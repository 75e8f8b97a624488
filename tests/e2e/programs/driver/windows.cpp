// Finding windows of any process and describing them.
//
// Lines printed, one per window, text always last so that it may hold
// anything:
//   window 0x00010064 pid 52 class "#32770" rect 200,150,600,330 size 400x180
//          visible enabled foreground owner 0x00000000 title "Setup"
//   control 0x00010066 id 1001 class "Static" rect ... visible enabled text "..."
// (one line each; wrapped here). State words: visible|hidden,
// enabled|disabled, and where they apply foreground, focus, default,
// checked, indeterminate, readonly, password.
#include "driver.h"

#include <stdio.h>
#include <string.h>

namespace {

// How long a window's owner may take to answer one WM_GETTEXT; a busy
// installer that pumps messages rarely still answers within this.
const UINT AnswerMs = 2000;

BOOL CALLBACK CollectTop(HWND window, LPARAM list) {
    if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::string Caption(HWND window) {
    // The caption of a top-level window is kept by the window manager and is
    // current; reading it sends nothing, so a hung owner cannot stall us.
    char buffer[1024];
    int n = GetWindowTextA(window, buffer, sizeof buffer);
    return std::string(buffer, n > 0 ? n : 0);
}

void PrintRect(FILE* out, HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    fprintf(out, " rect %ld,%ld,%ld,%ld size %ldx%ld", r.left, r.top, r.right, r.bottom,
            r.right - r.left, r.bottom - r.top);
}

void PrintState(FILE* out, HWND window) {
    fprintf(out, " %s %s", IsWindowVisible(window) ? "visible" : "hidden",
            IsWindowEnabled(window) ? "enabled" : "disabled");
}

void PrintControlState(FILE* out, HWND control, HWND focus) {
    PrintState(out, control);
    if (control == focus) fprintf(out, " focus");
    std::string cls = ReadClassName(control);
    LONG style = GetWindowLongA(control, GWL_STYLE);
    if (lstrcmpiA(cls.c_str(), "Button") == 0) {
        LONG kind = style & BS_TYPEMASK;
        if (kind == BS_DEFPUSHBUTTON) fprintf(out, " default");
        if (kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX || kind == BS_3STATE ||
            kind == BS_AUTO3STATE || kind == BS_RADIOBUTTON || kind == BS_AUTORADIOBUTTON) {
            DWORD_PTR check = 0;
            SendMessageTimeoutA(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, AnswerMs, &check);
            if (check == BST_CHECKED) fprintf(out, " checked");
            if (check == BST_INDETERMINATE) fprintf(out, " indeterminate");
        }
    } else if (lstrcmpiA(cls.c_str(), "Edit") == 0 || _strnicmp(cls.c_str(), "RichEdit", 8) == 0) {
        if (style & ES_READONLY) fprintf(out, " readonly");
        if (style & ES_PASSWORD) fprintf(out, " password");
    }
}

}  // namespace

std::string ReadWindowText(HWND window, bool* stale) {
    DWORD_PTR length = 0;
    if (SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, AnswerMs, &length)) {
        // The length is counted in the window's own characters; an ANSI copy
        // may need up to two bytes for each.
        size_t size = length * 2 + 2;
        if (size > 65536) size = 65536;
        std::vector<char> buffer(size, '\0');
        DWORD_PTR got = 0;
        if (SendMessageTimeoutA(window, WM_GETTEXT, buffer.size(), (LPARAM)buffer.data(),
                                SMTO_ABORTIFHUNG, AnswerMs, &got)) {
            if (got >= buffer.size()) got = buffer.size() - 1;
            return std::string(buffer.data(), got);
        }
    }
    if (stale) *stale = true;
    return Caption(window);
}

std::string ReadClassName(HWND window) {
    char buffer[256];
    int n = GetClassNameA(window, buffer, sizeof buffer);
    return std::string(buffer, n > 0 ? n : 0);
}

std::string StripMnemonics(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '&' && i + 1 < text.size()) i++;
        else if (text[i] == '&') continue;
        plain += text[i];
    }
    return plain;
}

bool TextContains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos ||
           StripMnemonics(text).find(part) != std::string::npos;
}

bool TextEquals(const std::string& text, const std::string& whole) {
    return text == whole || StripMnemonics(text) == whole;
}

std::vector<HWND> VisibleTopWindows() {
    std::vector<HWND> list;
    EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&list));
    return list;
}

std::vector<HWND> Descendants(HWND window) {
    std::vector<HWND> list;
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&list));
    return list;
}

bool WindowMatches(HWND window, const Step& step) {
    if (!IsWindow(window) || !IsWindowVisible(window)) return false;
    if (step.handle != NULL && window != step.handle) return false;
    if (step.pid != 0) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid != step.pid) return false;
    }
    if (!step.className.empty() && ReadClassName(window) != step.className) return false;
    if (!step.title.empty() || !step.titleHas.empty()) {
        std::string caption = Caption(window);
        if (!step.title.empty() && caption != step.title) return false;
        if (!step.titleHas.empty() && caption.find(step.titleHas) == std::string::npos) return false;
    }
    if (!step.containing.empty()) {
        for (HWND control : Descendants(window))
            if (TextContains(ReadWindowText(control), step.containing)) return true;
        return false;
    }
    return true;
}

HWND FindWindowFor(const Step& step) {
    for (HWND window : VisibleTopWindows())
        if (WindowMatches(window, step)) return window;
    return NULL;
}

HWND FindControl(HWND window, const Step& step) {
    for (HWND control : Descendants(window)) {
        if (step.hasControlId && GetDlgCtrlID(control) != step.controlId) continue;
        if (step.hasControlText && !TextEquals(ReadWindowText(control), step.controlText)) continue;
        return control;
    }
    return NULL;
}

std::string ControlSelectorText(const Step& step) {
    std::string text;
    if (step.hasControlId) text = "id " + std::to_string(step.controlId);
    if (step.hasControlText) text += (text.empty() ? "" : " ") + ("text \"" + step.controlText + "\"");
    return text;
}

namespace {

std::string Convert(const std::string& text, UINT from, UINT to) {
    if (text.empty()) return text;
    int wide = MultiByteToWideChar(from, 0, text.data(), (int)text.size(), NULL, 0);
    if (wide <= 0) return text;
    std::vector<WCHAR> buffer(wide);
    MultiByteToWideChar(from, 0, text.data(), (int)text.size(), buffer.data(), wide);
    int bytes = WideCharToMultiByte(to, 0, buffer.data(), wide, NULL, 0, NULL, NULL);
    if (bytes <= 0) return text;
    std::string out(bytes, '\0');
    WideCharToMultiByte(to, 0, buffer.data(), wide, &out[0], bytes, NULL, NULL);
    return out;
}

}  // namespace

std::string ToUtf8(const std::string& ansi) { return Convert(ansi, CP_ACP, CP_UTF8); }
std::string FromUtf8(const std::string& utf8) { return Convert(utf8, CP_UTF8, CP_ACP); }

std::string Escape(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c < 0x20 || c == 0x7F) {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else out += (char)c;
    }
    return ToUtf8(out);
}

void PrintScreen(FILE* out) {
    fprintf(out, "screen %dx%d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

void PrintWindow(FILE* out, HWND window, bool withControls) {
    DWORD pid = 0;
    DWORD thread = GetWindowThreadProcessId(window, &pid);
    GUITHREADINFO gui;
    ZeroMemory(&gui, sizeof gui);
    gui.cbSize = sizeof gui;
    if (!GetGUIThreadInfo(thread, &gui)) gui.hwndFocus = NULL;

    fprintf(out, "window 0x%08lx pid %lu class \"%s\"", (unsigned long)(UINT_PTR)window,
            (unsigned long)pid, Escape(ReadClassName(window)).c_str());
    PrintRect(out, window);
    PrintState(out, window);
    if (GetForegroundWindow() == window) fprintf(out, " foreground");
    fprintf(out, " owner 0x%08lx title \"%s\"\n", (unsigned long)(UINT_PTR)GetWindow(window, GW_OWNER),
            Escape(Caption(window)).c_str());
    if (!withControls) return;
    for (HWND control : Descendants(window)) {
        bool stale = false;
        std::string text = ReadWindowText(control, &stale);
        fprintf(out, "  control 0x%08lx id %d class \"%s\"", (unsigned long)(UINT_PTR)control,
                GetDlgCtrlID(control), Escape(ReadClassName(control)).c_str());
        PrintRect(out, control);
        PrintControlState(out, control, gui.hwndFocus);
        if (stale) fprintf(out, " stale");
        fprintf(out, " text \"%s\"\n", Escape(text).c_str());
    }
}

void PrintAllWindows(FILE* out) {
    PrintScreen(out);
    for (HWND window : VisibleTopWindows()) PrintWindow(out, window, true);
}
