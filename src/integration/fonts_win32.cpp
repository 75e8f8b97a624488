// Fonts of the product: released before their files are replaced, registered
// and loaded after the copy, and restored when the run fails. The Program
// Manager shell records fonts in WIN.INI [fonts], TrueType ones through a
// font resource file (.FOT) made for them; the new shell records them in the
// registry. No step reports anything: every result is ignored except whether
// a release unloaded the font, which decides whether a restore reloads it.
#include <windows.h>
#include "engine/closing_steps.h"
#include "engine/closing_values.h"
#include "integration/font_names.h"
#include "platform/text.h"
#include "script/installer_state.h"

namespace {

const char Windows95FontsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts";
const char WindowsNtFontsKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

// How long each top-level window may take over one of the two broadcasts; a
// hung window is skipped at once (SMTO_ABORTIFHUNG), so that no other
// program can stop the installation here.
const UINT BroadcastTimeLimit = 5000;

// The row's working texts live here rather than on the stack.
FontRowText Row;

void RegisterInWinIni(int mode)
{
    if (mode != FontsInstall) return;
    if (Row.TrueType[0]) {
        char directory[PathSize];
        CopyDirectoryName(directory, sizeof directory, State.FontsDir);
        CreateScalableFontResourceA(0, Row.Path, Row.TrueType, directory);
    }
    WriteProfileStringA("fonts", Row.Name, Row.File);
}

void RegisterInRegistry(HKEY key, int mode)
{
    if (mode == FontsRelease)
        RegDeleteValueA(key, Row.Name);
    else
        RegSetValueExA(key, Row.Name, 0, REG_SZ, (const BYTE*)Row.File, (DWORD)lstrlenA(Row.File) + 1);
}

void UpdateLoadState(unsigned row, int mode)
{
    switch (mode) {
    case FontsInstall:
        AddFontResourceA(Row.Path);
        break;
    case FontsRelease:
        State.FontRemoved[row] = RemoveFontResourceA(Row.Path) ? 1 : 0;
        break;
    case FontsRestore:
        if (State.FontRemoved[row]) AddFontResourceA(Row.Path);
        break;
    }
}

void Broadcast(UINT message, LPARAM lParam)
{
    DWORD_PTR result;
    SendMessageTimeoutA(HWND_BROADCAST, message, 0, lParam, SMTO_ABORTIFHUNG, BroadcastTimeLimit, &result);
}

}  // namespace

void InstallFonts(int mode)
{
    const int winIni = (State.ShellFlags & ShellProgramManager) != 0;
    HKEY key = 0;
    int keyOpen = 0;
    if (State.ShellFlags & ShellNew) {
        const char* path = (State.ShellFlags & ShellWindowsNt) ? WindowsNtFontsKey : Windows95FontsKey;
        keyOpen = RegOpenKeyA(HKEY_LOCAL_MACHINE, path, &key) == ERROR_SUCCESS;
    }
    unsigned processed = 0;
    for (unsigned row = 0; row < MaxFonts; ++row) {
        const FontEntry& entry = State.FontTable[row];
        if (!entry.FileAtom || !entry.NameAtom) break;
        ++processed;
        if (row == 0 && mode == FontsInstall)
            SetDlgItemTextA((HWND)State.ProgressDialog, 1001, State.FontsText);
        char name[FontNameSize];
        char file[PathSize];
        AtomGetName(entry.NameAtom, name, sizeof name);
        AtomGetName(entry.FileAtom, file, sizeof file);
        // A font whose path does not fit is neither recorded nor loaded: a
        // cut path would name another file.
        if (!PrepareFontRow(Row, name, file, State.FontsDir, winIni)) {
            if (mode == FontsRelease) State.FontRemoved[row] = 0;
            continue;
        }
        if (winIni)
            RegisterInWinIni(mode);
        else if (keyOpen)
            RegisterInRegistry(key, mode);
        UpdateLoadState(row, mode);
    }
    if (keyOpen) RegCloseKey(key);
    if (!processed) return;
    Broadcast(WM_FONTCHANGE, 0);
    Broadcast(WM_WININICHANGE, (LPARAM) "fonts");
}
