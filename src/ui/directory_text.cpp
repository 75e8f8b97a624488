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

unsigned FormLaunchCommand(char* command, unsigned size, const char* targetDir, const char* runFile)
{
    // The program is the RunFile's first word, or the text within its own
    // quotes; whatever follows is the program's arguments, passed on as given.
    unsigned start = 0, end = 0, rest = 0;
    if (runFile[0] == '"') {
        start = end = 1;
        while (runFile[end] && runFile[end] != '"') ++end;
        rest = runFile[end] ? end + 1 : end;
    } else {
        while (runFile[end] && runFile[end] != ' ' && runFile[end] != '\t') ++end;
        rest = end;
    }
    const unsigned length = 2 + TextLength(targetDir) + (end - start) + TextLength(runFile + rest);
    if (size == 0 || length >= size) {
        if (size) command[0] = 0;
        return 0;
    }
    TextCopy(command, size, "\"");
    unsigned n = TextAppend(command, size, targetDir);
    n = TextCopyCount(command + n, size - n, runFile + start, end - start) + n;
    TextAppend(command, size, "\"");
    return TextAppend(command, size, runFile + rest);
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
