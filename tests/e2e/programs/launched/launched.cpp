// kivlaunched.exe: proof that a program was started, and how. Writes
// LAUNCHED.TXT in its own directory (appending, so that a second start
// shows as a second record):
//   command=<the command line as the program received it>
//   directory=<its current directory at start>
#include <windows.h>

static void Append(HANDLE file, const char* text)
{
    DWORD written = 0;
    WriteFile(file, text, lstrlenA(text), &written, nullptr);
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    char* slash = path;
    for (char* p = path; *p; ++p)
        if (*p == '\\') slash = p + 1;
    lstrcpyA(slash, "LAUNCHED.TXT");
    char directory[MAX_PATH];
    if (!GetCurrentDirectoryA(MAX_PATH, directory)) directory[0] = 0;

    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    Append(file, "command=");
    Append(file, GetCommandLineA());
    Append(file, "\r\ndirectory=");
    Append(file, directory);
    Append(file, "\r\n");
    CloseHandle(file);
    return 0;
}
