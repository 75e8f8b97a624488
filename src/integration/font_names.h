// The names that the font installation works with for one row of the font
// table: the registered name, the file that the registry or WIN.INI records,
// and the path of the file that is loaded and unloaded.
#pragma once
#include "script/installer_state.h"

enum : unsigned { FontNameSize = 128 };

// On the Program Manager shell a TrueType file is registered through a font
// resource file (.FOT) made for it. A file name longer than three characters
// whose last three are "TTF" in any case is TrueType; no dot is needed, so
// XTTF is one too. Replaces those three characters of `file` by "FOT" and
// returns nonzero for a TrueType name; leaves any other name alone and
// returns 0. The three letters are ASCII, so ASCII case rules suffice.
int MakeFontResourceName(char* file);

struct FontRowText {
    char Name[FontNameSize];  // the registered name, as the script gives it
    char File[PathSize];      // the value recorded: the file name, or its .FOT
    char TrueType[PathSize];  // the TrueType file that File stands for; empty when none
    char Path[PathSize];      // fonts directory + File: the file loaded and unloaded
};

// Fills `row` for the font `name` in `file` below `fontsDir` (ending in a
// backslash). On the Program Manager shell (`programManagerShell` nonzero) a
// TrueType file becomes its .FOT. Returns 0 when the path does not fit 260
// bytes: nothing may then be loaded under a cut name.
int PrepareFontRow(FontRowText& row, const char* name, const char* file, const char* fontsDir,
                   int programManagerShell);
