/* filetimes.exe PATH...: one line per path,
 *   PATH created YYYY-MM-DD HH:MM:SS accessed ... written ... attributes 0xXXXXXXXX
 * with the times of GetFileTime converted to local time, or
 *   PATH missing error N
 * filetimes.exe --message N: the system's text for error N, with CR, LF and
 * tab written as \r, \n and \t (as kivdriver.exe prints control texts).
 * filetimes.exe --watch PATTERN SECONDS: watches for files that match
 * PATTERN (FindFirstFileA, which opens none of them, so a file that another
 * program holds without sharing is seen too) and prints a line as above for
 * every new state of one, name for path; it ends once a file was seen and no
 * file matches any more, or after SECONDS (exit code 1 when none was seen).
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

static int Watch(const char* pattern, unsigned seconds)
{
    char last[512] = "", line[512];
    int seen = 0;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < seconds * 1000u) {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(pattern, &found);
        if (search == INVALID_HANDLE_VALUE) {
            if (seen) return 0;
            Sleep(1);
            continue;
        }
        seen = 1;
        do {
            FILETIME* times[3] = {&found.ftCreationTime, &found.ftLastAccessTime, &found.ftLastWriteTime};
            int n = snprintf(line, sizeof line, "%s", found.cFileName);
            for (int i = 0; i < 3; ++i) {
                FILETIME local;
                SYSTEMTIME t;
                FileTimeToLocalFileTime(times[i], &local);
                FileTimeToSystemTime(&local, &t);
                n += snprintf(line + n, sizeof line - n, " %s %04u-%02u-%02u %02u:%02u:%02u",
                              i == 0 ? "created" : i == 1 ? "accessed" : "written", t.wYear, t.wMonth,
                              t.wDay, t.wHour, t.wMinute, t.wSecond);
            }
            snprintf(line + n, sizeof line - n, " attributes 0x%08lX", found.dwFileAttributes);
            if (strcmp(line, last)) {
                puts(line);
                fflush(stdout);
                strcpy(last, line);
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return !seen;
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
    if (argc == 4 && !strcmp(argv[1], "--watch")) return Watch(argv[2], strtoul(argv[3], 0, 10));
    if (argc < 2) {
        fputs("usage: filetimes PATH... | filetimes --message CODE | filetimes --watch PATTERN SECONDS\n", stderr);
        return 2;
    }
    int failed = 0;
    for (int i = 1; i < argc; ++i) failed |= PrintFile(argv[i]);
    return failed;
}
