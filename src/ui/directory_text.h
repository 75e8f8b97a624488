// Text rules and arithmetic of the directory dialogs. Every directory field
// ends in a backslash, so that a path is a plain concatenation. Buffers are
// 260 bytes.
#pragma once

// Appends a backslash unless the path already ends in one; an empty path
// becomes a single backslash. A full buffer is left as it is.
void EnsureTrailingBackslash(char* path);

// The System32 directory from the system directory as the system reports it
// (without trailing backslash): "32" is appended unless the name already ends
// in "32", as it does wherever the system directory is itself SYSTEM32.
void FormSystem32Directory(char* system32, const char* systemDir);
void SelectWindowsDrive();

// Removes trailing backslashes one at a time, but never the first character
// and never a backslash that follows a colon: C:\APPS\\ gives C:\APPS, while
// C:\ and a lone backslash stay as they are.
void RemoveTrailingBackslashes(char* path);

// A directory as a directory field or a working directory shows it: the
// copy loses one trailing backslash when it is longer than 3 characters, so
// that a drive root such as C:\ keeps its backslash. Cut to `size`.
void FormDirectoryFieldText(char* field, unsigned size, const char* directory);

// Free space in K from the counts the system reports for a drive: the free
// sectors are rounded to units of 1024 sectors before they are multiplied by
// the sector size, so 8 sectors a cluster, 100 free clusters and 512-byte
// sectors give 512, not 400. Computed without overflow; a drive with more
// than 0xFFFFFFFF K free gives 0xFFFFFFFF.
unsigned ComputeFreeKBytes(unsigned sectorsPerCluster, unsigned bytesPerSector, unsigned freeClusters);
// The need in K, rounded to the nearest K: (bytes + 512) >> 10.
unsigned NeededKBytes(int diskSpace);
// Nonzero when the need of `diskSpace` bytes exceeds `freeKBytes`.
int DiskSpaceIsShort(unsigned freeKBytes, int diskSpace);

// Comparison of version texts: <0, 0 or >0, as the platform's case-insensitive
// collation gives it (versions are compared as text, not as numbers).
typedef int (*VersionCompare)(const char* a, const char* b);

// The start dialog of an update: 2402 when `installedVersion` lies within
// `versionToPatch` and `productVersion`, bounds included, otherwise 2700.
// An empty installed version lies below any non-empty lower bound.
unsigned short ChooseUpgradeDialog(const char* installedVersion, const char* versionToPatch,
                                   const char* productVersion, VersionCompare compare);
// The product name that dialog 2401 gives the earlier copy: the new name
// when the installed version compares above the old product's version,
// otherwise the old name.
const char* EarlierCopyName(const char* installedVersion, const char* oldProductVersion,
                            const char* productName, const char* oldProductName, VersionCompare compare);

// How a [Run] value names the program to start and its arguments, as
// offsets into the value. A value that opens with a double quote names the
// program within the quotes (up to the closing quote or the end); otherwise,
// when the whole value holds a blank and `isFile` says that the target
// directory holds a file of that name (a program whose name has blanks), the
// whole value is the program; otherwise the program is the first word. The
// arguments are the rest, from the closing quote or the blank on.
struct RunFileParts {
    unsigned Program;    // where the program's name begins
    unsigned Length;     // its length
    unsigned Arguments;  // where the rest begins
};
typedef int (*TargetFileRule)(const char* name, void* context);
RunFileParts SplitRunFile(const char* runFile, TargetFileRule isFile, void* context);

// The path of the program that `parts` find in `runFile`: `targetDir`
// followed by its name, in `path` (`size` bytes). Returns the length, or 0
// with `path` empty when it does not fit (nothing is cut).
unsigned FormRunProgramPath(char* path, unsigned size, const char* targetDir, const char* runFile,
                            const RunFileParts& parts);

// The command line that starts the product: the program's full path in
// double quotes, so that a directory with blanks names the program and not a
// program at its first blank, followed by the program's arguments unchanged.
// Returns the length, or 0 when the command line does not fit in `size`
// (nothing is cut).
unsigned FormLaunchCommand(char* command, unsigned size, const char* targetDir, const char* runFile,
                           const RunFileParts& parts);

// Calls `create` with every leading part of `path` that names a directory:
// the text before each backslash, forward slash and the terminator, except
// where the character before it is a colon (a drive needs no creating). The
// first -1 from `create` is returned at once; otherwise 0. A path that does
// not fit in a 260-byte buffer gives -1 without any call.
int ForEachPathPrefix(const char* path, int (*create)(const char* prefix, void* context), void* context);
