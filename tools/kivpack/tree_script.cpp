#include "tools/kivpack/tree_script.h"
#include <algorithm>
#include <map>
#include "tools/kivpack/help/help_file.h"
#include "tools/kivpack/text_encoding.h"

const char TreeHelpFileName[] = "KIVSETUP.HLP";

namespace {

const unsigned MaxName = 255;      // an interned name of the installer's tables
const unsigned MaxText = 63;       // captions, names and versions
const unsigned MaxSubdirs = 32;
const unsigned MaxDisks = 32;
const unsigned KeyListRoom = 4096;
const std::uint64_t MaxSpace = 0x7FFFFFFF;  // DiskSpace is a signed 32-bit number

std::string Backslashed(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return text;
}

// Why Windows or the script cannot hold the name `part` of a path; empty
// when they can. Names are ASCII: kivpack finds a source by comparing the
// script's code page 1252 name with the file system's, byte for byte.
std::string NameProblem(const std::string& part, bool first)
{
    for (unsigned char c : part) {
        if (c < 0x20 || c >= 0x7F) return "it holds a character other than printable ASCII";
        if (std::string("<>:\"/\\|?*").find((char)c) != std::string::npos)
            return std::string("Windows does not allow '") + (char)c + "' in a name";
        if (c == '=') return "'=' would end the script's key";
    }
    if (part.back() == ' ' || part.back() == '.') return "Windows drops a space or a point at the end of a name";
    if (part[0] == ' ') return "the script drops a space at the start of a name";
    if (first && (part[0] == ';' || (part[0] == '[' && part.find(']') != std::string::npos)))
        return "a script line that starts so is a comment or a section";
    std::string stem = Upper(part.substr(0, part.find('.')));
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CLOCK$"};
    for (const char* d : devices)
        if (stem == d) return "Windows keeps the name " + stem + " for a device";
    if (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '1' &&
        stem[3] <= '9')
        return "Windows keeps the name " + stem + " for a device";
    return "";
}

// Every part of `path` checked, then the path as a whole (names of the
// installer's tables hold 255 characters).
bool CheckPath(const std::string& path, std::string& error)
{
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        std::string part = path.substr(start, i - start);
        std::string problem = part.empty() ? "an empty name" : NameProblem(part, start == 0);
        if (!problem.empty()) {
            error = "'" + path + "' cannot be installed: " + problem;
            return false;
        }
        start = i + 1;
    }
    if (path.size() > MaxName) {
        error = "'" + path + "' cannot be installed: its name below the target directory has " +
                std::to_string(path.size()) + " characters, and the installer holds at most " +
                std::to_string(MaxName);
        return false;
    }
    return true;
}

// A text of the script: code page 1252, within `limit` characters.
bool ScriptText(const std::string& what, const std::string& utf8, unsigned limit, std::string& ansi,
                std::string& error)
{
    TextConversion info;
    if (!ConvertToAnsi(std::vector<uint8_t>(utf8.begin(), utf8.end()), ansi, info) ||
        ansi.find_first_of("\r\n") != std::string::npos) {
        error = what + " '" + utf8 + "' cannot be written into the script (one line of code page 1252)";
        return false;
    }
    if (ansi.size() > limit) {
        error = what + " '" + utf8 + "' is longer than the " + std::to_string(limit) +
                " characters the installer keeps";
        return false;
    }
    return true;
}

// Help source text: the characters that mark text, escaped.
std::string HelpText(const std::string& ansi)
{
    std::string out;
    for (char c : ansi) {
        if (std::string("*[]\\#%").find(c) != std::string::npos) out += '\\';
        if (c != '\r') out += c;
    }
    return out;
}

// The help template with the product's name, no placeholder sentences, and
// the readme topic made of the readme and the licence.
bool MakeHelpSource(const ProductFacts& facts, const std::string& name, std::string& out, std::string& error)
{
    std::string readme;
    for (const std::string* text : {&facts.readme, &facts.license}) {
        if (text->empty()) continue;
        std::string ansi;
        TextConversion info;
        if (!ConvertToAnsi(std::vector<uint8_t>(text->begin(), text->end()), ansi, info)) {
            error = std::string(text == &facts.readme ? "the readme" : "the licence") + ": line " +
                    std::to_string(info.badLine) + ": " + info.problem;
            return false;
        }
        readme += (readme.empty() ? "" : "\n\n") + HelpText(ansi);
    }
    if (readme.empty()) readme = "This installs " + HelpText(name) + ".";
    std::string source = kivpack::help::HelpTemplateSource(), result;
    const std::string placeholder = "Replace this text with help for your product.";
    size_t at = 0;
    bool inReadme = false;
    while (at < source.size()) {
        size_t end = source.find('\n', at);
        std::string line = source.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? source.size() : end + 1;
        if (line.compare(0, 2, "% ") == 0) {
            result += "% " + HelpText(name) + " Setup Help\n";
        } else if (line.compare(0, 7, "# 3904 ") == 0) {
            result += "# 3904 About " + HelpText(name) + "\n\n" + readme + "\n";
            inReadme = true;
        } else if (line.compare(0, 2, "# ") == 0) {
            result += line + "\n";
            inReadme = false;
        } else if (!inReadme && line != placeholder) {
            result += line + "\n";
        }
    }
    out = result;
    return true;
}

} // namespace

bool MakeTreeScript(const std::vector<TreeEntry>& entries, const ProductFacts& facts, TreeScript& out,
                    std::string& error)
{
    std::vector<TreeEntry> sorted = entries;
    std::sort(sorted.begin(), sorted.end(), [](const TreeEntry& a, const TreeEntry& b) { return a.path < b.path; });
    // Two names of one folder that Windows cannot tell apart.
    std::map<std::string, std::string> folded;
    std::uint64_t space = 0;
    std::vector<std::string> files, folders;
    for (const TreeEntry& e : sorted) {
        if (!CheckPath(e.path, error)) return false;
        std::string key = Upper(e.path);
        auto seen = folded.emplace(key, e.path);
        if (!seen.second) {
            error = "'" + seen.first->second + "' and '" + e.path +
                    "' differ only in letter case, which Windows cannot tell apart";
            return false;
        }
        (e.directory ? folders : files).push_back(e.path);
        if (!e.directory) space += e.size;
    }
    if (space > MaxSpace) {
        error = "the files take " + std::to_string(space) + " bytes; one installer installs at most " +
                std::to_string(MaxSpace);
        return false;
    }
    // All folders, parents first (the sort puts "a" before "a/b"); when they
    // are more than the installer makes, those without subfolders, whose
    // creation makes their parents too.
    if (folders.size() > MaxSubdirs) {
        std::vector<std::string> leaves;
        for (size_t i = 0; i < folders.size(); ++i)
            if (i + 1 == folders.size() || folders[i + 1].compare(0, folders[i].size() + 1, folders[i] + "/") != 0)
                leaves.push_back(folders[i]);
        if (leaves.size() > MaxSubdirs) {
            error = "the tree has " + std::to_string(leaves.size()) +
                    " folders without subfolders; the installer creates at most " + std::to_string(MaxSubdirs);
            return false;
        }
        folders = leaves;
    }

    std::string name, version, caption, uninstallName, directory;
    if (!ScriptText("the product name", facts.name, MaxText, name, error) ||
        !ScriptText("the version", facts.version, MaxText, version, error) ||
        !ScriptText("the caption", facts.name + " Setup", MaxText, caption, error) ||
        !ScriptText("the uninstall name", facts.name + (facts.version.empty() ? "" : " " + facts.version), MaxText,
                    uninstallName, error) ||
        !ScriptText("the install directory", facts.directory.empty() ? facts.name : facts.directory, 259, directory,
                    error))
        return false;
    if (name.empty()) {
        error = "the product has no name";
        return false;
    }
    if (!(directory.size() >= 2 && directory[1] == ':')) directory = "C:\\Program Files\\" + directory;
    directory = Backslashed(directory);

    std::string s = "; Made by kivpack script: every file below the tree, into the target directory.\r\n";
    s += "[Basic Information]\r\n";
    s += std::string("HelpFileName=") + TreeHelpFileName + "\r\n";
    s += "Caption=" + caption + "\r\nProductName=" + name + "\r\n";
    if (!version.empty()) s += "ProductVersion=" + version + "\r\n";
    s += "DefaultTargetDir=" + directory + "\r\nUninstallName=" + uninstallName + "\r\n";

    std::string body;
    if (!folders.empty()) {
        body += "\r\n[Target Subdirectories]\r\n";
        for (size_t i = 0; i < folders.size(); ++i)
            body += "Subdirectory" + std::to_string(i + 1) + "=" + Backslashed(folders[i]) + "\r\n";
    }
    if (!facts.programs.empty()) {
        if (facts.programs.size() > 32) {
            error = "the group holds at most 32 programs";
            return false;
        }
        body += "\r\n[Program Manager Group]\r\nGroupName=" + name + "\r\n";
        std::string run, runLabel;
        for (const auto& p : facts.programs) {
            std::string wanted = Upper(p.first), label;
            std::replace(wanted.begin(), wanted.end(), '\\', '/');
            auto found = folded.find(wanted);
            if (found == folded.end() || std::find(files.begin(), files.end(), found->second) == files.end()) {
                error = "the program '" + p.first + "' is not a file of the tree";
                return false;
            }
            if (!ScriptText("the program's label", p.second, MaxName, label, error)) return false;
            body += Backslashed(found->second) + "=" + label + "\r\n";
            if (run.empty()) {
                run = Backslashed(found->second);
                runLabel = label.substr(0, MaxText);
            }
        }
        body += "\r\n[Run]\r\nFile=" + run + "\r\nButtons=Yes/No\r\nMessage=Do you want to start " + runLabel +
                " now?\r\nName=" + runLabel + "\r\n";
    }

    // The files in disk sections whose key lists fit the installer's 4,096
    // bytes, as the profile reader fills them; the uninstaller last.
    bool ownUninstaller = folded.count("UNINST.EXE") != 0;
    if (!ownUninstaller) files.push_back("UNINST.EXE");
    std::vector<std::string> disks;
    unsigned room = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        std::string key = Backslashed(files[i]);
        if (disks.empty() || key.size() + 2 > room) {
            if (disks.size() == MaxDisks) {
                error = "the key names of the tree's files fill more than " + std::to_string(MaxDisks) +
                        " disk sections of 4,096 bytes";
                return false;
            }
            disks.push_back("[Disk " + std::to_string(disks.size() + 1) + "]\r\nDiskName=" +
                            name.substr(0, MaxText - 7) + " Disk " + std::to_string(disks.size() + 1) + "\r\n");
            room = KeyListRoom - 9;  // "DiskName" and its zero
        }
        room -= (unsigned)key.size() + 1;
        disks.back() += key + (!ownUninstaller && i + 1 == files.size() ? "=Target,Uninstaller" : "=Target") + "\r\n";
    }
    s += "TotalDisks=" + std::to_string(disks.size()) + "\r\nDiskSpace=" + std::to_string(space ? space : 1) + "\r\n";
    s += body;
    for (const std::string& d : disks) s += "\r\n" + d;

    out = TreeScript();
    out.script = s;
    out.disks = (unsigned)disks.size();
    out.files = (unsigned)(files.size() - (ownUninstaller ? 0 : 1));
    return MakeHelpSource(facts, name, out.helpSource, error);
}
