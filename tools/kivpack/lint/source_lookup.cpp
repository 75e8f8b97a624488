#include "tools/kivpack/lint/source_lookup.h"
#include <dirent.h>
#include <map>
#include <sys/stat.h>
#include "tools/kivpack/lint/script_lint.h"

namespace lint {
namespace {

// The regular files of a folder, read once per run.
const std::vector<std::string>& FolderFiles(const std::string& folder)
{
    static std::map<std::string, std::vector<std::string>> cache;
    auto found = cache.find(folder);
    if (found != cache.end()) return found->second;
    std::vector<std::string>& files = cache[folder];
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            struct stat st;
            std::string name = entry->d_name;
            if (stat((folder + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) files.push_back(name);
        }
        closedir(dir);
    }
    return files;
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
    if (name.empty() || name.find('/') != std::string::npos) {
        result.problem = "the source name '" + name + "' is not a plain file name";
        return result;
    }
    std::vector<std::string> all;
    for (const std::string& folder : folders) {
        std::vector<std::string> matches;
        for (const std::string& file : FolderFiles(folder)) {
            if (SameName(file, name)) matches.push_back(file);
            all.push_back(file);
        }
        if (matches.size() > 1) {
            result.problem = "'" + matches[0] + "' and '" + matches[1] + "' in " + folder +
                             " differ only in letter case, which Windows cannot tell apart; keep one of them";
            return result;
        }
        if (matches.size() == 1) {
            result.path = folder + matches[0];
            return result;
        }
    }
    result.problem = "the source file '" + name + "' is in none of the folders searched: " + List(folders);
    std::string hint = DidYouMean(name, all);
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
