// kivdriver.exe: command line, scripts and the step loop.
//
// Steps come from the arguments, separated by a lone "--", or from a script
// file (-f FILE, "-f -" for standard input) with one step per line, words
// in UTF-8, split at blanks, "double quotes" grouping words (two quotes inside stand
// for one), backslashes taken literally, and lines starting with # ignored.
// Steps run in order; the first that fails ends the run with its code.
#include "driver.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const char Usage[] =
    "usage: kivdriver.exe [--timeout S] STEP [-- STEP]...\n"
    "       kivdriver.exe [--timeout S] -f SCRIPT|-   (one step per line)\n"
    "Window: --title T (exact) --title-has S --class C --pid P --handle 0xH;\n"
    "  without one a step uses the window of the step before.\n"
    "  --window-text S (or --text S for wait-dialog, wait-gone, key, close): the window\n"
    "  holds a control whose text contains S.\n"
    "Control: --id N or --text T (its text, with or without its & mnemonics).\n"
    "Every wait ends after --timeout S seconds (default 15) with exit 1.\n"
    "Commands:\n"
    "  wait-dialog WINDOW             wait for a visible window; print it and its controls\n"
    "  wait-gone [WINDOW]             wait until no such window is visible\n"
    "  dump                           print every visible top-level window and its controls\n"
    "  screen                         print the screen size\n"
    "  press [WINDOW] CONTROL         click a button once it and its window are visible and enabled\n"
    "  type [WINDOW] --id N [--append|--set] TEXT\n"
    "                                 select the edit's text and type TEXT over it key by key\n"
    "                                 (empty TEXT: Backspace); --set uses WM_SETTEXT instead\n"
    "  key [WINDOW] KEY               bring the window to the front and press KEY with SendInput:\n"
    "                                 F1..F12 ENTER ESC TAB SPACE arrows, a letter; ALT+N, SHIFT+TAB\n"
    "  close [WINDOW]                 click the window's close box (SC_CLOSE)\n"
    "  expect [WINDOW] CONTROL [--exact] TEXT  wait until the control's text contains TEXT\n"
    "  read [WINDOW] CONTROL          print the control's text as it is\n"
    "  read-rich [WINDOW] CONTROL [TEXT]  wait until the RichEdit control's text, marked\n"
    "                                 **bold**, *italic* and [link], contains TEXT; print it\n"
    "  press-link [WINDOW] CONTROL TEXT  click the link of the RichEdit control that starts with TEXT\n"
    "  read-help [WINDOW] [TEXT]      wait until the help viewer (class MS_WINHELP) shows TEXT\n"
    "                                 in its RichEdit controls; print its title and text\n"
    "  wait-exit [--pid P]            wait for the process (default: of the last window) to end;\n"
    "                                 print its exit code\n"
    "  wait-file PATH [BYTES]         wait until the file exists (and holds BYTES or more)\n"
    "  suspend --pid P / resume --pid P  stop / restart every thread of the process\n"
    "  sleep S                        pause S seconds\n"
    "Exit: 0 done, 1 a condition not met in time (stderr lists the windows), 2 usage.\n";

const char* const Commands[] = {"wait-dialog", "wait-gone", "dump", "screen", "press", "type", "key",
                                "close", "expect", "read", "read-rich", "press-link", "read-help", "wait-exit", "wait-file", "sleep", "suspend",
                                "resume"};

bool KnownCommand(const std::string& name) {
    for (const char* c : Commands)
        if (name == c) return true;
    return false;
}

bool ParseNumber(const std::string& text, double* value) {
    char* end = nullptr;
    *value = strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && *value >= 0;
}

bool ParseInteger(const std::string& text, int* value) {
    char* end = nullptr;
    *value = (int)strtol(text.c_str(), &end, 0);
    return !text.empty() && end && *end == '\0';
}

// Fills step from its words; false (with a message) on a usage error.
bool ParseStep(const std::vector<std::string>& words, double defaultTimeout, Step* step) {
    if (words.empty()) return fprintf(stderr, "kivdriver: empty step\n"), false;
    step->command = words[0];
    step->timeout = defaultTimeout;
    if (!KnownCommand(step->command))
        return fprintf(stderr, "kivdriver: unknown command \"%s\" (try --help)\n", words[0].c_str()), false;
    // --text names a control for the commands that act on one, and a text
    // the window must hold for those that act on a window.
    bool windowText = step->command == "wait-dialog" || step->command == "wait-gone" ||
                      step->command == "key" || step->command == "close";
    for (size_t i = 1; i < words.size(); i++) {
        const std::string& w = words[i];
        if (w == "--set") { step->setText = true; continue; }
        if (w == "--append") { step->append = true; continue; }
        if (w == "--exact") { step->exact = true; continue; }
        if (w.size() < 2 || w.compare(0, 2, "--") != 0) { step->words.push_back(w); continue; }
        if (i + 1 >= words.size())
            return fprintf(stderr, "kivdriver: %s: %s needs a value\n", words[0].c_str(), w.c_str()), false;
        const std::string& v = words[++i];
        double number;
        if (w == "--title") step->title = v;
        else if (w == "--title-has") step->titleHas = v;
        else if (w == "--class") step->className = v;
        else if (w == "--window-text") step->containing = v;
        else if (w == "--text" && windowText) step->containing = v;
        else if (w == "--text") step->controlText = v, step->hasControlText = true;
        else if (w == "--pid" && ParseNumber(v, &number)) step->pid = (DWORD)number;
        else if (w == "--handle") step->handle = (HWND)(UINT_PTR)strtoul(v.c_str(), nullptr, 0);
        else if (w == "--id" && ParseInteger(v, &step->controlId)) step->hasControlId = true;
        else if (w == "--timeout" && ParseNumber(v, &number)) step->timeout = number;
        else return fprintf(stderr, "kivdriver: %s: bad option %s %s\n", words[0].c_str(), w.c_str(), v.c_str()), false;
    }
    return true;
}

// Splits one script line into words (rules at the top of this file).
std::vector<std::string> SplitLine(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    for (;;) {
        while (i < line.size() && isspace((unsigned char)line[i])) i++;
        if (i >= line.size()) break;
        std::string word;
        bool quoted = false;
        for (; i < line.size() && (quoted || !isspace((unsigned char)line[i])); i++) {
            if (line[i] != '"') word += line[i];
            else if (quoted && i + 1 < line.size() && line[i + 1] == '"') word += '"', i++;
            else quoted = !quoted;
        }
        words.push_back(word);
    }
    return words;
}

bool ReadScript(const char* name, std::vector<std::vector<std::string>>* steps) {
    FILE* in = strcmp(name, "-") == 0 ? stdin : fopen(name, "r");
    if (!in) return fprintf(stderr, "kivdriver: cannot read script %s\n", name), false;
    char buffer[8192];
    while (fgets(buffer, sizeof buffer, in)) {
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        std::vector<std::string> words = SplitLine(FromUtf8(line));
        if (!words.empty() && words[0][0] != '#') steps->push_back(words);
    }
    if (in != stdin) fclose(in);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Plain "\n" line ends: the harness reads this output on Unix.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> args(argv + 1, argv + argc);
    double timeout = 15.0;
    size_t first = 0;
    if (args.size() >= 2 && args[0] == "--timeout") {
        if (!ParseNumber(args[1], &timeout)) return fprintf(stderr, "kivdriver: bad --timeout\n"), ExitUsage;
        first = 2;
    }
    if (first >= args.size() || args[first] == "--help" || args[first] == "-h") {
        fputs(Usage, first < args.size() ? stdout : stderr);
        return first < args.size() ? ExitOk : ExitUsage;
    }

    std::vector<std::vector<std::string>> stepWords;
    if (args[first] == "-f") {
        if (first + 2 != args.size()) return fputs(Usage, stderr), ExitUsage;
        if (!ReadScript(args[first + 1].c_str(), &stepWords)) return ExitUsage;
    } else {
        stepWords.emplace_back();
        for (size_t i = first; i < args.size(); i++) {
            if (args[i] == "--") stepWords.emplace_back();
            else stepWords.back().push_back(args[i]);
        }
    }

    // Every step is checked before the first one acts.
    std::vector<Step> steps(stepWords.size());
    for (size_t i = 0; i < steps.size(); i++)
        if (!ParseStep(stepWords[i], timeout, &steps[i])) return ExitUsage;

    Session session;
    for (const Step& step : steps) {
        int rc = RunStep(step, session);
        fflush(stdout);
        if (rc != ExitOk) return rc;
    }
    return ExitOk;
}
