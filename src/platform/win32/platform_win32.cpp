// The seam on Windows: each operation passes through to the system call that
// defines its behaviour.
#include <windows.h>
#include "platform/platform.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"

unsigned ProfileReadString(const char* section, const char* key, const char* defaultText,
                           char* buffer, unsigned size, const char* file)
{
    unsigned n = GetPrivateProfileStringA(section, key, defaultText, buffer, size, file);
    // A list cut to the buffer ends with two zeros on Windows; Wine leaves the
    // last byte as it was.
    if ((!section || !key) && size >= 2 && n == size - 2) buffer[size - 1] = 0;
    return n;
}

unsigned ProfileReadInt(const char* section, const char* key, int defaultValue, const char* file)
{
    return GetPrivateProfileIntA(section, key, defaultValue, file);
}

AtomHandle AtomAdd(const char* text) { return AddAtomA(text); }

unsigned AtomGetName(AtomHandle atom, char* buffer, unsigned size)
{
    if (!atom || size == 0) return 0;
    return GetAtomNameA(atom, buffer, (int)size);
}

void AtomDelete(AtomHandle atom) { DeleteAtom(atom); }

int FileExists(const char* path)
{
    OFSTRUCT of;
    return OpenFile(path, &of, OF_EXIST) != HFILE_ERROR;
}

MemoryHandle MemoryAllocate(unsigned size) { return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size); }
void* MemoryLock(MemoryHandle block) { return GlobalLock((HGLOBAL)block); }
void MemoryUnlock(MemoryHandle block) { GlobalUnlock((HGLOBAL)block); }
void MemoryFree(MemoryHandle block) { GlobalFree((HGLOBAL)block); }

unsigned LoadResourceString(unsigned id, char* buffer, unsigned size)
{
    return LoadStringA((HINSTANCE)State.Instance, id, buffer, (int)size);
}

int PayloadResourceExists(unsigned id)
{
    return FindResourceA((HMODULE)State.Instance, MAKEINTRESOURCEA(id),
                         MAKEINTRESOURCEA(KIV_PAYLOAD_TYPE)) != 0;
}

unsigned SuppressCriticalErrors() { return SetErrorMode(SEM_FAILCRITICALERRORS); }
void RestoreErrorMode(unsigned mode) { SetErrorMode(mode); }

void SetMainWindowTitle(const char* title) { SetWindowTextA((HWND)State.MainWindow, title); }

BitmapHandle LoadFontsBitmap(int* width, int* height)
{
    HBITMAP bitmap = LoadBitmapA((HINSTANCE)State.Instance, MAKEINTRESOURCEA(KIV_FONTS_BITMAP));
    BITMAP info;
    if (bitmap && GetObjectA(bitmap, sizeof info, &info)) {
        *width = info.bmWidth;
        *height = info.bmHeight;
    }
    return bitmap;
}

void DeleteFileQuietly(const char* path)
{
    UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS);
    DeleteFileA(path);
    SetErrorMode(mode);
}
