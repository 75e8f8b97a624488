#include "ui/directory_text.h"
#include "platform/text.h"
#include "script/installer_state.h"
#include "resources/kivformat.h"

void EnsureTrailingBackslash(char* path)
{
    unsigned n = TextLength(path);
    if (n && path[n - 1] == '\\') return;
    TextAppend(path, PathSize, "\\");
}

void FormSystem32Directory(char* system32, const char* systemDir)
{
    unsigned n = TextCopy(system32, PathSize, systemDir);
    while (n && system32[n - 1] == '\\') system32[--n] = 0;
    if (n >= 2 && system32[n - 2] == '3' && system32[n - 1] == '2') return;
    TextAppend(system32, PathSize, "32");
}

void RemoveTrailingBackslashes(char* path)
{
    unsigned n = TextLength(path);
    while (n > 1 && path[n - 1] == '\\' && path[n - 2] != ':') path[--n] = 0;
}

void FormDirectoryFieldText(char* field, unsigned size, const char* directory)
{
    unsigned n = TextCopy(field, size, directory);
    if (n > 3 && field[n - 1] == '\\') field[n - 1] = 0;
}

unsigned ComputeFreeKBytes(unsigned sectorsPerCluster, unsigned bytesPerSector, unsigned freeClusters)
{
    // 32-bit products wrap on drives with more than 2^32 free sectors (2 TB
    // of 512-byte sectors) and would report a nearly full disk.
    const unsigned long long sectors = (unsigned long long)sectorsPerCluster * freeClusters;
    const unsigned long long kbytes = ((sectors + 512) >> 10) * bytesPerSector;
    return kbytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : (unsigned)kbytes;
}

unsigned NeededKBytes(int diskSpace)
{
    return ((unsigned)diskSpace + 512) >> 10;
}

int DiskSpaceIsShort(unsigned freeKBytes, int diskSpace)
{
    // Unsigned: a drive with 2 TB or more free is not a negative amount.
    return NeededKBytes(diskSpace) > freeKBytes;
}

unsigned short ChooseUpgradeDialog(const char* installedVersion, const char* versionToPatch,
                                   const char* productVersion, VersionCompare compare)
{
    if (compare(installedVersion, versionToPatch) < 0 || compare(installedVersion, productVersion) > 0)
        return IDD_NO_COPY_TO_UPGRADE;
    return IDD_UPGRADE;
}

const char* EarlierCopyName(const char* installedVersion, const char* oldProductVersion,
                            const char* productName, const char* oldProductName, VersionCompare compare)
{
    return compare(installedVersion, oldProductVersion) > 0 ? productName : oldProductName;
}

namespace {

int IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

RunFileParts SplitRunFile(const char* runFile, TargetFileRule isFile, void* context)
{
    RunFileParts parts;
    unsigned start = 0;
    while (IsBlank(runFile[start])) ++start;
    unsigned end = start;
    if (runFile[start] == '"') {
        end = ++start;
        while (runFile[end] && runFile[end] != '"') ++end;
        parts.Arguments = runFile[end] ? end + 1 : end;
    } else {
        while (runFile[end] && !IsBlank(runFile[end])) ++end;
        // A value without blanks is one word: the question is asked only of
        // a name that the first word would cut.
        if (runFile[end]) {
            unsigned whole = TextLength(runFile);
            while (whole > end && IsBlank(runFile[whole - 1])) --whole;
            char name[PathSize];
            if (whole - start < sizeof name) {
                TextCopyCount(name, sizeof name, runFile + start, whole - start);
                if (isFile(name, context)) end = whole;
            }
        }
        parts.Arguments = end;
    }
    parts.Program = start;
    parts.Length = end - start;
    return parts;
}

unsigned FormRunProgramPath(char* path, unsigned size, const char* targetDir, const char* runFile,
                            const RunFileParts& parts)
{
    if (size == 0) return 0;
    if (TextLength(targetDir) + parts.Length >= size) {
        path[0] = 0;
        return 0;
    }
    unsigned n = TextCopy(path, size, targetDir);
    return TextCopyCount(path + n, size - n, runFile + parts.Program, parts.Length) + n;
}

unsigned FormLaunchCommand(char* command, unsigned size, const char* targetDir, const char* runFile,
                           const RunFileParts& parts)
{
    const char* arguments = runFile + parts.Arguments;
    if (size < 3 || TextLength(arguments) + 2 >= size) {
        if (size) command[0] = 0;
        return 0;
    }
    // The program's path between the quotes, then the arguments as given.
    command[0] = '"';
    unsigned n = FormRunProgramPath(command + 1, size - 2 - TextLength(arguments), targetDir, runFile, parts);
    if (!n) {
        command[0] = 0;
        return 0;
    }
    TextAppend(command, size, "\"");
    return TextAppend(command, size, arguments);
}

int ForEachPathPrefix(const char* path, int (*create)(const char* prefix, void* context), void* context)
{
    char prefix[PathSize];
    const unsigned length = TextLength(path);
    // A cut path would create a directory that nobody asked for.
    if (length >= PathSize) return -1;
    for (unsigned i = 1; i <= length; ++i) {
        const char c = path[i];
        if ((c == '\\' || c == '/' || c == 0) && path[i - 1] != ':') {
            TextCopyCount(prefix, sizeof prefix, path, i);
            if (create(prefix, context) == -1) return -1;
        }
    }
    return 0;
}
