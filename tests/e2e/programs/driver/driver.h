// kivdriver: acts on other processes' windows as a person would.
//
// A run is a list of steps; each step names a command and its options. The
// steps share one "current window": the last window a step selected, which
// later steps use when they name no window of their own. Every wait has a
// time limit; a step whose condition is not met in time fails the run with
// exit code 1 and a listing of the windows on screen.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

enum ExitCode { ExitOk = 0, ExitNotMet = 1, ExitUsage = 2 };

// One parsed step. Window selectors (title, titleHas, className, pid,
// handle) pick a visible top-level window; control selectors (controlId,
// controlText) pick a descendant of it.
struct Step {
    std::string command;
    std::vector<std::string> words;  // positional arguments
    std::string title;               // --title: exact caption
    std::string titleHas;            // --title-has: caption substring
    std::string className;           // --class: exact window class
    std::string containing;          // --text of wait-dialog/wait-gone: a control text substring
    DWORD pid = 0;                   // --pid: Windows process id
    HWND handle = NULL;              // --handle 0x...
    int controlId = 0;               // --id
    bool hasControlId = false;
    std::string controlText;         // --text of press/type/expect/read
    bool hasControlText = false;
    double timeout = 15.0;           // --timeout seconds
    bool setText = false;            // type --set: WM_SETTEXT instead of keystrokes
    bool append = false;             // type --append: keep the existing text
    bool exact = false;              // expect --exact
    bool SelectsWindow() const {
        return !title.empty() || !titleHas.empty() || !className.empty() || pid != 0 || handle != NULL;
    }
};

// State carried from step to step.
struct Session {
    HWND current = NULL;     // the current window
    DWORD currentPid = 0;    // its process
    HANDLE process = NULL;   // opened when the window was selected, so that
                             // wait-exit still learns the exit code of a
                             // process that ended before it ran
    void Select(HWND window);
};

// ---- windows.cpp: finding and describing windows ----

// The text of a window read with WM_GETTEXT through SendMessageTimeout; when
// the owner does not answer in time, the window manager's copy is used and
// *stale (if given) is set.
std::string ReadWindowText(HWND window, bool* stale = nullptr);
std::string ReadClassName(HWND window);
// The text without its mnemonic ampersands ("&&" stays one "&").
std::string StripMnemonics(const std::string& text);
// True when text (raw or without mnemonics) contains part / equals whole.
bool TextContains(const std::string& text, const std::string& part);
bool TextEquals(const std::string& text, const std::string& whole);

// Visible top-level windows in Z order, topmost first.
std::vector<HWND> VisibleTopWindows();
// All descendants of a window, in creation order.
std::vector<HWND> Descendants(HWND window);
// True when a visible top-level window matches the step's selectors and,
// when the step has --text, holds a control whose text contains it.
bool WindowMatches(HWND window, const Step& step);
// The first matching visible top-level window, or NULL.
HWND FindWindowFor(const Step& step);
// The descendant of window that the step's --id or --text names, or NULL.
HWND FindControl(HWND window, const Step& step);
// Describes what selected a control, for messages: id 1701, text "&Begin".
std::string ControlSelectorText(const Step& step);

// Printing: one line for the window, then one indented line per control.
void PrintScreen(FILE* out);
void PrintWindow(FILE* out, HWND window, bool withControls);
void PrintAllWindows(FILE* out);
// Text made printable on one line: control characters become \n, \t, \xNN,
// and the rest is converted from the ANSI code page to UTF-8.
std::string Escape(const std::string& text);
// Conversions between the ANSI code page of window texts and the UTF-8 of
// the Unix side (script files, output).
std::string ToUtf8(const std::string& ansi);
std::string FromUtf8(const std::string& utf8);

// ---- actions.cpp: the commands ----

// Polls cond every 50 ms until it holds or timeout seconds have passed.
template <typename Condition>
bool WaitFor(double timeout, Condition cond) {
    DWORD limit = timeout <= 0 ? 0 : (DWORD)(timeout * 1000.0);
    DWORD start = GetTickCount();
    for (;;) {
        if (cond()) return true;
        if (GetTickCount() - start >= limit) return false;
        Sleep(50);
    }
}

// Runs one step; returns an ExitCode. Failures are reported on stderr.
int RunStep(const Step& step, Session& session);
// ---- help_window.cpp ----

// read-help: waits until the help viewer's window (or the window the step
// names) shows text containing the step's first word, then prints the
// window and its text.
int ReadHelpWindow(const Step& step, Session& session);

// Reports a step that failed: the message, then every window on screen.
int Fail(const Step& step, const std::string& message);

// ---- rich_text.cpp ----

// read-rich: waits until the RichEdit control's text, marked as **bold**,
// *italic* and [link], contains the step's first word; prints it.
// press-link: waits for a link whose text starts with the first word and
// clicks its first character.
int RichTextStep(const Step& step, HWND window, double timeout);

// ---- suspend.cpp ----

// suspend / resume --pid P: every thread of process P.
int SuspendOrResume(const Step& step, bool suspend);
