// The seam on Windows (kivpack.exe): names in UTF-8 become UTF-16 for the
// wide calls, so that every path the system allows works.
#include <windows.h>
#include <shellapi.h>
#include <fcntl.h>
#include <io.h>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/os/os_internal.h"

namespace kivpack {
namespace os {
namespace {

std::wstring Wide(const std::string& text)
{
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0);
    std::wstring wide((size_t)n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), &wide[0], n);
    return wide;
}

std::string Narrow(const wchar_t* text, int length = -1)
{
    if (length < 0) length = (int)wcslen(text);
    if (length == 0) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string narrow((size_t)n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, &narrow[0], n, nullptr, nullptr);
    return narrow;
}

std::string SystemText(DWORD code)
{
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, (wchar_t*)&text, 0, nullptr);
    std::string result = n ? Narrow(text, (int)n) : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == '.'))
        result.pop_back();
    return result;
}

DWORD LastCode;  // of the last failed Windows call of this file, for LastErrorText
bool Failed()
{
    LastCode = GetLastError();
    return false;
}

// The temporaries being written, for the console's Ctrl+C handler (which
// runs on a thread of its own) to remove. They are open with
// FILE_SHARE_DELETE, so that the deletion takes effect when kivpack ends.
PendingList<wchar_t, MAX_PATH * 4> Pending;

// The console's output code page before kivpack changed it; 0 when unchanged.
UINT SavedOutputCodePage;
void RestoreConsole()
{
    if (SavedOutputCodePage) SetConsoleOutputCP(SavedOutputCodePage);
}

BOOL WINAPI RemovePendingOnInterrupt(DWORD)
{
    Pending.RemoveAll([](const wchar_t* path) { DeleteFileW(path); });
    RestoreConsole();
    return FALSE;  // and the system's handler ends the process
}

void InstallInterruptHandler()
{
    static std::atomic<bool> installed{false};
    if (!installed.exchange(true)) SetConsoleCtrlHandler(RemovePendingOnInterrupt, TRUE);
}

int ClaimSlot(const std::wstring& path)
{
    InstallInterruptHandler();
    return Pending.Claim(path);
}

std::int64_t UnixNanoseconds(const FILETIME& t)
{
    std::int64_t ticks = (std::int64_t)t.dwHighDateTime << 32 | t.dwLowDateTime;  // 100 ns since 1601
    return (ticks - 116444736000000000LL) * 100;
}

} // namespace

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsAbsolute(const std::string& path)
{
    if (path.size() >= 3 && path[1] == ':' && IsSeparator(path[2])) return true;
    return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

std::string AbsolutePath(const std::string& path)
{
    std::wstring wide = Wide(path);
    DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(wide.c_str(), n, &full[0], nullptr);
    return n ? Narrow(full.c_str(), (int)n) : path;
}

std::string ExecutableDirectory()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, &path[0], (DWORD)path.size());
        if (n == 0) return "./";
        if (n < path.size()) return DirectoryOf(Narrow(path.c_str(), (int)n));
        path.resize(path.size() * 2);
    }
}

std::string Environment(const char* name)
{
    const wchar_t* value = _wgetenv(Wide(name).c_str());
    return value ? Narrow(value) : "";
}

bool CalendarTime(std::int64_t seconds, bool local, std::tm& out)
{
    __time64_t when = seconds;
    return (local ? _localtime64_s(&out, &when) : _gmtime64_s(&out, &when)) == 0;
}

bool Status(const std::string& path, FileStatus& status)
{
    status = FileStatus();
    std::wstring wide = Wide(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return Failed();
    status.link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    // The attributes are the link's own; what it names is opened for the rest.
    HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION info;
    if (h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(h, &info)) {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        return status.link;  // a link that names nothing
    }
    CloseHandle(h);
    status.directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    status.regular = !status.directory && !(info.dwFileAttributes & FILE_ATTRIBUTE_DEVICE);
    status.size = (std::uint64_t)info.nFileSizeHigh << 32 | info.nFileSizeLow;
    status.modifiedNs = UnixNanoseconds(info.ftLastWriteTime);
    status.device = info.dwVolumeSerialNumber;
    status.file = (std::uint64_t)info.nFileIndexHigh << 32 | info.nFileIndexLow;
    return true;
}

bool SameFile(const std::string& a, const std::string& b)
{
    FileStatus sa, sb;
    return Status(a, sa) && Status(b, sb) && (sa.regular || sa.directory) && sa.device == sb.device &&
           sa.file == sb.file;
}

bool ListDirectory(const std::string& folder, std::vector<DirectoryEntry>& entries, std::string& error)
{
    entries.clear();
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW(Wide(JoinPath(folder.empty() ? "." : folder, "*")).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND) return true;
        error = folder + ": " + SystemText(code);
        return false;
    }
    do {
        DirectoryEntry entry;
        entry.name = Narrow(found.cFileName);
        if (entry.name == "." || entry.name == "..") continue;
        Status(JoinPath(folder, entry.name), entry.status);
        entries.push_back(entry);
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return true;
}

bool MakeDirectory(const std::string& path, std::string& error, bool mustBeNew)
{
    if (CreateDirectoryW(Wide(path).c_str(), nullptr)) return true;
    DWORD code = GetLastError();
    FileStatus st;
    if (code == ERROR_ALREADY_EXISTS && !mustBeNew && Status(path, st) && st.directory) return true;
    error = path + ": " + SystemText(code);
    return false;
}

bool RemoveFile(const std::string& path) { return DeleteFileW(Wide(path).c_str()) || Failed(); }
bool RemoveEmptyDirectory(const std::string& path) { return RemoveDirectoryW(Wide(path).c_str()) || Failed(); }

bool MakeTemporaryDirectory(const char* prefix, std::string& path, std::string& error)
{
    wchar_t folder[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, folder);
    if (n == 0 || n > MAX_PATH) {
        error = "cannot find the temporary folder: " + SystemText(GetLastError());
        return false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = JoinPath(Narrow(folder, (int)n), prefix + RandomName());
        if (CreateDirectoryW(Wide(name).c_str(), nullptr)) {
            path = name;
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    error = "cannot make a temporary folder: " + SystemText(GetLastError());
    return false;
}

FILE* OpenForReading(const std::string& path)
{
    LastCode = 0;
    return _wfopen(Wide(path).c_str(), L"rb");
}

std::string LastErrorText() { return LastCode ? SystemText(LastCode) : std::strerror(errno); }

void ForgetTemporary(int& slot) { Pending.Release(slot); }

bool CreateNewFile(const std::string& path, std::intptr_t& handle, int& slot, bool& exists, std::string& reason)
{
    std::wstring wide = Wide(path);
    // CREATE_NEW never opens what is there, a link included.
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        exists = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
        reason = SystemText(code);
        return false;
    }
    handle = (std::intptr_t)h;
    slot = ClaimSlot(wide);
    return true;
}

bool WriteSome(std::intptr_t handle, const char* data, std::size_t size, std::size_t& written, std::string& reason)
{
    DWORD chunk = size > 0x10000000 ? 0x10000000 : (DWORD)size, n = 0;
    if (!WriteFile((HANDLE)handle, data, chunk, &n, nullptr) || n == 0) {
        reason = SystemText(GetLastError());
        return false;
    }
    written = n;
    return true;
}

// A synchronous handle takes the offset in an OVERLAPPED and moves its file
// pointer past what it read or wrote.
static OVERLAPPED At(std::uint64_t offset)
{
    OVERLAPPED o = {};
    o.Offset = DWORD(offset);
    o.OffsetHigh = DWORD(offset >> 32);
    return o;
}

bool ReadSomeAt(std::intptr_t handle, std::uint64_t offset, char* data, std::size_t size, std::size_t& done,
                std::string& reason)
{
    DWORD chunk = size > 0x10000000 ? 0x10000000 : (DWORD)size, n = 0;
    OVERLAPPED o = At(offset);
    if (!ReadFile((HANDLE)handle, data, chunk, &n, &o) && GetLastError() != ERROR_HANDLE_EOF) {
        reason = SystemText(GetLastError());
        return false;
    }
    done = n;
    return true;
}

bool WriteSomeAt(std::intptr_t handle, std::uint64_t offset, const char* data, std::size_t size, std::size_t& done,
                 std::string& reason)
{
    DWORD chunk = size > 0x10000000 ? 0x10000000 : (DWORD)size, n = 0;
    OVERLAPPED o = At(offset);
    if (!WriteFile((HANDLE)handle, data, chunk, &n, &o) || n == 0) {
        reason = SystemText(GetLastError());
        return false;
    }
    done = n;
    return true;
}

bool CloseFile(std::intptr_t handle, std::string& reason)
{
    if (CloseHandle((HANDLE)handle)) return true;
    reason = SystemText(GetLastError());
    return false;
}

bool RenameOver(const std::string& from, const std::string& to, std::string& reason)
{
    if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    reason = SystemText(GetLastError());
    return false;
}

void RemoveTemporary(const std::string& path, int& slot)
{
    DeleteFileW(Wide(path).c_str());
    ForgetTemporary(slot);
}

bool RunProgram(const std::vector<std::string>& arguments, const std::vector<std::string>&, int& exitCode,
                std::string& output, bool& missing, std::string& error)
{
    exitCode = -1;
    output.clear();
    missing = true;
    error = (arguments.empty() ? std::string("a program") : arguments[0]) + ": kivpack.exe starts no other programs";
    return false;
}

bool IsTerminal(FILE* stream)
{
    // A console, not merely a character device: NUL is one too.
    DWORD mode;
    HANDLE h = (HANDLE)_get_osfhandle(_fileno(stream));
    return h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode);
}

bool FindProgram(const std::string&, std::string&) { return false; }

bool StartProgram(const std::vector<std::string>&, const std::vector<std::string>&, bool, long&, std::string& error)
{
    error = "kivpack runs other programs only on Linux";
    return false;
}

bool WaitProgram(long&, int&) { return false; }

bool PrivateCacheFolder(const char*, std::string&, std::string& error)
{
    error = "kivpack try runs on Linux only: it needs Wine";
    return false;
}

void PrepareProcess(int, char**, std::vector<std::string>& arguments)
{
    arguments.clear();
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 0; wide && i < count; ++i) arguments.push_back(Narrow(wide[i]));
    if (wide) LocalFree(wide);
    InstallInterruptHandler();
    // Messages are UTF-8; the console shows them as such while kivpack runs.
    // The runtime must hand the console whole UTF-8 sequences: a text-mode
    // stream converts byte by byte through its locale, and an unbuffered one
    // may write a character's bytes one at a time, which the console cannot
    // decode. So a console stream is binary (the console starts a new line
    // at LF alone) and buffered; the progress bar flushes what it draws, and
    // the runtime flushes the rest at exit.
    bool console = false;
    for (FILE* stream : {stdout, stderr})
        if (IsTerminal(stream)) {
            console = true;
            std::fflush(stream);
            _setmode(_fileno(stream), _O_BINARY);
            std::setvbuf(stream, nullptr, _IOFBF, 1 << 16);
        }
    if (console) {
        SavedOutputCodePage = GetConsoleOutputCP();
        if (SavedOutputCodePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) std::atexit(RestoreConsole);
        else SavedOutputCodePage = 0;
    }
}

} // namespace os
} // namespace kivpack
