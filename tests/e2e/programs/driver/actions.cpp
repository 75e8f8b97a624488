// The driver's commands. Each acts only as a person could: on visible,
// enabled controls of a visible, enabled window, and waits at most its
// --timeout for that to be so.
//
// Wine behaviour this follows:
// - BM_CLICK on a disabled button still clicks, so enabled state is checked
//   here, and BM_CLICK is posted: a sent click would not return while the
//   modal dialog it opens is up.
// - A posted F1 is never seen as a help request; keys go through SendInput
//   to the foreground window, which SetForegroundWindow makes ours.
// - Control texts are read with WM_GETTEXT (windows.cpp); the window
//   manager's copy of an edit's text is stale.
#include "driver.h"

#include <stdio.h>
#include <string.h>

namespace {

const UINT AnswerMs = 2000;

struct KeyName {
    const char* name;
    WORD key;
};

const KeyName KeyNames[] = {
    {"ENTER", VK_RETURN}, {"RETURN", VK_RETURN}, {"ESC", VK_ESCAPE}, {"ESCAPE", VK_ESCAPE},
    {"TAB", VK_TAB}, {"SPACE", VK_SPACE}, {"BACKSPACE", VK_BACK}, {"DELETE", VK_DELETE},
    {"UP", VK_UP}, {"DOWN", VK_DOWN}, {"LEFT", VK_LEFT}, {"RIGHT", VK_RIGHT},
    {"HOME", VK_HOME}, {"END", VK_END}, {"PGUP", VK_PRIOR}, {"PGDN", VK_NEXT},
    {"SHIFT", VK_SHIFT}, {"CTRL", VK_CONTROL}, {"ALT", VK_MENU},
};

// A key name: an entry above, F1 to F12, or one letter or digit.
bool ParseKey(const std::string& name, WORD* key) {
    for (const KeyName& k : KeyNames)
        if (lstrcmpiA(name.c_str(), k.name) == 0) return *key = k.key, true;
    if ((name[0] == 'F' || name[0] == 'f') && name.size() >= 2 && name.size() <= 3) {
        int n = atoi(name.c_str() + 1);
        if (n >= 1 && n <= 12 && name.find_first_not_of("0123456789", 1) == std::string::npos)
            return *key = (WORD)(VK_F1 + n - 1), true;
    }
    if (name.size() == 1 && isalnum((unsigned char)name[0]))
        return *key = (WORD)toupper((unsigned char)name[0]), true;
    return false;
}

// Seconds left of a step's time limit that began at start.
double Remaining(const Step& step, DWORD start) {
    double left = step.timeout - (GetTickCount() - start) / 1000.0;
    return left > 0 ? left : 0;
}

// The window a step acts on: the one its selectors name (waited for), or
// the session's current window. Returns an ExitCode.
int ResolveWindow(const Step& step, Session& session, DWORD start, HWND* window) {
    if (step.SelectsWindow() || !step.containing.empty()) {
        if (!WaitFor(Remaining(step, start), [&] { return (*window = FindWindowFor(step)) != NULL; }))
            return Fail(step, "no visible window matches");
        session.Select(*window);
        return ExitOk;
    }
    if (session.current == NULL) {
        fprintf(stderr, "kivdriver: %s: no window named: give --title (or run wait-dialog first)\n",
                step.command.c_str());
        return ExitUsage;
    }
    *window = session.current;
    if (!IsWindow(*window) || !IsWindowVisible(*window)) return Fail(step, "the current window has closed");
    return ExitOk;
}

// Why a person could not use the control now, or "" when they could.
std::string Unusable(HWND window, HWND control) {
    if (!IsWindow(window) || !IsWindowVisible(window)) return "the window has closed";
    if (!IsWindowEnabled(window)) return "the window is disabled (another dialog is modal over it)";
    if (control == NULL) return "";
    if (!IsWindowVisible(control)) return "the control is hidden";
    if (!IsWindowEnabled(control)) return "the control is disabled";
    return "";
}

// Waits until the step's control exists and a person could use it.
int ResolveUsableControl(const Step& step, HWND window, DWORD start, HWND* control) {
    std::string why;
    bool ok = WaitFor(Remaining(step, start), [&] {
        *control = FindControl(window, step);
        if (*control == NULL) {
            why = IsWindow(window) ? "no such control" : "the window has closed";
            return false;
        }
        why = Unusable(window, *control);
        return why.empty();
    });
    if (ok) return ExitOk;
    return Fail(step, ControlSelectorText(step) + ": " + why);
}

int SendKeys(const Step& step, HWND window) {
    if (step.words.size() != 1) {
        fprintf(stderr, "kivdriver: key: give one key, e.g. F1, ESC, ALT+N\n");
        return ExitUsage;
    }
    std::vector<WORD> keys;
    std::string rest = step.words[0];
    for (;;) {
        size_t plus = rest.find('+', 1);
        WORD key;
        if (!ParseKey(rest.substr(0, plus), &key)) {
            fprintf(stderr, "kivdriver: key: unknown key \"%s\"\n", rest.substr(0, plus).c_str());
            return ExitUsage;
        }
        keys.push_back(key);
        if (plus == std::string::npos) break;
        rest = rest.substr(plus + 1);
    }
    std::string why = Unusable(window, NULL);
    if (!why.empty()) return Fail(step, why);
    SetForegroundWindow(window);
    if (!WaitFor(2.0, [&] { return GetForegroundWindow() == window; }))
        return Fail(step, "the window did not come to the front");
    // Modifiers go down in order and up in reverse, around the last key.
    std::vector<INPUT> input;
    for (size_t i = 0; i < keys.size(); i++) {
        INPUT in;
        ZeroMemory(&in, sizeof in);
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = keys[i];
        in.ki.wScan = (WORD)MapVirtualKeyA(keys[i], 0);
        input.push_back(in);
    }
    for (size_t i = keys.size(); i-- > 0;) {
        INPUT in = input[i];
        in.ki.dwFlags = KEYEVENTF_KEYUP;
        input.push_back(in);
    }
    if (SendInput((UINT)input.size(), input.data(), sizeof(INPUT)) != input.size())
        return Fail(step, "SendInput refused the keys");
    printf("key %s\n", step.words[0].c_str());
    return ExitOk;
}

int TypeText(const Step& step, HWND control) {
    const std::string text = step.words.empty() ? std::string() : step.words[0];
    DWORD_PTR result;
    if (step.setText) {
        if (!SendMessageTimeoutA(control, WM_SETTEXT, 0, (LPARAM)text.c_str(), SMTO_ABORTIFHUNG,
                                 AnswerMs, &result))
            return Fail(step, "the control did not take WM_SETTEXT");
    } else {
        // As a person does: select what is there (or go to its end), then
        // type; an empty text is a Backspace over the selection.
        DWORD_PTR length = 0;
        if (step.append)
            SendMessageTimeoutA(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, AnswerMs, &length);
        WPARAM from = step.append ? (WPARAM)length : 0;
        LPARAM to = step.append ? (LPARAM)length : -1;
        SendMessageTimeoutA(control, EM_SETSEL, from, to, SMTO_ABORTIFHUNG, AnswerMs, &result);
        std::string keys = text.empty() && !step.append ? std::string("\b") : text;
        for (unsigned char c : keys)
            if (!SendMessageTimeoutA(control, WM_CHAR, c, 1, SMTO_ABORTIFHUNG, AnswerMs, &result))
                return Fail(step, "the control stopped answering while typing");
    }
    printf("typed id %d text \"%s\"\n", GetDlgCtrlID(control), Escape(ReadWindowText(control)).c_str());
    return ExitOk;
}

int WaitExit(const Step& step, Session& session) {
    DWORD pid = step.pid ? step.pid : session.currentPid;
    if (pid == 0) {
        fprintf(stderr, "kivdriver: wait-exit: give --pid (or run wait-dialog first)\n");
        return ExitUsage;
    }
    bool own = pid != session.currentPid || session.process == NULL;
    HANDLE process = own ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid) : session.process;
    if (process == NULL) {
        printf("exit unknown pid %lu\n", (unsigned long)pid);  // already gone
        return ExitOk;
    }
    DWORD code = 0;
    bool ended = WaitForSingleObject(process, (DWORD)(step.timeout * 1000)) == WAIT_OBJECT_0;
    if (ended) GetExitCodeProcess(process, &code);
    if (own) CloseHandle(process);
    if (!ended) return Fail(step, "process " + std::to_string(pid) + " is still running");
    printf("exit %lu pid %lu\n", (unsigned long)code, (unsigned long)pid);
    return ExitOk;
}

}  // namespace

void Session::Select(HWND window) {
    current = window;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == currentPid && process != NULL) return;
    if (process != NULL) CloseHandle(process);
    currentPid = pid;
    process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
}

// wait-file PATH [BYTES]: polls every millisecond, so that a step after it
// lands while a program is still writing the file, however fast it writes.
int WaitFile(const Step& step) {
    if (step.words.empty() || step.words.size() > 2) {
        fprintf(stderr, "kivdriver: wait-file: give a path and, if wanted, a size in bytes\n");
        return ExitUsage;
    }
    unsigned long long least = step.words.size() == 2 ? strtoull(step.words[1].c_str(), nullptr, 10) : 0;
    const char* path = step.words[0].c_str();
    DWORD limit = (DWORD)(step.timeout * 1000.0), start = GetTickCount();
    for (;;) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
            unsigned long long size = ((unsigned long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
            if (size >= least) {
                printf("file %s %llu bytes\n", step.words[0].c_str(), size);
                return ExitOk;
            }
        }
        if (GetTickCount() - start >= limit) break;
        Sleep(1);
    }
    return Fail(step, "no file " + step.words[0] + " of that size");
}

int Fail(const Step& step, const std::string& message) {
    fprintf(stderr, "kivdriver: %s: %s (after %.1f s)\n", step.command.c_str(), message.c_str(),
            step.timeout);
    fprintf(stderr, "windows on screen:\n");
    PrintAllWindows(stderr);
    return ExitNotMet;
}

int RunStep(const Step& step, Session& session) {
    const std::string& c = step.command;
    DWORD start = GetTickCount();
    HWND window = NULL, control = NULL;
    int rc;

    if (c == "dump") return PrintAllWindows(stdout), ExitOk;
    if (c == "screen") return PrintScreen(stdout), ExitOk;
    if (c == "sleep") {
        Sleep(step.words.empty() ? 0 : (DWORD)(atof(step.words[0].c_str()) * 1000));
        return ExitOk;
    }
    if (c == "wait-exit") return WaitExit(step, session);
    if (c == "wait-file") return WaitFile(step);
    if (c == "read-help") return ReadHelpWindow(step, session);
    if (c == "suspend" || c == "resume") return SuspendOrResume(step, c == "suspend");
    if (c == "wait-dialog") {
        if (!step.SelectsWindow() && step.containing.empty()) {
            fprintf(stderr, "kivdriver: wait-dialog: give --title, --title-has, --class or --text\n");
            return ExitUsage;
        }
        if ((rc = ResolveWindow(step, session, start, &window)) != ExitOk) return rc;
        PrintScreen(stdout);
        PrintWindow(stdout, window, true);
        return ExitOk;
    }
    if (c == "wait-gone") {
        bool named = step.SelectsWindow() || !step.containing.empty();
        if (!named && session.current == NULL) {
            fprintf(stderr, "kivdriver: wait-gone: give --title (or run wait-dialog first)\n");
            return ExitUsage;
        }
        HWND current = session.current;
        if (!WaitFor(step.timeout, [&] {
                return named ? FindWindowFor(step) == NULL
                             : !IsWindow(current) || !IsWindowVisible(current);
            }))
            return Fail(step, "the window is still there");
        printf("gone\n");
        return ExitOk;
    }

    if ((rc = ResolveWindow(step, session, start, &window)) != ExitOk) return rc;
    if (c == "key") return SendKeys(step, window);
    if (c == "close") {
        std::string why;
        if (!WaitFor(Remaining(step, start), [&] { return (why = Unusable(window, NULL)).empty(); }))
            return Fail(step, why);
        if (!(GetWindowLongA(window, GWL_STYLE) & WS_SYSMENU)) return Fail(step, "the window has no close box");
        PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        printf("closed 0x%08lx\n", (unsigned long)(UINT_PTR)window);
        return ExitOk;
    }

    if (!step.hasControlId && !step.hasControlText) {
        fprintf(stderr, "kivdriver: %s: give --id or --text for the control\n", c.c_str());
        return ExitUsage;
    }
    if (c == "read-rich" || c == "press-link") return RichTextStep(step, window, Remaining(step, start));
    if (c == "press") {
        if ((rc = ResolveUsableControl(step, window, start, &control)) != ExitOk) return rc;
        // Described first: the click may close the window at once.
        std::string text = Escape(ReadWindowText(control));
        int id = GetDlgCtrlID(control);
        PostMessageA(control, BM_CLICK, 0, 0);
        printf("pressed id %d text \"%s\"\n", id, text.c_str());
        return ExitOk;
    }
    if (c == "type") {
        if ((rc = ResolveUsableControl(step, window, start, &control)) != ExitOk) return rc;
        return TypeText(step, control);
    }
    if (c == "read" || c == "expect") {
        std::string text;
        bool ok = WaitFor(Remaining(step, start), [&] {
            control = FindControl(window, step);
            if (control == NULL) return false;
            text = ReadWindowText(control);
            if (c == "read" || step.words.empty()) return true;
            return step.exact ? TextEquals(text, step.words[0]) : TextContains(text, step.words[0]);
        });
        if (!ok) {
            std::string want = step.words.empty() ? "" : step.words[0];
            return Fail(step, control == NULL ? ControlSelectorText(step) + ": no such control"
                                              : "text is \"" + Escape(text) + "\", wanted \"" + want + "\"");
        }
        if (c == "read") printf("%s\n", ToUtf8(text).c_str());
        else printf("text \"%s\"\n", Escape(text).c_str());
        return ExitOk;
    }
    fprintf(stderr, "kivdriver: unknown command \"%s\" (try --help)\n", c.c_str());
    return ExitUsage;
}
