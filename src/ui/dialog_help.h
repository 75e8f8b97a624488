// The help context of every dialog: the plain data of the dialog table, which
// the installer shows its dialogs from and kivpack writes help sources for.
// A help context is the number of a topic of the product's help file.
#pragma once
#include "resources/kivformat.h"
#include "script/installer_state.h"

// Help topics that are not rows of the table.
enum : unsigned {
    HelpBeingInstalledIn = 3072,  // dialog 2301
    HelpUsedForDisks = 3328,      // dialog 2302
    HelpReadmeTopic = 3904,       // the readme and the font information
};

struct DialogHelpRow {
    unsigned short DialogId;
    unsigned HelpContext;  // also selects the message-fill rule of a message dialog
};

// One row per dialog of the table, in ascending order of id. Row 2300's 0 is
// never applied: 2300 shown by its own id keeps the caller's topic, and 2301
// and 2302 bring their own. 1900 offers no help.
constexpr DialogHelpRow DialogHelpTable[] = {
    {IDD_BAD_DRIVE, 256},
    {IDD_BAD_LINE, 512},
    {IDD_NO_DIRECTORY, 768},
    {IDD_COPY_ERROR, 1024},
    {IDD_CANNOT_CREATE, 1280},
    {IDD_DISK_FULL, 1536},
    {IDD_FONTS_ONLY, 1664},
    {IDD_MISSING_KEY, 1792},
    {IDD_INSERT_DISK, 2048},
    {IDD_FILE_NOT_FOUND, 2176},
    {IDD_CANNOT_OPEN_SCRIPT, NoHelpContext},
    {IDD_OUT_OF_MEMORY, 2304},
    {IDD_CANNOT_START, 2816},
    {IDD_DONE, 2560},
    {IDD_DONE_OK_CANCEL, 2560},
    {IDD_DONE_YES_NO, 2560},
    {IDD_DIRECTORY_MESSAGE, 0},
    {IDD_NEW_INSTALL, 3584},
    {IDD_EARLIER_COPY, 3712},
    {IDD_UPGRADE, 3720},
    {IDD_TOO_MANY_DISKS, 3840},
    {IDD_NO_COPY_TO_UPGRADE, 3968},
    {IDD_WINDOWS_TOO_OLD, 4096},
    {IDD_OTHER_PRODUCT, 4224},
};

constexpr unsigned DialogHelpTableSize = sizeof DialogHelpTable / sizeof DialogHelpTable[0];

// The help context of a row of the table; NoHelpContext for an id without one.
constexpr unsigned DialogHelpContext(unsigned short id)
{
    for (unsigned i = 0; i < DialogHelpTableSize; ++i)
        if (DialogHelpTable[i].DialogId == id) return DialogHelpTable[i].HelpContext;
    return NoHelpContext;
}
