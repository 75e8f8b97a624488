// What the installer does with the names a script gives it, as kivpack
// checks it: where a name below a directory lands, which groups and files
// belong to Windows and every other program. Pure text rules, no file
// system.
#pragma once
#include <string>
#include <vector>

namespace lint {

// A name below a directory as Windows resolves it: split at '\' and '/',
// empty and "." parts dropped, trailing blanks and dots of a part dropped,
// ".." one level up. A part of only dots counts one level up for each dot
// after the first (Windows 95 reads "..." as "..\.."), the reading that
// climbs furthest.
struct ResolvedName {
    bool climbsOut = false;          // some prefix lies above the directory
    bool goesUp = false;             // some part leads up, whether or not out
    std::vector<std::string> parts;  // what is left below it, in the script's spelling
};
ResolvedName ResolveBelow(const std::string& name);

// Whether two resolved names are the same path for Windows (letter case aside).
bool SamePath(const std::vector<std::string>& a, const std::vector<std::string>& b);

// The group of the system's own, or of every program's, that `group` names
// (StartUp, Accessories, Main, Games, Administrative Tools, ...), in its
// usual spelling; empty when it is none of them.
std::string SharedGroup(const std::string& group);

// The file of the system that `file` names (WIN.INI, SYSTEM.INI, ...), by its
// last part; empty when it is none of them.
std::string SystemFile(const std::string& file);

} // namespace lint
