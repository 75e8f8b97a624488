#include "integration/progman_commands.h"
#include "platform/text.h"

unsigned FormatDeleteGroupCommand(char* buffer, unsigned size, const char* group)
{
    return FormatText(buffer, size, "[DeleteGroup(%s)]", group);
}

unsigned FormatCreateGroupCommand(char* buffer, unsigned size, const char* group)
{
    return FormatText(buffer, size, "[CreateGroup(%s)]", group);
}

unsigned FormatAddItemCommand(char* buffer, unsigned size, const char* commandLine, const char* title)
{
    return FormatText(buffer, size, "[AddItem(%s, %s)]", commandLine, title);
}

int BuildItemCommandLine(char* line, const char* targetDir, const char* file, LowerCaseRule lower)
{
    if (TextLength(targetDir) + TextLength(file) >= ItemCommandLineSize) {
        line[0] = 0;
        return 0;
    }
    TextCopy(line, ItemCommandLineSize, targetDir);
    TextAppend(line, ItemCommandLineSize, file);
    lower(line);
    return 1;
}

int ItemRunsOn(unsigned platformMask, unsigned platformKind)
{
    return (platformMask & platformKind) != 0;
}

int OldGroupIsReplaced(const char* version, int hasGroup, const char* replacedVersion,
                       CompareNoCaseRule compare)
{
    return hasGroup && !compare(version, replacedVersion);
}
