#include "engine/resource_bounds_win32.h"

const unsigned char* LockResourceInImage(HMODULE module, HRSRC resource, unsigned* size)
{
    *size = 0;
    HGLOBAL loaded = resource ? LoadResource(module, resource) : 0;
    const unsigned char* data = loaded ? (const unsigned char*)LockResource(loaded) : 0;
    // A loaded module's handle is its base address, where the system mapped
    // the headers it checked.
    const unsigned char* base = (const unsigned char*)module;
    const IMAGE_DOS_HEADER* dos = (const IMAGE_DOS_HEADER*)base;
    if (!data || dos->e_magic != IMAGE_DOS_SIGNATURE) return 0;
    const IMAGE_NT_HEADERS* headers = (const IMAGE_NT_HEADERS*)(base + dos->e_lfanew);
    if (headers->Signature != IMAGE_NT_SIGNATURE) return 0;
    const DWORD image = headers->OptionalHeader.SizeOfImage;
    if (data < base || (DWORD)(data - base) >= image) return 0;
    const DWORD room = image - (DWORD)(data - base);
    const DWORD declared = SizeofResource(module, resource);
    *size = declared < room ? declared : room;
    return data;
}
