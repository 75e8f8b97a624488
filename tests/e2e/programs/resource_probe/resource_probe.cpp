// resource_probe: what the system's resource calls see in an executable.
//
//   resource_probe FILE.EXE | --image FILE.EXE | --self  [str:ID] [icon:ID] [bitmap:ID] ...
//
// FILE.EXE is loaded with LOAD_LIBRARY_AS_DATAFILE; --image maps it as an
// image through the loader (DONT_RESOLVE_DLL_REFERENCES: its entry point does
// not run); --self probes the running program. Every resource found through
// EnumResourceTypes/Names/Languages is printed as
// "res TYPE NAME LANG SIZE HASH" (language in hex, FNV-1a of the bytes that
// LoadResource gives), then one line per query:
//   str:ID      "str ID TEXT" from LoadStringA, or "str ID (missing)"
//   icon:ID     "icon ID ok" when LoadIconA gives an icon (image or self)
//   bitmap:ID   "bitmap ID WIDTH HEIGHT" from LoadBitmapA (image or self)
//   payload:ID  "payload ID SIZE HASH" of the type-256 resource that
//               FindResourceA chooses, as the installer looks its payloads
//               up, or "payload ID (missing)"
// Exit code: 0, or 1 when the file cannot be loaded or a resource cannot be
// read back, 2 for a usage error.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int failures = 0;

std::string NameText(LPCSTR name)
{
    if (IS_INTRESOURCE(name)) return std::to_string(unsigned(ULONG_PTR(name)));
    return name;
}

unsigned Fnv1a(const unsigned char* p, DWORD size)
{
    unsigned h = 2166136261u;
    for (DWORD i = 0; i < size; ++i) h = (h ^ p[i]) * 16777619u;
    return h;
}

BOOL CALLBACK OnLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language, LONG_PTR)
{
    HRSRC found = FindResourceExA(module, type, name, language);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const unsigned char* bytes = loaded ? static_cast<const unsigned char*>(LockResource(loaded)) : nullptr;
    DWORD size = found ? SizeofResource(module, found) : 0;
    if (!bytes) {
        std::printf("error %s %s %x: cannot load (%lu)\n", NameText(type).c_str(),
                    NameText(name).c_str(), language, GetLastError());
        ++failures;
        return TRUE;
    }
    std::printf("res %s %s %x %lu %08x\n", NameText(type).c_str(), NameText(name).c_str(), language,
                size, Fnv1a(bytes, size));
    return TRUE;
}

BOOL CALLBACK OnName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR)
{
    EnumResourceLanguagesA(module, type, name, OnLanguage, 0);
    return TRUE;
}

BOOL CALLBACK OnType(HMODULE module, LPSTR type, LONG_PTR)
{
    EnumResourceNamesA(module, type, OnName, 0);
    return TRUE;
}

void Query(HMODULE module, const char* query)
{
    const char* colon = std::strchr(query, ':');
    unsigned id = colon ? unsigned(std::strtoul(colon + 1, nullptr, 10)) : 0;
    std::string kind(query, colon ? size_t(colon - query) : std::strlen(query));
    if (kind == "str") {
        char text[4096];
        int n = LoadStringA(module, id, text, sizeof text);
        if (n > 0)
            std::printf("str %u %s\n", id, text);
        else
            std::printf("str %u (missing)\n", id);
    } else if (kind == "icon") {
        HICON icon = LoadIconA(module, MAKEINTRESOURCEA(id));
        std::printf("icon %u %s\n", id, icon ? "ok" : "missing");
    } else if (kind == "bitmap") {
        HBITMAP bitmap = LoadBitmapA(module, MAKEINTRESOURCEA(id));
        BITMAP info;
        if (bitmap && GetObjectA(bitmap, sizeof info, &info))
            std::printf("bitmap %u %ld %ld\n", id, info.bmWidth, info.bmHeight);
        else
            std::printf("bitmap %u missing\n", id);
    } else if (kind == "payload") {
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(256));
        HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
        const unsigned char* bytes = loaded ? static_cast<const unsigned char*>(LockResource(loaded)) : nullptr;
        if (bytes)
            std::printf("payload %u %lu %08x\n", id, SizeofResource(module, found),
                        Fnv1a(bytes, SizeofResource(module, found)));
        else
            std::printf("payload %u (missing)\n", id);
    } else {
        std::printf("error unknown query %s\n", query);
        ++failures;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: resource_probe FILE.EXE|--image FILE.EXE|--self"
                             " [str:ID|icon:ID|bitmap:ID|payload:ID]...\n");
        return 2;
    }
    int first = 2;
    HMODULE module;
    if (!std::strcmp(argv[1], "--self")) {
        module = GetModuleHandleA(nullptr);
    } else if (!std::strcmp(argv[1], "--image") && argc > 2) {
        module = LoadLibraryExA(argv[2], nullptr, DONT_RESOLVE_DLL_REFERENCES);
        first = 3;
    } else {
        module = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    if (!module) {
        std::printf("error cannot load %s (%lu)\n", argv[first - 1], GetLastError());
        return 1;
    }
    EnumResourceTypesA(module, OnType, 0);
    for (int i = first; i < argc; ++i) Query(module, argv[i]);
    std::fflush(stdout);
    return failures ? 1 : 0;
}
