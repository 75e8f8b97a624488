// kivpack's own reading of a script's lines, to say where a section or a key
// stands. It follows the rules of the profile reader that the installer uses
// (platform/host/profile_host.cpp): lines trimmed of blanks, a header is '['
// up to the last ']', a key is the text before the first '=', names match
// without regard to case, and a lookup takes the first section and the first
// key of a name. What that reader never reads (a second section or key of the
// same name, a line without '=') stays here, marked, so that it can be named.
#pragma once
#include <string>
#include <vector>

namespace lint {

struct ScanKey {
    std::string name;
    std::string value;   // trimmed, one pair of enclosing quotes removed
    unsigned line = 0;   // 1-based
    bool hasValue = false;   // false: the line has no '='
    bool shadowed = false;   // an earlier key of the same name gives the value
};

struct ScanSection {
    std::string name;       // empty for the lines before the first header
    unsigned line = 0;      // of the header; 0 for the unnamed section
    bool shadowed = false;  // an earlier section of the same name is read instead
    std::vector<ScanKey> keys;
};

struct ScriptScan {
    std::vector<ScanSection> sections;  // [0] holds the lines before any header

    // The section of that name that the installer reads, or null.
    const ScanSection* Find(const std::string& name) const;
    // The key of that name that the installer reads in that section, or null.
    const ScanKey* FindKey(const std::string& section, const std::string& key) const;
    // That key when the installer reads a value from it: it has one, and
    // the value is not empty (the installer takes both alike).
    const ScanKey* FindGiven(const std::string& section, const std::string& key) const;
    // The line of the key, else of its section's header, else 0.
    unsigned LineOf(const std::string& section, const std::string& key = std::string()) const;
};

// Scans code-page-1252 text.
ScriptScan ScanScript(const std::string& text);

// Names compared as the profile reader compares them (code page 1252 letters
// without regard to case).
bool SameName(const std::string& a, const std::string& b);

// The candidate nearest to `word` when it is close enough to be a likely
// typing slip (at most a third of its letters differ, and at least one
// letter is the same); empty otherwise.
std::string NearestName(const std::string& word, const std::vector<std::string>& candidates);

} // namespace lint
