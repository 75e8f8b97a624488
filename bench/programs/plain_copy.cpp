// plaincopy.exe [--rw | --delete] LIST: the peer of an installation, a
// program that only copies files (and, with --delete, the peer of a removal:
// it only deletes the destinations, with DeleteFileA, in the same dialogs
// with "Delete" for "Copy"). LIST holds one line per file: the source path, a tab, and the
// destination path. The program asks first ("Plain copy": "Copy N files?",
// OK / Cancel), copies every file with CopyFileA (--rw: a ReadFile/WriteFile
// loop through a 64 KiB buffer), then reports "Copy completed" (or "Copy
// failed" and the path) in a message box, so that it can be driven and timed
// as the installer is. The exit code is the number of files not copied.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

const char Title[] = "Plain copy";

bool CopyByLoop(const char* from, const char* to)
{
    static char buffer[1 << 16];
    HANDLE in = CreateFileA(from, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (in == INVALID_HANDLE_VALUE) return false;
    HANDLE out = CreateFileA(to, GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    bool ok = out != INVALID_HANDLE_VALUE;
    while (ok) {
        DWORD got = 0, put = 0;
        if (!ReadFile(in, buffer, sizeof buffer, &got, 0)) ok = false;
        if (!ok || got == 0) break;
        if (!WriteFile(out, buffer, got, &put, 0) || put != got) ok = false;
    }
    CloseHandle(in);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    return ok;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int argc = __argc;
    char** argv = __argv;
    bool loop = argc == 3 && !strcmp(argv[1], "--rw");
    bool remove = argc == 3 && !strcmp(argv[1], "--delete");
    const char* verb = remove ? "Delete" : "Copy";
    if (argc != 2 && !loop && !remove) {
        MessageBoxA(0, "usage: plaincopy.exe [--rw | --delete] LIST", Title, MB_OK);
        return 255;
    }
    FILE* list = fopen(argv[argc - 1], "rb");
    if (!list) {
        MessageBoxA(0, "Copy failed: the list cannot be read", Title, MB_OK);
        return 255;
    }
    std::vector<std::pair<std::string, std::string>> files;
    char line[2048];
    while (fgets(line, sizeof line, list)) {
        line[strcspn(line, "\r\n")] = 0;
        char* tab = strchr(line, '\t');
        if (!tab) continue;
        *tab = 0;
        files.emplace_back(line, tab + 1);
    }
    fclose(list);
    char text[2200];
    snprintf(text, sizeof text, "%s %u files?", verb, (unsigned)files.size());
    if (MessageBoxA(0, text, Title, MB_OKCANCEL) != IDOK) return 255;
    int failures = 0;
    std::string first;
    for (const auto& f : files) {
        bool ok = remove ? DeleteFileA(f.second.c_str()) != 0
                  : loop ? CopyByLoop(f.first.c_str(), f.second.c_str())
                         : CopyFileA(f.first.c_str(), f.second.c_str(), FALSE) != 0;
        if (!ok && !failures++) first = f.second;
    }
    if (failures)
        snprintf(text, sizeof text, "%s failed: %d files, the first %s", verb, failures, first.c_str());
    else
        snprintf(text, sizeof text, "%s completed: %u files", verb, (unsigned)files.size());
    MessageBoxA(0, text, Title, MB_OK);
    return failures;
}
