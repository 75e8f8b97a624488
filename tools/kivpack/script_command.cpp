// kivpack script: an install script for a directory tree, as the CPack route
// of the CMake package makes one from the staged installation.
#include <cstdio>
#include <string>
#include <vector>
#include "tools/kivpack/commands.h"
#include "tools/kivpack/help/help_file.h"
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/tree_script.h"

namespace {

const char Usage[] =
    "usage: kivpack script DIR --name NAME [--version VERSION] [--directory DIR]\n"
    "                      [--program FILE=LABEL]... [--readme FILE] [--license FILE]\n"
    "\n"
    "Writes DIR/KIVSETUP.INI, an install script that installs every file and\n"
    "folder below DIR into the target directory (C:\\Program Files\\ and\n"
    "--directory, default NAME; a directory with a drive letter as it is), with\n"
    "the uninstaller and an uninstall entry, and its help file DIR/KIVSETUP.HLP,\n"
    "whose readme topic holds the --readme and --license texts. Each --program\n"
    "(a file below DIR) becomes an item of the product's group; the first is\n"
    "offered to start at the end. Files go into as many disk sections as their\n"
    "key names need. 'kivpack build DIR/KIVSETUP.INI' then packs the product.\n"
    "A name the installer cannot install (more than 255 characters, one Windows\n"
    "refuses, two that differ only in letter case) is an error, and nothing is\n"
    "written.\n";

const char ScriptName[] = "KIVSETUP.INI";

// Every file and folder below `folder` ('/'-separated paths from the top).
bool Walk(const std::string& top, const std::string& relative, std::vector<TreeEntry>& out, std::string& error)
{
    std::vector<kivpack::os::DirectoryEntry> entries;
    std::string folder = relative.empty() ? top : kivpack::os::JoinPath(top, relative);
    if (!kivpack::os::ListDirectory(folder, entries, error)) return false;
    for (const kivpack::os::DirectoryEntry& e : entries) {
        TreeEntry entry;
        entry.path = relative.empty() ? e.name : relative + "/" + e.name;
        if (e.status.directory && e.status.link) {
            error = kivpack::os::JoinPath(folder, e.name) + ": a link to a folder cannot be installed";
            return false;
        }
        if (!e.status.directory && !e.status.regular) {
            error = kivpack::os::JoinPath(folder, e.name) + ": not a file or a folder";
            return false;
        }
        entry.directory = e.status.directory;
        entry.size = e.status.size;
        out.push_back(entry);
        if (entry.directory && !Walk(top, entry.path, out, error)) return false;
    }
    return true;
}

bool ReadText(const std::string& path, std::string& text, std::string& error)
{
    std::vector<uint8_t> bytes;
    if (path.empty()) return true;
    if (!kivpack::os::ReadWholeFile(path, bytes, error)) return false;
    text.assign(bytes.begin(), bytes.end());
    return true;
}

} // namespace

int RunScript(int argc, char** argv)
{
    std::string dir, readme, license;
    ProductFacts facts;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        }
        bool valued = a == "--name" || a == "--version" || a == "--directory" || a == "--program" ||
                      a == "--readme" || a == "--license";
        if (valued && i + 1 < argc) {
            std::string v = argv[++i];
            if (a == "--program") {
                size_t eq = v.find('=');
                if (eq == std::string::npos || eq == 0) {
                    std::fprintf(stderr, "kivpack script: --program '%s' is not FILE=LABEL\n%s", v.c_str(), Usage);
                    return 2;
                }
                facts.programs.push_back({v.substr(0, eq), v.substr(eq + 1)});
            } else {
                (a == "--name" ? facts.name : a == "--version" ? facts.version : a == "--directory" ? facts.directory
                 : a == "--readme" ? readme : license) = v;
            }
        } else if (a[0] == '-' || !dir.empty()) {
            std::fputs(Usage, stderr);
            return 2;
        } else {
            dir = a;
        }
    }
    if (dir.empty() || facts.name.empty()) {
        std::fputs(Usage, stderr);
        return 2;
    }
    std::string error;
    std::vector<TreeEntry> entries;
    if (!Walk(dir, "", entries, error)) return CommandFailed("kivpack script: " + error);
    for (const TreeEntry& e : entries)
        if (e.path.find('/') == std::string::npos && (kivpack::os::BaseName(e.path) == ScriptName ||
                                                      e.path == TreeHelpFileName))
            return CommandFailed("kivpack script: " + dir + " holds " + e.path + " already, the name of what it would write");
    TreeScript made;
    if (!ReadText(readme, facts.readme, error) || !ReadText(license, facts.license, error) ||
        !MakeTreeScript(entries, facts, made, error))
        return CommandFailed("kivpack script: " + error);
    std::vector<uint8_t> help;
    std::vector<std::string> errors;
    if (!kivpack::help::CompileHelpSource(made.helpSource, "help source", help, errors))
        return CommandFailed("kivpack script: the help file: " + (errors.empty() ? std::string() : errors[0]));
    std::string scriptPath = kivpack::os::JoinPath(dir, ScriptName);
    if (!kivpack::os::WriteWholeFile(kivpack::os::JoinPath(dir, TreeHelpFileName), help.data(), help.size(), error) ||
        !kivpack::os::WriteWholeFile(scriptPath, made.script.data(), made.script.size(), error))
        return CommandFailed(error);
    std::printf("%s: %u files on %u disk sections\n", scriptPath.c_str(), made.files, made.disks);
    return 0;
}
