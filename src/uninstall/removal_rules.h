// The uninstaller's decisions that need no system call: which places it may
// touch, which directories it may try to remove, how it recognises its own
// command, and the line it adds to WININIT.INI. Everything that depends on
// case takes the rule as a parameter (engine/closing_values.h).
#pragma once
#include "engine/closing_values.h"
#include "integration/uninstall_values.h"
#include "script/installer_state.h"

// Nonzero when `name`, joined to a directory, stays inside it: not empty, no
// drive or stream (no ':'), not rooted (no leading backslash or slash), and no
// component that is empty or made only of dots and blanks (Windows reads "..",
// "..." and ". ." as the parent or as the directory itself).
int IsContainedName(const char* name);

// Nonzero when `target` (ending in a backslash) may be the directory of an
// installation: not a drive's root, nor the Windows, System or System32
// directory, where an uninstaller copied there would otherwise remove
// files of the same names as the product's.
int IsRemovableTarget(const char* target, const char* windowsDir, const char* systemDir,
                      const char* system32Dir, CompareNoCaseRule compare);

// What becomes of a file that a record of the script put in place.
enum RecordFate {
    FateRemove,      // a file of the product in the target directory or below it
    FateKeepShared,  // the Windows, System or System32 directory: other programs may share it
    FatePassOver,    // fonts (removed through the font table) and names that leave their directory
};
RecordFate DecideRecordFate(unsigned kind, const char* name);

// Directories below the target directory that the removal may try to remove
// once the files are gone: relative names, each once, removed deepest first.
enum : unsigned { MaxRemovalDirs = 64 };
struct DirectoryList {
    unsigned Count;
    char Names[MaxRemovalDirs][PathSize];
};
// Adds the directories that lead to `name` ("A\B\F.TXT" adds "A\B" and "A"),
// and `name` itself when `isDirectory` is set. Names that are not contained
// add nothing; a full list takes no more.
void AddLeadingDirectories(DirectoryList& list, const char* name, int isDirectory, CompareNoCaseRule compare);
// Orders the list so that every directory comes before the ones that hold it.
void SortDeepestFirst(DirectoryList& list);

// What the closing dialog names of one kind of thing kept: how many, and the
// first MaxNamedKept of them.
enum : unsigned { MaxNamedKept = 5 };
struct KeptList {
    unsigned Count;
    char Names[MaxNamedKept][PathSize];
};
// Counts `name` and keeps it when there is room; a name equal to one of
// those kept is not counted again.
void AddKept(KeptList& list, const char* name, CompareNoCaseRule compare);
// Appends to `text` (`size` bytes, cut to fit) an empty line, the heading
// (`singular` for one, else `plural`) and each name kept on a line of its
// own, then `more` ("and %u more") with the count of the others. Nothing
// when the list is empty.
void AppendKeptList(char* text, unsigned size, const KeptList& list, const char* singular, const char* plural,
                    const char* more);

// The argument of a command line after the program's own name (quoted or
// bare), without surrounding blanks or one pair of quotes, in `argument`
// (PathSize bytes). Returns its length: 0 when there is none.
unsigned CommandLineArgument(char* argument, const char* commandLine);

// The copy's arguments after its own name: the handle of the event by which
// it tells the original that it has taken over, in hexadecimal, then the
// original's path, quoted or bare, in `original` (PathSize bytes). Returns 0
// when either is missing.
int ParseCopyArguments(const char* arguments, unsigned long* event, char* original);

// WININIT.INI with `line` added as the first line of its [rename] section
// (the section is appended when missing), so that lines that other programs
// left there stay. Writes at most `size` bytes into `out` and returns the new
// length; 0 when it does not fit.
unsigned AddRenameLine(char* out, unsigned size, const char* text, unsigned length, const char* line);
