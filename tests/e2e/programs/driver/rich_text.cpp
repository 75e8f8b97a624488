// read-rich and press-link: a RichEdit control of another process, read with
// its formatting and its links pressed with the mouse.
//
// The RichEdit messages that carry a structure (EM_GETTEXTRANGE,
// EM_GETCHARFORMAT, EM_POSFROMCHAR) are not marshalled between processes,
// so their structures are placed in memory allocated in the control's
// process. The text is read in the control's own character positions
// (a paragraph ends in one CR), UTF-16 when the window is a Unicode one.
#include "driver.h"

#include <richedit.h>
#include <stdio.h>

namespace {

const UINT AnswerMs = 2000;
const LONG MaxChars = 16384;

// A block of memory in the control's process, freed on destruction.
class Remote {
public:
    explicit Remote(HWND control) {
        DWORD pid = 0;
        GetWindowThreadProcessId(control, &pid);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_) at_ = VirtualAllocEx(process_, NULL, Size, MEM_COMMIT, PAGE_READWRITE);
    }
    ~Remote() {
        if (at_) VirtualFreeEx(process_, at_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    bool Ok() const { return at_ != NULL; }
    char* At(size_t offset) const { return (char*)at_ + offset; }
    bool Write(size_t offset, const void* data, size_t size) const {
        SIZE_T done = 0;
        return WriteProcessMemory(process_, At(offset), data, size, &done) && done == size;
    }
    bool Read(size_t offset, void* data, size_t size) const {
        SIZE_T done = 0;
        return ReadProcessMemory(process_, At(offset), data, size, &done) && done == size;
    }
    static const size_t Size = 256 + (MaxChars + 1) * 2;

private:
    HANDLE process_ = NULL;
    void* at_ = NULL;
};

LRESULT Send(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(control, message, wParam, lParam, SMTO_ABORTIFHUNG, AnswerMs, &result)) return -1;
    return (LRESULT)result;
}

// The control's text, one UTF-8 string per character position; false when
// it cannot be read.
bool ReadChars(HWND control, const Remote& remote, std::vector<std::string>* chars, std::string* why) {
    chars->clear();
    GETTEXTLENGTHEX count = {GTL_NUMCHARS | GTL_PRECISE, IsWindowUnicode(control) ? 1200u : (UINT)CP_ACP};
    if (!remote.Write(0, &count, sizeof count)) return *why = "cannot write to the control's process", false;
    LRESULT total = Send(control, EM_GETTEXTLENGTHEX, (WPARAM)remote.At(0), 0);
    if (total < 0) return *why = "EM_GETTEXTLENGTHEX failed", false;
    LONG length = total < MaxChars ? (LONG)total : MaxChars;
    TEXTRANGEA range;
    range.chrg.cpMin = 0;
    range.chrg.cpMax = length;
    range.lpstrText = remote.At(256);
    if (!remote.Write(0, &range, sizeof range)) return false;
    if (Send(control, EM_GETTEXTRANGE, 0, (LPARAM)remote.At(0)) < 0) return *why = "EM_GETTEXTRANGE failed", false;
    bool wide = IsWindowUnicode(control);
    std::vector<char> bytes((length + 1) * 2, 0);
    if (!remote.Read(256, bytes.data(), bytes.size())) return *why = "cannot read the control's process", false;
    for (LONG i = 0; i < length; i++) {
        if (wide) {
            wchar_t c = (wchar_t)((unsigned char)bytes[2 * i] | (unsigned char)bytes[2 * i + 1] << 8);
            char out[8];
            int n = WideCharToMultiByte(CP_UTF8, 0, &c, 1, out, sizeof out, NULL, NULL);
            chars->push_back(std::string(out, n > 0 ? n : 0));
        } else {
            chars->push_back(ToUtf8(std::string(1, bytes[i])));
        }
    }
    return true;
}

// The effects (CFE_BOLD, CFE_ITALIC, CFE_LINK) of each character.
bool ReadEffects(HWND control, const Remote& remote, size_t count, std::vector<DWORD>* effects) {
    effects->clear();
    for (size_t i = 0; i < count; i++) {
        Send(control, EM_SETSEL, i, i + 1);
        CHARFORMATA format;
        ZeroMemory(&format, sizeof format);
        format.cbSize = sizeof format;
        if (!remote.Write(0, &format, sizeof format)) return false;
        Send(control, EM_GETCHARFORMAT, SCF_SELECTION, (LPARAM)remote.At(0));
        if (!remote.Read(0, &format, sizeof format)) return false;
        effects->push_back(format.dwEffects & (CFE_BOLD | CFE_ITALIC | CFE_LINK));
    }
    Send(control, EM_SETSEL, 0, 0);
    return true;
}

// The text with its formatting marked: **bold**, *italic*, [link]; a
// paragraph end as "\n".
std::string Marked(const std::vector<std::string>& chars, const std::vector<DWORD>& effects) {
    std::string out;
    DWORD open = 0;
    auto close = [&]() {
        if (open & CFE_LINK) out += "]";
        if (open & CFE_ITALIC) out += "*";
        if (open & CFE_BOLD) out += "**";
        open = 0;
    };
    for (size_t i = 0; i < chars.size(); i++) {
        if (effects[i] != open) {
            close();
            open = effects[i];
            if (open & CFE_BOLD) out += "**";
            if (open & CFE_ITALIC) out += "*";
            if (open & CFE_LINK) out += "[";
        }
        out += chars[i] == "\r" ? "\n" : chars[i];
    }
    close();
    return out;
}

std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\\n") : std::string(1, c);
    return out;
}

}  // namespace

int RichTextStep(const Step& step, HWND window, double timeout) {
    std::string want = step.words.empty() ? "" : step.words[0];
    bool press = step.command == "press-link";
    if (press && want.empty()) {
        fprintf(stderr, "kivdriver: press-link: give the link's text\n");
        return ExitUsage;
    }
    std::string marked, why = "no such control";
    HWND control = NULL;
    size_t at = std::string::npos;
    std::vector<std::string> chars;
    bool ok = WaitFor(timeout, [&] {
        control = FindControl(window, step);
        if (control == NULL) return false;
        Remote remote(control);
        std::vector<DWORD> effects;
        why = "no memory in the control's process";
        if (!remote.Ok() || !ReadChars(control, remote, &chars, &why)) return false;
        if (!ReadEffects(control, remote, chars.size(), &effects)) return why = "EM_GETCHARFORMAT failed", false;
        marked = Marked(chars, effects);
        if (!press) return want.empty() || marked.find(ToUtf8(want)) != std::string::npos;
        // The first character of a link whose text starts with `want`.
        const std::string wanted = ToUtf8(want);
        std::string plain;
        for (const std::string& c : chars) plain += c;
        for (size_t i = 0, offset = 0; i < chars.size(); offset += chars[i].size(), i++)
            if ((effects[i] & CFE_LINK) && plain.compare(offset, wanted.size(), wanted) == 0 &&
                (i == 0 || !(effects[i - 1] & CFE_LINK)))
                return at = i, true;
        why = "no link \"" + want + "\"";
        return false;
    });
    if (!ok) {
        if (!marked.empty()) why += "; the text is \"" + OneLine(marked) + "\"";
        return Fail(step, why + " (wanted \"" + ToUtf8(want) + "\")");
    }
    if (!press) {
        printf("rich \"%s\"\n", OneLine(marked).c_str());
        return ExitOk;
    }
    // Where that character is on screen, inside the control's visible area.
    Remote remote(control);
    POINTL point = {0, 0};
    if (!remote.Ok() || !remote.Write(0, &point, sizeof point)) return Fail(step, "no memory in the control's process");
    Send(control, EM_POSFROMCHAR, (WPARAM)remote.At(0), (LPARAM)at);
    remote.Read(0, &point, sizeof point);
    RECT client;
    GetClientRect(control, &client);
    LPARAM spot = MAKELPARAM(point.x + 2, point.y + 2);
    if (point.x + 2 >= client.right || point.y + 2 >= client.bottom || point.x < 0 || point.y < 0)
        return Fail(step, "the link is scrolled out of sight");
    if (!IsWindowEnabled(window)) return Fail(step, "the window is disabled (another dialog is modal over it)");
    PostMessageA(control, WM_MOUSEMOVE, 0, spot);
    PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, spot);
    PostMessageA(control, WM_LBUTTONUP, 0, spot);
    printf("pressed link \"%s\" at %ld,%ld\n", ToUtf8(want).c_str(), point.x + 2, point.y + 2);
    return ExitOk;
}
