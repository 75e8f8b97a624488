#include "engine/transfer.h"
#include "platform/text.h"
#include "script/installer_state.h"

int DirectoryPath(char* path, unsigned kind, const char* name)
{
    const char* directory;
    switch (kind) {
    case DirTarget: directory = State.TargetDir; break;
    case DirWindows: directory = State.WindowsDir; break;
    case DirSystem: directory = State.SystemDir; break;
    case DirSystem32: directory = State.System32Dir; break;
    case DirFonts: directory = State.FontsDir; break;
    case DirSource: directory = State.SourceDir; break;
    default: directory = State.WindowsDir; break;
    }
    if (TextLength(directory) + TextLength(name) >= PathSize) {
        path[0] = 0;
        return 0;
    }
    TextCopy(path, PathSize, directory);
    TextAppend(path, PathSize, name);
    return 1;
}

void FileNameVariant(char* variant, const char* name, unsigned n)
{
    TextCopy(variant, PathSize, name);
    if (!n) return;
    char* stem = TextFindLastChar(variant, '\\');
    stem = stem ? stem + 1 : variant;
    char extension[PathSize];
    extension[0] = 0;
    char* dot = TextFindLastChar(stem, '.');
    if (dot) {
        TextCopy(extension, sizeof extension, dot);
        *dot = 0;
    }
    if (TextLength(stem) > 6) stem[6] = 0;
    const char digits[3] = {(char)('0' + n / 10 % 10), (char)('0' + n % 10), 0};
    TextAppend(variant, PathSize, digits);
    TextAppend(variant, PathSize, extension);
}
