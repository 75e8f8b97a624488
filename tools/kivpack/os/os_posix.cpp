// The seam on Linux and other POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <random>
#include "tools/kivpack/os/os.h"

namespace kivpack {
namespace os {
namespace {

// The temporaries being written, for the signal handler to remove. A slot is
// claimed by setting `used`, filled, then published by `ready`; the handler
// reads only published slots, and calls nothing but unlink.
const int PendingSlots = 64;
struct PendingSlot {
    std::atomic<bool> used{false};
    std::atomic<bool> ready{false};
    char path[PATH_MAX];
};
PendingSlot Pending[PendingSlots];

void RemovePendingAndDie(int signal)
{
    for (PendingSlot& s : Pending)
        if (s.ready.load()) unlink(s.path);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

int ClaimSlot(const std::string& path)
{
    static std::atomic<bool> handlersInstalled{false};
    if (!handlersInstalled.exchange(true))
        for (int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, RemovePendingAndDie);
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < PendingSlots; ++i) {
        bool expected = false;
        if (!Pending[i].used.compare_exchange_strong(expected, true)) continue;
        std::memcpy(Pending[i].path, path.c_str(), path.size() + 1);
        Pending[i].ready.store(true);
        return i;
    }
    return -1;  // all in use: the temporary is still removed on every other path
}

void ReleaseSlot(int& slot)
{
    if (slot < 0) return;
    Pending[slot].ready.store(false);
    Pending[slot].used.store(false);
    slot = -1;
}

void Fill(const struct stat& st, FileStatus& status)
{
    status.regular = S_ISREG(st.st_mode);
    status.directory = S_ISDIR(st.st_mode);
    status.size = (std::uint64_t)st.st_size;
    status.modifiedNs = (std::int64_t)st.st_mtim.tv_sec * 1000000000 + st.st_mtim.tv_nsec;
    status.device = (std::uint64_t)st.st_dev;
    status.file = (std::uint64_t)st.st_ino;
}

std::string RandomName()
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static thread_local std::mt19937_64 generator{std::random_device{}() ^ (std::uint64_t)getpid() << 32};
    std::string name;
    for (int i = 0; i < 12; ++i) name += letters[generator() % 36];
    return name;
}

} // namespace

bool IsSeparator(char c) { return c == '/'; }
bool IsAbsolute(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string AbsolutePath(const std::string& path)
{
    char full[PATH_MAX];
    if (realpath(path.c_str(), full)) return full;
    if (!path.empty() && !IsAbsolute(path) && getcwd(full, sizeof full)) return JoinPath(full, path);
    return path;
}

std::string ExecutableDirectory()
{
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "./";
    path[n] = 0;
    return DirectoryOf(path);
}

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool CalendarTime(std::int64_t seconds, bool local, std::tm& out)
{
    std::time_t when = (std::time_t)seconds;
    if ((std::int64_t)when != seconds) return false;
    return local ? localtime_r(&when, &out) != nullptr : gmtime_r(&when, &out) != nullptr;
}

bool Status(const std::string& path, FileStatus& status)
{
    status = FileStatus();
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return false;
    status.link = S_ISLNK(st.st_mode);
    if (status.link && stat(path.c_str(), &st) != 0) return true;  // a dangling link: only `link`
    Fill(st, status);
    return true;
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool ListDirectory(const std::string& folder, std::vector<DirectoryEntry>& entries, std::string& error)
{
    entries.clear();
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) {
        error = folder + ": " + std::strerror(errno);
        return false;
    }
    while (dirent* e = readdir(dir)) {
        DirectoryEntry entry;
        entry.name = e->d_name;
        if (entry.name == "." || entry.name == "..") continue;
        Status(JoinPath(folder, entry.name), entry.status);
        entries.push_back(entry);
    }
    closedir(dir);
    return true;
}

bool MakeDirectory(const std::string& path, std::string& error)
{
    if (mkdir(path.c_str(), 0777) == 0) return true;
    FileStatus st;
    if (errno == EEXIST && Status(path, st) && st.directory) return true;
    error = path + ": " + std::strerror(errno);
    return false;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }
bool RemoveEmptyDirectory(const std::string& path) { return rmdir(path.c_str()) == 0; }

bool MakeTemporaryDirectory(const char* prefix, std::string& path, std::string& error)
{
    std::string base = Environment("TMPDIR");
    std::vector<char> name;
    for (const std::string& folder : {base, std::string("/tmp")}) {
        if (folder.empty()) continue;
        std::string pattern = JoinPath(folder, std::string(prefix) + "XXXXXX");
        name.assign(pattern.begin(), pattern.end());
        name.push_back(0);
        if (mkdtemp(name.data())) {
            path = name.data();
            return true;
        }
    }
    error = std::string("cannot make a temporary folder: ") + std::strerror(errno);
    return false;
}

FILE* OpenForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

std::string LastErrorText() { return std::strerror(errno); }

OutputFile::OutputFile(std::string target) : target_(std::move(target)) {}

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Open(std::string& error)
{
    Discard();
    failed_ = false;
    std::string folder = DirectoryOf(target_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = JoinPath(folder, ".kivpack-" + RandomName() + ".tmp");
        // The mode is that of any new file; the umask applies. It is listed
        // for the signal handler only once it is ours.
        int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            temporary_ = name;
            handle_ = fd;
            slot_ = ClaimSlot(temporary_);
            return true;
        }
        if (errno != EEXIST) break;
    }
    error = target_ + ": " + std::strerror(errno);
    return false;
}

bool OutputFile::Write(const void* data, std::size_t size, std::string& error)
{
    const char* at = static_cast<const char*>(data);
    while (size > 0 && handle_ >= 0) {
        ssize_t n = write((int)handle_, at, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = target_ + ": " + std::strerror(n < 0 ? errno : ENOSPC);
            failed_ = true;
            Discard();
            return false;
        }
        at += n;
        size -= (std::size_t)n;
    }
    if (handle_ < 0) {
        error = target_ + ": not open for writing";
        return false;
    }
    return true;
}

bool OutputFile::Commit(std::string& error)
{
    if (handle_ < 0) {
        error = target_ + ": not open for writing";
        return false;
    }
    int fd = (int)handle_;
    handle_ = -1;
    if (close(fd) != 0 || std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        error = target_ + ": " + std::strerror(errno);
        Discard();
        return false;
    }
    temporary_.clear();
    ReleaseSlot(slot_);
    return true;
}

void OutputFile::Discard()
{
    if (handle_ >= 0) close((int)handle_);
    handle_ = -1;
    if (!temporary_.empty()) unlink(temporary_.c_str());
    temporary_.clear();
    ReleaseSlot(slot_);
}

bool IsTerminal(FILE* stream) { return isatty(fileno(stream)) == 1; }

void PrepareProcess(int argc, char** argv, std::vector<std::string>& arguments)
{
    arguments.assign(argv, argv + argc);
}

} // namespace os
} // namespace kivpack
