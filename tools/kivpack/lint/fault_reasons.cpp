// The reason behind each fault of the loader, found in the script's lines.
#include <cstdio>
#include "platform/platform.h"
#include "platform/text.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"
#include "script/keywords.h"
#include "tools/kivpack/lint/script_lint.h"

namespace lint {
namespace {

// The longest name or text an entry of the loader's tables holds.
const size_t MaxAtomText = 255;

// A name the installer reads a section under (a [Disk n] of any number).
bool IsSectionTheInstallerReads(const std::string& name)
{
    static const char* const Fixed[] = {"Basic Information", "fonts", "EGA Fonts", "VGA Fonts", "8514 Fonts",
                                        "Exit List", "Delete List", "Target Subdirectories", "Program Manager Group",
                                        "Old Program Manager Groups", "Run"};
    for (const char* fixed : Fixed)
        if (SameName(name, fixed)) return true;
    return name.size() > 5 && SameName(name.substr(0, 5), "Disk ") && name[5] != '0' &&
           name.find_first_not_of("0123456789", 5) == std::string::npos;
}

// The sections that could be a misspelling of a missing one.
std::vector<std::string> SectionNames(const ScriptScan& scan)
{
    std::vector<std::string> names;
    for (const ScanSection& s : scan.sections)
        if (!s.name.empty() && !IsSectionTheInstallerReads(s.name)) names.push_back(s.name);
    return names;
}

std::vector<std::string> KeyNamesOf(const ScanSection& section)
{
    std::vector<std::string> names;
    for (const ScanKey& k : section.keys)
        if (k.hasValue && !k.name.empty()) names.push_back(k.name);
    return names;
}

const ScanSection* FindByName(const ScriptScan& scan, const std::string& name)
{
    for (const ScanSection& s : scan.sections)
        if (s.name == name) return &s;
    return nullptr;
}

// A required key that reads as empty: where it is, or where it was probably
// meant to be, and why it does not count.
FaultReason MissingKey(const ScriptScan& scan, const std::string& section, const std::string& key)
{
    FaultReason r;
    const ScanSection* s = scan.Find(section);
    if (!s) {
        std::string near = NearestName(section, SectionNames(scan));
        r.reason = "the script has no [" + section + "] section";
        if (section.compare(0, 5, "Disk ") == 0)
            if (const ScanKey* total = scan.FindKey("Basic Information", KeyNames[KeyTotalDisks]))
                r.reason += ", which TotalDisks=" + total->value + " at line " + std::to_string(total->line) +
                            " asks for";
        if (!near.empty()) {
            r.line = FindByName(scan, near)->line;
            r.reason += "; [" + near + "] is not read: did you mean [" + section + "]?";
        } else {
            r.line = 1;
        }
        return r;
    }
    r.line = s->line;
    if (const ScanKey* k = scan.FindKey(section, key)) {
        r.line = k->line;
        if (!k->hasValue)
            r.reason = "the line '" + k->name + "' has no '='";
        else if (key == KeyNames[KeyTotalDisks])
            r.reason = "TotalDisks must be a whole number from 1 to 32; '" + k->value + "' reads as 0";
        else
            r.reason = "'" + key + "=' has an empty value";
        return r;
    }
    for (const ScanSection& other : scan.sections)
        if (other.shadowed && SameName(other.name, section))
            for (const ScanKey& k : other.keys)
                if (k.hasValue && SameName(k.name, key)) {
                    r.line = k.line;
                    r.reason = "this line stands in a second [" + other.name + "] section, which is never read; the first [" +
                               s->name + "] is at line " + std::to_string(s->line);
                    return r;
                }
    std::string near = NearestName(key, KeyNamesOf(*s));
    r.reason = "[" + s->name + "] has no '" + key + "=' line";
    if (key == KeyNames[KeyDiskSpace]) {
        static const char* const Displays[] = {"EGADiskSpace", "VGADiskSpace", "8514DiskSpace"};
        r.reason += " and no " + std::string(Displays[State.DisplayClass < 3 ? State.DisplayClass : 1]) +
                    " line for this display class";
    }
    if (!near.empty()) {
        r.line = scan.FindKey(section, near)->line;
        r.reason += "; '" + near + "' on this line is not read: did you mean " + key + "?";
    }
    return r;
}

// The line the loader stopped at: the first key of `section` whose line,
// cut as the loader cuts it into its message, is `messageArg`.
const ScanKey* FaultyKey(const ScriptScan& scan, const std::string& section, const std::string& messageArg)
{
    const ScanSection* s = scan.Find(section);
    if (!s) return nullptr;
    for (const ScanKey& k : s->keys)
        if (k.hasValue && !k.shadowed && (k.name + "=" + k.value).substr(0, PathSize - 1) == messageArg) return &k;
    return nullptr;
}

std::string Field(const std::string& text, unsigned n)
{
    size_t start = 0;
    for (; n && start != std::string::npos; --n) {
        start = text.find(',', start);
        if (start != std::string::npos) ++start;
    }
    if (start == std::string::npos) return std::string();
    return text.substr(start, text.find(',', start) == std::string::npos ? std::string::npos
                                                                          : text.find(',', start) - start);
}

// The first name or text of the line, in the order the loader keeps them in
// its tables, that is longer than a table entry holds; empty when none is.
std::string OverlongName(const std::string& section, const std::string& key, const std::string& value)
{
    std::vector<std::pair<const char*, std::string>> pieces;
    if (section.compare(0, 5, "Disk ") == 0) {
        std::string destination = Field(value, 0);
        size_t slash = destination.find('\\');
        pieces = {{"source name", key},
                  {"destination name", slash == std::string::npos ? key : destination.substr(slash + 1)},
                  {"description", Field(value, 1)}};
    } else if (SameName(section, "fonts") || (section.size() > 6 && SameName(section.substr(section.size() - 6), " Fonts"))) {
        pieces = {{"font file", value}, {"font name", key}};
    } else if (SameName(section, "Exit List")) {
        pieces = {{"window class", key}, {"list of titles", value}};
    } else if (SameName(section, "Old Program Manager Groups")) {
        pieces = {{"version", key}, {"group name", value}};
    } else if (SameName(section, "Program Manager Group")) {
        pieces = {{"item's file name", key}, {"item's title", Field(value, 0)}};
    } else if (SameName(section, "Delete List")) {
        pieces = {{"file name", value.substr(value.rfind('\\') + 1)}};
    } else if (SameName(section, "Target Subdirectories")) {
        pieces = {{"directory name", value}};
    }
    for (const auto& p : pieces)
        if (p.second.size() > MaxAtomText)
            return std::string("the ") + p.first + " '" + p.second.substr(0, 20) + "...' is " +
                   std::to_string(p.second.size()) + " characters; a name or text in the installer's tables holds at "
                   "most 255";
    return std::string();
}

// A value that breaks its grammar: `key` and `value` as the loader saw them.
std::string BadValue(const std::string& section, const std::string& key, const std::string& value)
{
    std::string tooLong = OverlongName(section, key, value);
    if (!tooLong.empty()) return tooLong;
    if (SameName(section, "Program Manager Group"))
        return "a group item needs its title first: the value begins with a comma";
    if (SameName(section, "Basic Information")) {
        if (SameName(key, KeyNames[KeyHelpFileName]))
            return "HelpFileName with a comma needs the source name before it and the installed name after it";
        const std::string reads = std::to_string(DiskSpaceAsRead(value));
        if (PastLargestDiskSpace(value))
            return key + " must be a number of bytes from 1 to 2147483647; '" + value +
                   "' is more, and the installer reads it as " + reads;
        return key + " must be a number of bytes above 0; '" + value + "' reads as " + reads;
    }
    if (SameName(section, "Run")) {
        std::vector<std::string> sets(ButtonKeywords, ButtonKeywords + 2);
        std::string hint = DidYouMean(value, sets);
        return "Buttons must be OK/Cancel or Yes/No" + (hint.empty() ? "" : "; " + hint);
    }
    if (SameName(section, "Delete List")) {
        size_t slash = value.rfind('\\');
        if (slash == std::string::npos)
            return "a delete-list entry is a directory keyword, a backslash and a file name, as Windows\\OLD.DLL";
        if (slash + 1 == value.size()) return "no file name follows the last backslash";
        std::string word = value.substr(0, slash);
        std::string reason = UnknownKeyword(word);
        if (word.find('\\') != std::string::npos)
            reason += "; the delete list names files directly in one of these directories, not below them";
        return reason;
    }
    std::string destination = value.substr(0, value.find(','));
    size_t slash = destination.find('\\');
    std::string word = destination.substr(0, slash);
    if (MatchKeyword(DirectoryKeywords, 5, word.c_str()) == 5) return UnknownKeyword(word);
    return "nothing follows '" + destination + "': name the destination after the backslash, or leave the backslash "
           "out to keep the source name";
}

// The first name or text in `section` that the atom table cannot hold.
FaultReason OutOfMemory(const ScriptScan& scan, const std::string& section)
{
    FaultReason r;
    r.line = scan.LineOf(section);
    if (const ScanSection* s = scan.Find(section))
        for (const ScanKey& k : s->keys) {
            const std::string& text = k.name.size() > 255 ? k.name : k.value;
            if (k.hasValue && text.size() > 255) {
                r.line = k.line;
                r.reason = "'" + text.substr(0, 20) + "...' is " + std::to_string(text.size()) +
                           " characters; a name or text of the installer's tables holds at most 255";
                return r;
            }
        }
    r.reason = "the installer keeps each distinct name and text of its tables (file names, descriptions, fonts, "
               "group items) in an atom table of at most 16,384 entries, and this script needs more";
    return r;
}

} // namespace

FaultReason ExplainFault(unsigned dialog)
{
    const ScriptSource& source = CurrentScript();
    const ScriptScan& scan = source.scan;
    std::string section = State.CurrentSection;
    FaultReason r;
    switch (dialog) {
    case IDD_CANNOT_OPEN_SCRIPT:
        r.reason = source.readable ? "the script cannot be read" : "there is no such file, or it cannot be read";
        break;
    case IDD_MISSING_KEY: r = MissingKey(scan, section, KeyNames[State.CurrentKey]); break;
    case IDD_BAD_LINE: {
        std::string line = State.MessageArg;
        size_t equals = line.find('=');
        std::string key = line.substr(0, equals), value = equals == std::string::npos ? "" : line.substr(equals + 1);
        // The message cuts a long line; the script has it whole.
        const ScanKey* k = FaultyKey(scan, section, line);
        if (k) {
            key = k->name;
            value = k->value.substr(0, PathSize - 1);
        }
        r.line = k ? k->line : scan.LineOf(section, key);
        r.reason = BadValue(section, key, value);
        break;
    }
    case IDD_TOO_MANY_DISKS:
        r.line = scan.LineOf("Basic Information", KeyNames[KeyTotalDisks]);
        r.reason = "an installation has at most 32 disks";
        break;
    case IDD_WINDOWS_TOO_OLD: {
        r.line = scan.LineOf("Basic Information", KeyNames[KeyWindowsVersion]);
        char text[160];
        std::snprintf(text, sizeof text,
                      "WindowsVersion asks for Windows %d.%d; this check was for Windows %d.%d (--windows checks "
                      "another version)",
                      (int)State.RequiredWinMajor, (int)State.RequiredWinMinor, (int)State.OsMajor,
                      (int)State.OsMinor);
        r.reason = text;
        break;
    }
    case IDD_OUT_OF_MEMORY: r = OutOfMemory(scan, section); break;
    }
    return r;
}

} // namespace lint
