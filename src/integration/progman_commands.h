// The Program Manager DDE commands and the choices behind them: which groups
// of a replaced version are deleted, which items the running platform gets,
// and the command line of an item. Each %s of a command is filled with the
// plain text, without quotes or escaping: a comma or a parenthesis in a title
// or path is sent unchanged.
#pragma once
#include "engine/closing_values.h"

// Text sizes, each with its terminator, in which the parts of a command are
// fetched: version key, old group name, item file name, item title, item
// command line.
enum : unsigned {
    OldVersionSize = 64,
    OldGroupNameSize = 128,
    ItemFileSize = 64,
    ItemTitleSize = 128,
    ItemCommandLineSize = 260,
};

// "[DeleteGroup(group)]", "[CreateGroup(group)]" and
// "[AddItem(commandLine, title)]" into `buffer` (`size` bytes). Return the
// length stored; with parts of the sizes above, every command fits a buffer
// of 512 bytes and is never cut.
unsigned FormatDeleteGroupCommand(char* buffer, unsigned size, const char* group);
unsigned FormatCreateGroupCommand(char* buffer, unsigned size, const char* group);
unsigned FormatAddItemCommand(char* buffer, unsigned size, const char* commandLine, const char* title);

// The command line of an item: `targetDir` followed by `file`, lower-cased by
// `lower`, in `line` (ItemCommandLineSize bytes). Returns 0, with `line`
// empty, when the two do not fit together: a cut path would name another
// file, so such an item is left out rather than added.
int BuildItemCommandLine(char* line, const char* targetDir, const char* file, LowerCaseRule lower);

// Nonzero when an item with `platformMask` belongs on `platformKind` (the two
// share a bit). An item only for Win31 is never added, since the platform
// kind is 2 or 4.
int ItemRunsOn(unsigned platformMask, unsigned platformKind);

// Nonzero when the group that `version` created is deleted by an installation
// over `replacedVersion`: the versions are equal by `compare` and the row
// names a group (`hasGroup`).
int OldGroupIsReplaced(const char* version, int hasGroup, const char* replacedVersion,
                       CompareNoCaseRule compare);
