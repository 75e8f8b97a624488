// read-help: the help viewer's window as a person reads it. The viewer shows
// a topic's title and text in RichEdit controls of its main window (class
// "MS_WINHELP"); WM_GETTEXT on each returns what is on screen.
#include "driver.h"

#include <stdio.h>

namespace {

const char ViewerClass[] = "MS_WINHELP";

bool IsRichEdit(HWND control) {
    std::string cls = ReadClassName(control);
    return cls.size() >= 8 && lstrcmpiA(cls.substr(0, 8).c_str(), "RichEdit") == 0;
}

// The texts of the window's RichEdit controls, in creation order, joined by
// a line break.
std::string ViewerText(HWND window) {
    std::string all;
    for (HWND control : Descendants(window)) {
        if (!IsRichEdit(control) || !IsWindowVisible(control)) continue;
        if (!all.empty()) all += "\n";
        all += ReadWindowText(control);
    }
    return all;
}

}  // namespace

int ReadHelpWindow(const Step& step, Session& session) {
    Step find = step;
    if (!step.SelectsWindow()) find.className = ViewerClass;
    find.containing.clear();
    const std::string want = step.words.empty() ? "" : step.words[0];
    HWND window = NULL;
    std::string text;
    bool ok = WaitFor(step.timeout, [&] {
        window = FindWindowFor(find);
        if (window == NULL) return false;
        text = ViewerText(window);
        return !text.empty() && (want.empty() || TextContains(text, want));
    });
    if (!ok)
        return Fail(step, window == NULL ? "no help viewer window is visible"
                                         : "the viewer shows \"" + Escape(text) + "\", wanted \"" + want + "\"");
    session.Select(window);
    PrintWindow(stdout, window, false);
    printf("help text \"%s\"\n", Escape(text).c_str());
    return ExitOk;
}
