// Reading an install script with the installer's own loader over the host
// side of the seam, so that kivpack and the installer agree by construction.
#pragma once
#include <string>

struct ScriptTarget {
    unsigned displayClass = 1;  // 0 EGA, 1 VGA, 2 8514
    int osMajor = 4;
    int osMinor = 0;            // as the system reports it; 10 reads as 1
    bool windowsNt = false;
};

// Not a dialog: the script's text cannot be packed in the installer's code
// page (LoadScript's own fault; FaultLine names the line and the character).
const unsigned ScriptTextFault = 1;

// Loads `scriptPath` into the installer state as the installer would on
// `target`, reading the script under its own file name from its own
// directory (disk mode), converted to code page 1252 as it will be packed.
// Returns 0, ScriptTextFault or the id of the dialog that reports the first
// fault. The tables stay filled until ReleaseScriptTables().
unsigned LoadScript(const std::string& scriptPath, const ScriptTarget& target);

// The one-line verdict for fault `dialog`, as the installer's dialog would
// word it: "SCRIPT:N: [Section] LINE: message (dialog NNNN)", where N is the
// line of the script at fault; section and lines are left out for faults
// that have none. A second line "SCRIPT:N: reason" says why in plain words.
std::string FaultLine(const std::string& scriptPath, unsigned dialog);

// Parses "ega", "vga" or "8514"; false for anything else.
bool ParseDisplayClass(const std::string& text, unsigned* displayClass);
// Parses "MAJOR.MINOR"; false when it is not of that form.
bool ParseWindowsVersion(const std::string& text, int* major, int* minor);
