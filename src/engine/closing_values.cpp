#include "engine/closing_values.h"
#include "platform/text.h"
#include "script/installer_state.h"

int AsciiCompareNoCase(const char* a, const char* b)
{
    return TextCompareNoCase(a, b);
}

void AsciiLowerCase(char* text)
{
    for (; *text; ++text) *text = CharLower(*text);
}

unsigned CopyDirectoryName(char* buffer, unsigned size, const char* directory)
{
    unsigned length = TextCopy(buffer, size, directory);
    if (length && buffer[length - 1] == '\\') buffer[--length] = 0;
    return length;
}

int ExitTitlesMatch(const char* windowText, const char* titles, CompareNoCaseRule compare)
{
    if (!titles[0]) return 1;
    const char* title = titles;
    for (;;) {
        unsigned length = 0;
        while (title[length] && title[length] != ',') ++length;
        // The title alone, and as much of the window text as the title is
        // long: a shorter window text cannot begin with it.
        char wanted[NameSize];
        char begun[NameSize];
        TextCopyCount(wanted, sizeof wanted, title, length);
        TextCopyCount(begun, sizeof begun, windowText, length);
        if (!compare(begun, wanted)) return 1;
        if (!title[length] || !title[length + 1]) return 0;
        title += length + 1;
    }
}

unsigned ProductSettingsValues(SettingsValue values[MaxSettingsValues], char* directory,
                               const char* productVersion, const char* installedVersion,
                               const char* targetDir, CompareNoCaseRule compare)
{
    unsigned count = 0;
    if (productVersion[0]) values[count++] = {"Version", productVersion};
    CopyDirectoryName(directory, PathSize, targetDir);
    values[count++] = {"Directory", directory};
    if (compare(productVersion, installedVersion)) values[count++] = {"FirstTime", "1"};
    return count;
}
