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
    if (n) FormatText(variant, PathSize, "%u%u~%s", n / 10 % 10, n % 10, name);
    else TextCopy(variant, PathSize, name);
}
