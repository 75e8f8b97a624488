// What kivpack adds to the installer's verdict on a script: the script's text
// as it will be packed (code page 1252), the line and the reason behind a
// fault, and warnings about what the installer would silently skip.
#pragma once
#include <string>
#include <vector>
#include "tools/kivpack/lint/script_scan.h"
#include "tools/kivpack/text_encoding.h"

struct ScriptTarget;

namespace lint {

struct ScriptSource {
    std::string path;        // as the user named it
    std::string loaderPath;  // as the loader names it
    bool readable = false;
    std::string ansi;        // the text in code page 1252, as kivpack reads it
    std::string packed;      // the bytes to pack: `ansi`, or UTF-16 text as it is
    TextConversion conversion;
    ScriptScan scan;
};

// Reads the script at `path`, converts it to code page 1252 and, when that
// changed its bytes, registers the result as the in-memory file
// `loaderPath`, so that the loader reads what will be packed. A file that cannot be read is left to the loader (which
// reports it as the installer would). False when the text cannot be
// converted; CurrentScript().conversion then says why.
bool PrepareScript(const std::string& path, const std::string& loaderPath);
const ScriptSource& CurrentScript();

// The line of the first fault that the loader reported as `dialog` (0 when
// the fault has no line) and the reason in plain words. It reads the fields
// that the loader left in the installer state.
struct FaultReason {
    unsigned line = 0;
    std::string reason;
};
FaultReason ExplainFault(unsigned dialog);

struct Warning {
    unsigned line;
    std::string text;
};
// Everything the installer would read past or cut without a word, in line
// order, for the current script on `target`.
std::vector<Warning> ScriptWarnings(const ScriptTarget& target);

// Prints the warnings as "file:line: warning: ..." on stderr and a note about
// the script's encoding on stdout; returns the number of warnings.
unsigned ReportWarnings(const ScriptTarget& target);

// The exit code of a command that succeeded with `warnings` warnings.
inline int WarningExit(unsigned warnings, bool strict) { return strict && warnings ? 1 : 0; }

// "did you mean X?" for the nearest of `candidates`, or "".
std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates);

// The directory keyword named in `word`'s place: "unknown directory keyword
// 'Traget' (Target, ... or Fonts); did you mean Target?"
std::string UnknownKeyword(const std::string& word);

} // namespace lint
