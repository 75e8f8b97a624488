#include "ui/directory_text.h"
#include "platform/text.h"
#include "script/installer_state.h"

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
