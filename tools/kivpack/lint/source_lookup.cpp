#include "tools/kivpack/lint/source_lookup.h"
#include <map>
#include "tools/kivpack/lint/script_lint.h"
#include "tools/kivpack/os/os.h"

namespace lint {
namespace {

struct FolderEntry {
    std::string name;
    bool directory;
};

// The files and folders of a folder, read once per run.
const std::vector<FolderEntry>& FolderEntries(const std::string& folder)
{
    static std::map<std::string, std::vector<FolderEntry>> cache;
    auto found = cache.find(folder);
    if (found != cache.end()) return found->second;
    std::vector<FolderEntry>& list = cache[folder];
    std::vector<kivpack::os::DirectoryEntry> entries;
    std::string error;
    if (kivpack::os::ListDirectory(folder, entries, error))
        for (const kivpack::os::DirectoryEntry& e : entries)
            if (e.status.regular || e.status.directory) list.push_back({e.name, e.status.directory});
    return list;
}

// The names of `name` split at its backslashes: a path below a folder, as a
// source name may give one. Empty when a part is empty, "." or "..".
std::vector<std::string> PathParts(const std::string& name)
{
    std::vector<std::string> parts(1);
    for (char c : name)
        if (c == '\\')
            parts.emplace_back();
        else
            parts.back() += c;
    for (const std::string& p : parts)
        if (p.empty() || p == "." || p == "..") return {};
    return parts;
}

std::string List(const std::vector<std::string>& folders)
{
    std::string text;
    for (size_t i = 0; i < folders.size(); ++i)
        text += (i == 0 ? "" : i + 1 == folders.size() ? " and " : ", ") + folders[i];
    return text;
}

} // namespace

std::vector<std::string> SourceFolders(const std::string& scriptDir, unsigned disk)
{
    std::vector<std::string> folders;
    if (disk) folders.push_back(scriptDir + "DISK" + std::to_string(disk) + "/");
    folders.push_back(scriptDir);
    return folders;
}

SourceLookup LocateSource(const std::vector<std::string>& folders, const std::string& name)
{
    SourceLookup result;
    std::vector<std::string> parts = PathParts(name);
    if (parts.empty() || name.find('/') != std::string::npos) {
        result.problem = "the source name '" + name + "' is not a plain file name";
        return result;
    }
    std::vector<std::string> all;
    for (const std::string& top : folders) {
        // Each part is found in the folder the parts before it lead to; all
        // but the last are folders.
        std::string folder = top;
        for (size_t i = 0; i < parts.size(); ++i) {
            bool last = i + 1 == parts.size();
            std::vector<std::string> matches;
            for (const FolderEntry& e : FolderEntries(folder)) {
                if (e.directory != !last) continue;
                if (SameName(e.name, parts[i])) matches.push_back(e.name);
                if (last) all.push_back(e.name);
            }
            if (matches.size() > 1) {
                result.problem = "'" + matches[0] + "' and '" + matches[1] + "' in " + folder +
                                 " differ only in letter case, which Windows cannot tell apart; keep one of them";
                return result;
            }
            if (matches.empty()) break;
            folder += matches[0] + (last ? "" : "/");
            if (last) {
                result.path = folder;
                return result;
            }
        }
    }
    result.problem = "the source file '" + name + "' is in none of the folders searched: " + List(folders);
    std::string hint = DidYouMean(parts.back(), all);
    if (!hint.empty()) result.problem += "; " + hint;
    return result;
}

std::string SourceProblem(const std::string& scriptPath, const std::string& section, const std::string& key,
                          const std::string& line, const std::string& name, const std::string& scriptDir,
                          unsigned disk)
{
    unsigned at = CurrentScript().scan.LineOf(section, key);
    SourceLookup lookup = LocateSource(SourceFolders(scriptDir, disk), name);
    return scriptPath + (at ? ":" + std::to_string(at) : std::string()) + ": [" + section + "] " + line + ": " +
           (lookup.problem.empty() ? "the source cannot be used" : lookup.problem);
}

} // namespace lint
