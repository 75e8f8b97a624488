// What kivpack adds to the installer's verdict on a script: the script's text
// as it will be packed (code page 1252), the line and the reason behind a
// fault, and warnings about what the installer would silently skip.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "tools/kivpack/lint/script_scan.h"
#include "tools/kivpack/text_encoding.h"

struct PayloadFile;
struct PayloadPlan;
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

// A line of the script and what is said about it.
struct Finding {
    unsigned line;
    std::string text;
};
using Warning = Finding;

// Everything the installer would read past or cut without a word, and what
// it would do that breaks the installation or damages the system, in line
// order, for the current script on `target`. `withFiles`: the product's
// source files are looked at too (for the bytes the script installs).
// `plan`: the script's PayloadPlan when the caller has it, else it is read
// again.
std::vector<Warning> ScriptWarnings(const ScriptTarget& target, bool withFiles = true,
                                    const PayloadPlan* plan = nullptr);

// Prints the warnings as "file:line: warning: ..." on stderr and a note about
// the script's encoding on stdout; returns the number of warnings.
unsigned ReportWarnings(const ScriptTarget& target, bool withFiles = true, const PayloadPlan* plan = nullptr);

// What the loader lets through but stops the installation: a file line into
// a directory below Target that no [Target Subdirectories] line creates.
// Each finding's text is the whole message, "SCRIPT:LINE: [Disk n] LINE: ...".
std::vector<Finding> InstallationErrors(const PayloadPlan& plan);

// The help file and the source of every file line that kivpack build would
// not find, each with build's message; an uninstaller line without a source
// is not missing (build generates its file).
std::vector<Finding> MissingSources(const PayloadPlan& plan);

// The bytes the installer writes for `plan` on each display class: every
// file line of that class (appended parts add to their file, lines in the
// Windows and system directories count too), up to the first disk that
// holds no file of the class, where the installer stops. `problem` says why
// the sizes are not known (a source missing, no uninstaller stub).
struct InstalledBytes {
    bool known = false;
    uint64_t display[3] = {0, 0, 0};  // EGA, VGA, 8514
    std::string problem;
};
InstalledBytes CountInstalledBytes(const PayloadPlan& plan);

// Whether the installer copies `file` of `plan` on display class
// `displayClass` (0 EGA, 1 VGA, 2 8514): a line of that class on a disk
// before the first disk that holds no file of it.
bool CopiedOnDisplay(const PayloadPlan& plan, const PayloadFile& file, unsigned displayClass);

// The least DiskSpace for `bytes`: the largest of the three classes, or the
// one of `displayClass` (0 to 2).
uint64_t DiskSpaceFigure(const InstalledBytes& bytes, int displayClass = -1);

// A DiskSpace value (or a display key's) as the installer reads it: a
// 32-bit number, which digits past its range wrap.
int DiskSpaceAsRead(const std::string& value);
// Whether the digits of `value` name a number past DiskSpace's range
// (2,147,483,647).
bool PastLargestDiskSpace(const std::string& value);

// "1,457,664": a number of bytes for a message.
std::string GroupedNumber(uint64_t n);

// "an EGA", "a VGA", "an 8514": the display class with its article.
std::string DisplayWithArticle(unsigned displayClass);

// The exit code of a command that succeeded with `warnings` warnings.
inline int WarningExit(unsigned warnings, bool strict) { return strict && warnings ? 1 : 0; }

// "did you mean X?" for the nearest of `candidates`, or "".
std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates);

// The directory keyword named in `word`'s place: "unknown directory keyword
// 'Traget' (Target, ... or Fonts); did you mean Target?"
std::string UnknownKeyword(const std::string& word);

} // namespace lint
