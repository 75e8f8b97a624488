#include <windows.h>
#include "engine/resource_bytes_win32.h"
#include "script/installer_state.h"

const unsigned char* ResourceBytes(unsigned type, unsigned id, unsigned* size)
{
    *size = 0;
    HMODULE module = (HMODULE)State.Instance;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(type));
    HGLOBAL loaded = found ? LoadResource(module, found) : 0;
    const unsigned char* data = loaded ? (const unsigned char*)LockResource(loaded) : 0;
    // The module handle is the image's base, whose headers the system's
    // loader has checked before the program ran; SizeOfImage bytes from
    // there are mapped.
    const unsigned char* base = (const unsigned char*)module;
    const IMAGE_NT_HEADERS* headers = (const IMAGE_NT_HEADERS*)(base + ((const IMAGE_DOS_HEADER*)base)->e_lfanew);
    const unsigned image = headers->OptionalHeader.SizeOfImage;
    if (!data || data < base || (unsigned)(data - base) >= image) return 0;
    const unsigned room = image - (unsigned)(data - base);
    const unsigned declared = SizeofResource(module, found);
    *size = declared < room ? declared : room;
    return data;
}
