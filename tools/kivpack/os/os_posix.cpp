// The seam on Linux and other POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/os/os_internal.h"

namespace kivpack {
namespace os {
namespace {

// The temporaries being written, which the signal handler removes.
PendingList<char, PATH_MAX> Pending;

void RemovePendingAndDie(int signal)
{
    Pending.RemoveAll([](const char* path) { unlink(path); });
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

int ClaimSlot(const std::string& path)
{
    static std::atomic<bool> handlersInstalled{false};
    if (!handlersInstalled.exchange(true))
        for (int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, RemovePendingAndDie);
    return Pending.Claim(path);
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

bool MakeDirectory(const std::string& path, std::string& error, bool mustBeNew)
{
    if (mkdir(path.c_str(), 0777) == 0) return true;
    FileStatus st;
    if (errno == EEXIST && !mustBeNew && Status(path, st) && st.directory) return true;
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

void ForgetTemporary(int& slot) { Pending.Release(slot); }

bool CreateNewFile(const std::string& path, std::intptr_t& handle, int& slot, bool& exists, std::string& reason)
{
    // The mode is that of any new file; the umask applies. It is listed for
    // the signal handler only once it is ours.
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    exists = fd < 0 && errno == EEXIST;
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    handle = fd;
    slot = ClaimSlot(path);
    return true;
}

bool WriteSome(std::intptr_t handle, const char* data, std::size_t size, std::size_t& written, std::string& reason)
{
    ssize_t n;
    do n = write((int)handle, data, size);
    while (n < 0 && errno == EINTR);
    if (n <= 0) {
        reason = std::strerror(n < 0 ? errno : ENOSPC);
        return false;
    }
    written = (std::size_t)n;
    return true;
}

bool ReadSomeAt(std::intptr_t handle, std::uint64_t offset, char* data, std::size_t size, std::size_t& done,
                std::string& reason)
{
    ssize_t n;
    do n = pread((int)handle, data, size, (off_t)offset);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        reason = std::strerror(errno);
        return false;
    }
    done = (std::size_t)n;
    return true;
}

bool WriteSomeAt(std::intptr_t handle, std::uint64_t offset, const char* data, std::size_t size, std::size_t& done,
                 std::string& reason)
{
    ssize_t n;
    do n = pwrite((int)handle, data, size, (off_t)offset);
    while (n < 0 && errno == EINTR);
    if (n <= 0) {
        reason = std::strerror(n < 0 ? errno : ENOSPC);
        return false;
    }
    done = (std::size_t)n;
    return true;
}

bool CloseFile(std::intptr_t handle, std::string& reason)
{
    if (close((int)handle) == 0) return true;
    reason = std::strerror(errno);
    return false;
}

bool RenameOver(const std::string& from, const std::string& to, std::string& reason)
{
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    reason = std::strerror(errno);
    return false;
}

void RemoveTemporary(const std::string& path, int& slot)
{
    unlink(path.c_str());
    ForgetTemporary(slot);
}

namespace {

// kivpack's own environment with `environment` ("NAME=VALUE" each) put over
// it: a variable of the same name is replaced, not doubled.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& environment)
{
    std::vector<std::string> variables(environment);
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        std::string name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const std::string& v : environment) replaced = replaced || v.compare(0, name.size(), name) == 0;
        if (!replaced) variables.push_back(entry);
    }
    return variables;
}

// Pointers into `texts`, ended by a null, as exec and spawn take them.
std::vector<char*> NullEnded(const std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    for (const std::string& t : texts) pointers.push_back(const_cast<char*>(t.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

const int KeepOutput = -1;     // its output and error output are kivpack's
const int DiscardOutput = -2;  // its output goes nowhere, its error output to kivpack's

// Starts `program` (a path) with `arguments`, the merged environment and no
// input. `output` is a descriptor that takes its output and error output,
// or KeepOutput or DiscardOutput. The child gets everything made here,
// before it exists: nothing runs in it between the fork and the exec, where
// a program with threads may call only what is safe after a fork. Returns 0
// or the error number.
int Spawn(const std::string& program, const std::vector<std::string>& arguments,
          const std::vector<std::string>& environment, int output, pid_t& pid)
{
    const std::vector<std::string> variables = MergedEnvironment(environment);
    std::vector<char*> argv = NullEnded(arguments), envp = NullEnded(variables);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (output == DiscardOutput) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    } else if (output != KeepOutput) {
        posix_spawn_file_actions_adddup2(&actions, output, 1);
        posix_spawn_file_actions_adddup2(&actions, output, 2);
    }
    int started = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return started;
}

} // namespace

bool RunProgram(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                int& exitCode, std::string& output, bool& missing, std::string& error)
{
    missing = false;
    output.clear();
    if (arguments.empty()) {
        error = "no program to run";
        return false;
    }
    std::string program;
    if (!FindProgram(arguments[0], program)) {
        missing = true;
        error = arguments[0] + ": " + std::strerror(ENOENT);
        return false;
    }
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        error = arguments[0] + ": " + std::strerror(errno);
        return false;
    }
    pid_t pid = 0;
    int started = Spawn(program, arguments, environment, pipeEnds[1], pid);
    close(pipeEnds[1]);
    if (started != 0) {
        close(pipeEnds[0]);
        error = arguments[0] + ": " + std::strerror(started);
        return false;
    }
    char buffer[4096];
    for (;;) {
        ssize_t n = read(pipeEnds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        // Enough to say what went wrong; a chatty program is not kept whole.
        if (output.size() < 65536) output.append(buffer, (size_t)n);
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) {
            error = arguments[0] + ": " + std::strerror(errno);
            return false;
        }
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
}

bool IsTerminal(FILE* stream) { return isatty(fileno(stream)) == 1; }

bool FindProgram(const std::string& name, std::string& path)
{
    if (name.find('/') != std::string::npos) {
        path = name;
        return access(name.c_str(), X_OK) == 0;
    }
    std::string list = Environment("PATH");
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        std::string folder = list.substr(start, end - start);
        if (!folder.empty()) {
            std::string candidate = JoinPath(folder, name);
            struct stat st;
            if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0) {
                path = candidate;
                return true;
            }
        }
        start = end + 1;
    }
    return false;
}

bool StartProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment, bool quiet,
                  long& pid, std::string& error)
{
    std::string program;
    if (argv.empty() || !FindProgram(argv[0], program)) {
        error = "cannot find " + (argv.empty() ? std::string("the program") : argv[0]);
        return false;
    }
    pid_t child = 0;
    int started = Spawn(program, argv, environment, quiet ? DiscardOutput : KeepOutput, child);
    if (started != 0) {
        error = std::string("cannot start ") + argv[0] + ": " + std::strerror(started);
        return false;
    }
    pid = child;
    return true;
}

bool WaitProgram(long& pid, int& code)
{
    int status = 0;
    pid_t ended;
    do ended = waitpid(pid > 0 ? (pid_t)pid : -1, &status, 0);
    while (ended < 0 && errno == EINTR);
    if (ended < 0) return false;
    pid = ended;
    code = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 1;
    return true;
}

bool PrivateCacheFolder(const char* name, std::string& path, std::string& error)
{
    std::string base = Environment("XDG_CACHE_HOME");
    if (base.empty() || base[0] != '/') {
        std::string home = Environment("HOME");
        if (home.empty()) {
            error = "neither XDG_CACHE_HOME nor HOME is set: no folder of the user's own to keep templates in";
            return false;
        }
        base = JoinPath(home, ".cache");
        if (mkdir(base.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot make " + base + ": " + std::strerror(errno);
            return false;
        }
    }
    path = JoinPath(base, name);
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot make " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & 022)) {
        error = path + " is not a folder of this user's own (a link, another user's, or writable by others); "
                       "remove it or set XDG_CACHE_HOME to another folder";
        return false;
    }
    return true;
}

void PrepareProcess(int argc, char** argv, std::vector<std::string>& arguments)
{
    arguments.assign(argv, argv + argc);
}

} // namespace os
} // namespace kivpack
