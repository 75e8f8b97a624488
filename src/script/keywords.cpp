#include "script/keywords.h"
#include "platform/text.h"

const char* const KeyNames[KeyNameCount] = {
    "Caption",        "ViewButtonText",  "DefaultTargetDir", "DiskName",       "FontsOnly",
    "HelpFileName",   "OldProduct.INI",  "Product.INI",      "ProductName",    "ProductVersion",
    "OldProductName", "OldProductVersion", "VersionToPatch", "WindowsVersion", "TotalDisks",
    "DiskSpace",      "EGADiskSpace",    "VGADiskSpace",     "8514DiskSpace",  "File%u",
    "Subdirectory%u", "GroupName",       "UninstallName",    "Buttons",        "File",
    "Win31File",      "Win95File",       "WinNTFile",        "Message",        "Name",
    "Directory",      "FirstTime",       "Version",
};

const char* const DirectoryKeywords[5] = {"Target", "Windows", "System", "System32", "Fonts"};
const char* const FlagKeywords[6] = {"EGA", "VGA", "8514", "Append", "HiddenFont", "SystemFont"};
const char* const PlatformKeywords[3] = {"Win31", "Win95", "WinNT"};
const char* const ButtonKeywords[2] = {"OK/Cancel", "Yes/No"};

unsigned MatchKeyword(const char* const* table, unsigned count, const char* word)
{
    for (unsigned i = 0; i < count; ++i)
        if (TextEqualNoCase(table[i], word)) return i;
    return count;
}
