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
    unsigned length = TextCopy(variant, PathSize, name);
    if (!n || length + 2 >= PathSize) return;
    char* dot = TextFindLastChar(variant, '.');
    char* at = dot ? dot : variant + length;
    for (char* p = variant + length; p >= at; --p) p[2] = p[0];
    at[0] = (char)('0' + n / 10 % 10);
    at[1] = (char)('0' + n % 10);
}
