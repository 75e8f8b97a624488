// Finding a product's source files as Windows would find them on a disk:
// without regard to the letter case of their names.
#pragma once
#include <string>
#include <vector>

namespace lint {

struct SourceLookup {
    std::string path;     // the file found; empty when none
    std::string problem;  // why none was taken, naming every folder searched
};

// Looks for `name` in each of `folders` (each ending in '/') in turn. A name
// may hold backslashes: a path below the folder ("BIN\\APP.EXE"), each part
// found as Windows would find it; "." and ".." parts are refused. A name that
// matches two files of one folder, differing only in case, is a problem, not
// a guess.
SourceLookup LocateSource(const std::vector<std::string>& folders, const std::string& name);

// The folders searched for a file of disk `disk` (0: the help file) of the
// script in `scriptDir`: DISKn/ beside the script, then the script's own.
std::vector<std::string> SourceFolders(const std::string& scriptDir, unsigned disk);

// "SCRIPT:LINE: [Section] KEY=VALUE: problem" for the source `name` of the
// script's line `key` in `section`, which LocateSource did not find.
std::string SourceProblem(const std::string& scriptPath, const std::string& section, const std::string& key,
                          const std::string& line, const std::string& name, const std::string& scriptDir,
                          unsigned disk);

} // namespace lint
