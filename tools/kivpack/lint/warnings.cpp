// Warnings: what the installer reads past, leaves out or cuts without a word;
// the parts of warning_parts.h add what breaks an installation.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include "platform/platform.h"
#include "platform/text.h"
#include "script/keywords.h"
#include "tools/kivpack/lint/script_lint.h"
#include "tools/kivpack/lint/warning_parts.h"
#include "tools/kivpack/script_reader.h"

namespace lint {
namespace {

// The keys of [Basic Information] with the size of the buffer each is read
// into (0: read as an integer).
struct SizedKey {
    const char* name;
    unsigned size;
};
const SizedKey BasicKeys[] = {
    {"HelpFileName", 260},  {"Caption", 64},          {"ViewButtonText", 32}, {"Product.INI", 260},
    {"OldProduct.INI", 260}, {"ProductVersion", 64},  {"VersionToPatch", 64}, {"ProductName", 64},
    {"OldProductName", 64}, {"OldProductVersion", 64}, {"UninstallName", 64}, {"WindowsVersion", 260},
    {"FontsOnly", 0},       {"DefaultTargetDir", 260}, {"TotalDisks", 0},     {"DiskSpace", 260},
    {"EGADiskSpace", 260},  {"VGADiskSpace", 260},    {"8514DiskSpace", 260},
};
const SizedKey RunKeys[] = {
    {"Win31File", 260}, {"Win95File", 260}, {"WinNTFile", 260}, {"File", 260},
    {"Buttons", 260},   {"Message", 256},   {"Name", 64},
};

struct Collector {
    std::vector<Warning> list;
    void Add(unsigned line, const std::string& text) { list.push_back(Warning{line, text}); }
};

std::string Upper(std::string s)
{
    for (char& c : s) c = CharUpper(c);
    return s;
}

std::string BaseName(const std::string& path)
{
    size_t slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A plain file name: no blank, and a dot followed by one to three letters or digits.
bool LooksLikeFileName(const std::string& s)
{
    size_t dot = s.rfind('.');
    if (s.find(' ') != std::string::npos || dot == std::string::npos || dot == 0 || s.size() - dot < 2 ||
        s.size() - dot > 4)
        return false;
    for (size_t i = dot + 1; i < s.size(); ++i)
        if (!std::isalnum((unsigned char)s[i])) return false;
    return true;
}

// Words after the first field of a value (`from` = 1) or after the first two
// (disk file lines) that match none of `words`: the installer ignores them.
void CheckWords(Collector& out, const ScanKey& k, size_t from, const char* const* words, size_t count,
                const std::string& what)
{
    std::vector<std::string> known(words, words + count);
    size_t field = 0, start = 0;
    for (;;) {
        size_t comma = k.value.find(',', start);
        std::string word = k.value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (field >= from && !word.empty()) {
            bool matched = false;
            for (const std::string& w : known) matched = matched || SameName(w, word);
            if (!matched) {
                std::string hint = DidYouMean(word, known);
                out.Add(k.line, "the " + what + " '" + word + "' is not one the installer knows, and is ignored" +
                                    (hint.empty() ? "" : "; " + hint));
            }
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
        ++field;
    }
}

bool Readable(const ScanKey& k) { return k.hasValue && !k.shadowed && !k.name.empty() && k.name[0] != ';'; }

// Lines without '=' and later keys of a name already given.
void CheckLines(Collector& out, const ScanSection& s)
{
    for (const ScanKey& k : s.keys) {
        if (!k.name.empty() && k.name[0] == ';') continue;
        if (!k.hasValue)
            out.Add(k.line, "the line '" + k.name + "' in [" + s.name + "] has no '=' and is never read");
        else if (k.shadowed)
            out.Add(k.line, "a second '" + k.name + "=' line in [" + s.name + "] is never read; the first one counts");
    }
}

void CheckSized(Collector& out, const ScanSection& s, const SizedKey* keys, size_t count)
{
    std::vector<std::string> names;
    for (size_t i = 0; i < count; ++i) names.push_back(keys[i].name);
    for (const ScanKey& k : s.keys) {
        if (!Readable(k)) continue;
        const SizedKey* known = nullptr;
        for (size_t i = 0; i < count; ++i)
            if (SameName(k.name, keys[i].name)) known = &keys[i];
        if (!known) {
            std::string hint = DidYouMean(k.name, names);
            out.Add(k.line, "the key '" + k.name + "' of [" + s.name + "] is never read" + (hint.empty() ? "" : "; " + hint));
        } else if (known->size && k.value.size() >= known->size) {
            out.Add(k.line, std::string(known->name) + " is " + std::to_string(k.value.size()) +
                                " characters; the installer keeps the first " + std::to_string(known->size - 1));
        }
    }
}

// Keys "File1", "File2", ...: read in number order up to the first missing
// or empty one, at most 32.
void CheckNumbered(Collector& out, const ScanSection& s, const std::string& stem)
{
    unsigned readUpTo = 0;
    const ScriptScan& scan = CurrentScript().scan;
    while (readUpTo < 32) {
        const ScanKey* k = scan.FindKey(s.name, stem + std::to_string(readUpTo + 1));
        if (!k || !k->hasValue || k->value.empty()) break;
        ++readUpTo;
    }
    for (const ScanKey& k : s.keys) {
        if (!Readable(k)) continue;
        unsigned n = 0;
        bool numbered = k.name.size() > stem.size() && SameName(k.name.substr(0, stem.size()), stem) &&
                        k.name[stem.size()] != '0' &&
                        k.name.find_first_not_of("0123456789", stem.size()) == std::string::npos;
        if (numbered) n = (unsigned)std::stoul(k.name.substr(stem.size(), 9));
        if (!numbered) {
            std::string hint = DidYouMean(k.name, {stem + std::to_string(readUpTo + 1)});
            out.Add(k.line, "the key '" + k.name + "' of [" + s.name + "] is never read; keys here are " + stem +
                                "1, " + stem + "2, ..." + (hint.empty() ? "" : "; " + hint));
        } else if (n > readUpTo) {
            out.Add(k.line, k.name + " is never read: " +
                                (readUpTo == 32 ? std::string("the list holds at most 32")
                                                : "the list ends before " + stem + std::to_string(readUpTo + 1) +
                                                      ", which is missing or empty"));
        }
    }
}

// A section that the installer reads through its list of key names: the
// list is read into 4,096 bytes, each name with its zero, as the profile
// reader fills a list, so a name that no longer fits whole, and every one
// after it, is never read; an empty name reads as the list's end.
void CheckKeyList(Collector& out, const ScanSection& s)
{
    unsigned room = 4096;
    for (const ScanKey& k : s.keys) {
        if (!k.hasValue || (!k.name.empty() && k.name[0] == ';')) continue;
        if (k.name.empty()) {
            out.Add(k.line, "this line has no name before its '=', which ends the list of [" + s.name +
                                "]: the lines after it are never read");
            return;
        }
        if (room <= 2 || k.name.size() > room - 2) {
            out.Add(k.line, "the key names of [" + s.name + "] overflow the 4,096 bytes the installer reads them "
                            "into: this line and the ones after it are never read");
            return;
        }
        room -= (unsigned)k.name.size() + 1;
    }
}

// Keys of [Basic Information] and [Run] that stand in the script but are
// read past because of the value of another key.
void CheckSkippedKeys(Collector& out, const ScriptScan& scan)
{
    const std::string basic = "Basic Information";
    auto given = [&](const std::string& section, const char* key) { return scan.FindGiven(section, key); };
    if (const ScanKey* k = given(basic, "WindowsVersion")) {
        size_t point = k->value.find('.');
        if (point == std::string::npos)
            out.Add(k->line, "WindowsVersion=" + k->value + " has no point, so it asks for no version; write it as "
                             "MAJOR.MINOR, such as 4.0");
        else if (TextToLong(k->value.substr(0, point).c_str()) < 3)
            out.Add(k->line, "WindowsVersion=" + k->value + " asks for a version before 3, which the installer "
                             "does not check");
    }
    const ScanKey* fontsOnly = given(basic, "FontsOnly");
    if (fontsOnly && ProfileReadInt(basic.c_str(), "FontsOnly", 0, CurrentScript().loaderPath.c_str()))
        if (const ScanKey* k = given(basic, "DefaultTargetDir"))
            out.Add(k->line, "DefaultTargetDir is never read: FontsOnly (line " + std::to_string(fontsOnly->line) +
                                 ") makes this a fonts-only installation");
    if (const ScanKey* space = given(basic, "DiskSpace"))
        for (const char* key : {"EGADiskSpace", "VGADiskSpace", "8514DiskSpace"})
            if (const ScanKey* k = given(basic, key))
                out.Add(k->line, std::string(key) + " is never read: DiskSpace (line " + std::to_string(space->line) +
                                     ") is given for every display");
    if (!given("Run", "File") && !given("Run", "Win31File") && !given("Run", "Win95File") && !given("Run", "WinNTFile"))
        for (const char* key : {"Buttons", "Message", "Name"})
            if (const ScanKey* k = given("Run", key))
                out.Add(k->line, std::string(key) + " is never read: [Run] names no program to start");
}

// File lines in the order the installer copies them ([Disk 1] first): an
// Append line needs its destination in place, so a line that creates that
// destination only later makes the installation fail.
void CheckAppendOrder(Collector& out, const ScriptScan& scan, unsigned totalDisks)
{
    struct Copy {
        const ScanKey* line;
        std::string destination;  // keyword and name, upper case
        bool append;
    };
    std::vector<Copy> copies;
    for (unsigned d = 1; d <= totalDisks; ++d) {
        const ScanSection* s = scan.Find("Disk " + std::to_string(d));
        if (!s) continue;
        for (const ScanKey& k : s->keys) {
            if (!Readable(k) || SameName(k.name, "DiskName")) continue;
            std::string destination = k.value.substr(0, k.value.find(','));
            if (destination.find('\\') == std::string::npos) destination += "\\" + k.name;
            bool append = false;
            size_t comma = k.value.find(',');
            for (size_t field = 0; comma != std::string::npos; ++field) {
                size_t next = k.value.find(',', comma + 1);
                std::string word = k.value.substr(comma + 1, next == std::string::npos ? next : next - comma - 1);
                append = append || (field > 0 && SameName(word, "Append"));
                comma = next;
            }
            copies.push_back(Copy{&k, Upper(destination), append});
        }
    }
    for (size_t i = 0; i < copies.size(); ++i) {
        if (!copies[i].append) continue;
        bool before = false;
        for (size_t j = 0; j < i && !before; ++j) before = copies[j].destination == copies[i].destination;
        for (size_t j = i + 1; j < copies.size() && !before; ++j)
            if (copies[j].destination == copies[i].destination && !copies[j].append) {
                out.Add(copies[i].line->line, "this Append line comes before the line that installs its destination "
                                              "(line " + std::to_string(copies[j].line->line) +
                                              "): the file is not there yet when it is appended to");
                break;
            }
    }
}

void CheckCount(Collector& out, const std::vector<const ScanKey*>& rows, size_t most, const std::string& what)
{
    for (size_t i = most; i < rows.size(); ++i)
        out.Add(rows[i]->line, "this " + what + " is ignored: the installer takes at most " + std::to_string(most));
}

} // namespace

std::vector<Warning> ScriptWarnings(const ScriptTarget& target, bool withFiles, const PayloadPlan* given)
{
    const ScriptSource& source = CurrentScript();
    const ScriptScan& scan = source.scan;
    Collector out;
    if (source.conversion.droppedMark)
        out.Add(1, "the script begins with a UTF-8 byte-order mark; it is dropped where the script is packed (the "
                   "installer would take it as part of the first line)");

    unsigned totalDisks = std::min(ProfileReadInt("Basic Information", "TotalDisks", 0, source.loaderPath.c_str()), 32u);
    static const char* const Displays[] = {"EGA", "VGA", "8514"};
    std::vector<std::string> known = {"Basic Information", "fonts", "EGA Fonts", "VGA Fonts", "8514 Fonts",
                                      "Exit List", "Delete List", "Target Subdirectories", "Program Manager Group",
                                      "Old Program Manager Groups", "Run"};
    for (unsigned d = 1; d <= std::max(totalDisks, 1u); ++d) known.push_back("Disk " + std::to_string(d));

    // What the disk sections install, by file name, for [Run], the group and the fonts.
    std::set<std::string> installed;
    bool anyRead = false;
    for (const ScanSection& s : scan.sections) {
        if (s.name.empty()) {
            for (const ScanKey& k : s.keys)
                if (k.name.empty() || k.name[0] != ';')
                    out.Add(k.line, "this line stands before the first section and is never read");
            continue;
        }
        if (s.shadowed) {
            out.Add(s.line, "a second [" + s.name + "] section is never read; the first one (line " +
                                std::to_string(scan.Find(s.name)->line) + ") counts");
            continue;
        }
        unsigned disk = 0;
        if (s.name.size() > 5 && SameName(s.name.substr(0, 5), "Disk ") && s.name[5] != '0' &&
            s.name.find_first_not_of("0123456789", 5) == std::string::npos)
            disk = (unsigned)std::stoul(s.name.substr(5, 9));
        bool isKnown = false;
        for (const std::string& k : known) isKnown = isKnown || SameName(k, s.name);
        if (disk > totalDisks && totalDisks) {
            size_t files = 0;
            for (const ScanKey& k : s.keys) files += Readable(k) && !SameName(k.name, "DiskName");
            out.Add(s.line, "[" + s.name + "] lies beyond TotalDisks=" + std::to_string(totalDisks) + ": its " +
                                std::to_string(files) + (files == 1 ? " file is" : " files are") + " never installed");
            continue;
        }
        if (!isKnown) {
            std::string near = NearestName(s.name, known);
            std::string hint = near.empty() ? "" : "did you mean [" + near + "]?";
            std::string text = "the section [" + s.name + "] is never read by the installer";
            if (SameName(s.name, "Settings")) text += " ([Settings] belongs to the product's settings file)";
            out.Add(s.line, text + (hint.empty() ? "" : "; " + hint));
            continue;
        }
        anyRead = true;
        CheckLines(out, s);
        if (disk || SameName(s.name, "fonts") || SameName(s.name, "Exit List") ||
            SameName(s.name, "Program Manager Group") || SameName(s.name, "Old Program Manager Groups") ||
            (s.name.size() > 6 && SameName(s.name.substr(s.name.size() - 6), " Fonts")))
            CheckKeyList(out, s);
        if (disk)
            for (const ScanKey& k : s.keys) {
                if (!Readable(k) || SameName(k.name, "DiskName")) continue;
                if (k.value.size() >= 260)
                    out.Add(k.line, "the line's value is " + std::to_string(k.value.size()) +
                                        " characters; the installer keeps the first 259");
                CheckWords(out, k, 2, FlagKeywords, 6, "flag");
                std::string destination = k.value.substr(0, k.value.find(','));
                size_t slash = destination.find('\\');
                installed.insert(Upper(BaseName(slash == std::string::npos ? k.name : destination.substr(slash + 1))));
            }
    }
    if (!anyRead) out.Add(1, "the script has no section that the installer reads");
    CheckSkippedKeys(out, scan);
    CheckAppendOrder(out, scan, totalDisks);

    auto notInstalled = [&](const ScanKey& k, const std::string& file, const std::string& what) {
        if (!file.empty() && !installed.count(Upper(BaseName(file))))
            out.Add(k.line, what + " '" + file + "' is installed by no file line of the disk sections");
    };
    std::vector<const ScanKey*> fonts;
    for (const ScanSection& s : scan.sections) {
        if (s.name.empty() || s.shadowed) continue;
        std::vector<const ScanKey*> rows;
        for (const ScanKey& k : s.keys)
            if (Readable(k)) rows.push_back(&k);
        if (SameName(s.name, "Basic Information")) {
            CheckSized(out, s, BasicKeys, sizeof BasicKeys / sizeof BasicKeys[0]);
        } else if (SameName(s.name, "Run")) {
            CheckSized(out, s, RunKeys, sizeof RunKeys / sizeof RunKeys[0]);
        } else if (SameName(s.name, "Delete List")) {
            CheckNumbered(out, s, "File");
        } else if (SameName(s.name, "Target Subdirectories")) {
            CheckNumbered(out, s, "Subdirectory");
        } else if (SameName(s.name, "Program Manager Group")) {
            const ScanKey* group = scan.FindKey(s.name, "GroupName");
            std::vector<const ScanKey*> items;
            for (const ScanKey* k : rows)
                if (!SameName(k->name, "GroupName") && !k->value.empty()) items.push_back(k);
            if (!group || group->value.empty()) {
                if (!items.empty())
                    out.Add(s.line, "[" + s.name + "] has no GroupName, so no group and none of its " +
                                        std::to_string(items.size()) + " items are made");
                continue;
            }
            if (group->value.size() >= 64)
                out.Add(group->line, "GroupName is " + std::to_string(group->value.size()) +
                                         " characters; the installer keeps the first 63");
            for (const ScanKey* k : items) {
                notInstalled(*k, k->name, "the group item");
                CheckWords(out, *k, 1, PlatformKeywords, 3, "platform word");
            }
            CheckCount(out, items, 32, "group item");
        } else if (SameName(s.name, "fonts") || SameName(s.name, std::string(Displays[target.displayClass]) + " Fonts")) {
            for (const ScanKey* k : rows) {
                if (k->value.empty()) continue;
                fonts.push_back(k);
                if (LooksLikeFileName(k->name) && !LooksLikeFileName(k->value)) {
                    out.Add(k->line, "this font line looks reversed: the key is the font's name and the value its "
                                     "file; did you mean " + k->value + "=" + k->name + "?");
                    notInstalled(*k, k->name, "the font file");
                } else {
                    notInstalled(*k, k->value, "the font file");
                }
            }
        } else if (SameName(s.name, "Exit List")) {
            CheckCount(out, rows, 32, "exit-list line");
        } else if (SameName(s.name, "Old Program Manager Groups")) {
            CheckCount(out, rows, 8, "old group");
        }
    }
    CheckCount(out, fonts, 32, "font");
    PayloadPlan plan = given ? *given : CurrentPlan();
    AddDiskSpaceWarnings(out.list, plan, withFiles);
    AddDamageWarnings(out.list, plan);
    std::stable_sort(out.list.begin(), out.list.end(),
                     [](const Warning& a, const Warning& b) { return a.line < b.line; });
    return out.list;
}

unsigned ReportWarnings(const ScriptTarget& target, bool withFiles, const PayloadPlan* plan)
{
    const ScriptSource& source = CurrentScript();
    if (!source.readable) return 0;
    if (source.conversion.encoding == SourceEncoding::Utf8)
        std::printf("%s: %s text, packed as code page 1252\n", source.path.c_str(),
                    EncodingName(source.conversion.encoding));
    std::vector<Warning> warnings = ScriptWarnings(target, withFiles, plan);
    for (const Warning& w : warnings)
        std::fprintf(stderr, "%s:%u: warning: %s\n", source.path.c_str(), w.line, TextForTerminal(w.text).c_str());
    return (unsigned)warnings.size();
}

} // namespace lint
