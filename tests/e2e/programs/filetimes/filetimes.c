/* filetimes.exe PATH...: one line per path,
 *   PATH created YYYY-MM-DD HH:MM:SS accessed ... written ... attributes 0xXXXXXXXX
 * with the times of GetFileTime converted to local time, or
 *   PATH missing error N
 * filetimes.exe --message N: the system's text for error N, with CR, LF and
 * tab written as \r, \n and \t (as kivdriver.exe prints control texts).
 * Exit code 0, or 1 when a path could not be read. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void PrintTime(const char* label, const FILETIME* time)
{
    FILETIME local;
    SYSTEMTIME t;
    if (!FileTimeToLocalFileTime(time, &local) || !FileTimeToSystemTime(&local, &t)) {
        printf(" %s invalid", label);
        return;
    }
    printf(" %s %04u-%02u-%02u %02u:%02u:%02u", label, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
           t.wSecond);
}

static int PrintFile(const char* path)
{
    FILETIME created, accessed, written;
    /* No data access: opening the file must not touch its last-access time. */
    HANDLE file = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, 0);
    if (file == INVALID_HANDLE_VALUE) {
        printf("%s missing error %lu\n", path, GetLastError());
        return 1;
    }
    BOOL ok = GetFileTime(file, &created, &accessed, &written);
    DWORD error = GetLastError();
    CloseHandle(file);
    DWORD attributes = GetFileAttributesA(path);
    if (!ok || attributes == INVALID_FILE_ATTRIBUTES) {
        printf("%s missing error %lu\n", path, ok ? GetLastError() : error);
        return 1;
    }
    printf("%s", path);
    PrintTime("created", &created);
    PrintTime("accessed", &accessed);
    PrintTime("written", &written);
    printf(" attributes 0x%08lX\n", attributes);
    return 0;
}

static int PrintMessage(const char* code)
{
    char text[1024];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, 0,
                             strtoul(code, 0, 10), LANG_USER_DEFAULT, text, sizeof text, 0);
    if (!n) return 1;
    for (DWORD i = 0; i < n; ++i) {
        if (text[i] == '\r') fputs("\\r", stdout);
        else if (text[i] == '\n') fputs("\\n", stdout);
        else if (text[i] == '\t') fputs("\\t", stdout);
        else putchar(text[i]);
    }
    putchar('\n');
    return 0;
}

int main(int argc, char** argv)
{
    if (argc == 3 && !strcmp(argv[1], "--message")) return PrintMessage(argv[2]);
    if (argc < 2) {
        fputs("usage: filetimes PATH... | filetimes --message CODE\n", stderr);
        return 2;
    }
    int failed = 0;
    for (int i = 1; i < argc; ++i) failed |= PrintFile(argv[i]);
    return failed;
}
