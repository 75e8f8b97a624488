// What kivpack needs from the operating system, and the one place where
// Linux and Windows differ: its own directory, paths, the file system, the
// console, and the safe creation of every file it writes. os_posix.cpp and
// os_windows.cpp implement it; everything else in kivpack (and the host side
// of the installer's seam) goes through it.
//
// Text is UTF-8 on both sides. On Windows, names are converted to UTF-16 for
// the system's wide calls, so a path with any character works, and the
// command line is read as UTF-16 and handed on as UTF-8.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace kivpack {
namespace os {

// --- Paths ------------------------------------------------------------------
// '/' separates names on both sides; on Windows '\\' does too, and a drive
// letter ("C:") or a UNC name ("\\server\share") begins an absolute path.
bool IsSeparator(char c);
bool IsAbsolute(const std::string& path);
// The folder part of `path`, up to and including its last separator; empty
// when `path` has none (a name in the current folder).
std::string DirectoryOf(const std::string& path);
// The last name of `path`.
std::string BaseName(const std::string& path);
// `folder` and `name` with one separator between them (none when `folder`
// is empty or already ends in one).
std::string JoinPath(const std::string& folder, const std::string& name);
// `path` as an absolute path: links resolved on POSIX when it exists, the
// current folder put in front otherwise. Unchanged when nothing helps.
std::string AbsolutePath(const std::string& path);
// The folder of the running kivpack executable, ending in a separator, with
// links resolved; "./" when the system does not say.
std::string ExecutableDirectory();
// The value of an environment variable; empty when it is not set.
std::string Environment(const char* name);
// `seconds` since 1970 as a calendar time in UTC or in the local time zone;
// false when the system cannot represent it.
bool CalendarTime(std::int64_t seconds, bool local, std::tm& out);

// --- The file system ----------------------------------------------------------
struct FileStatus {
    bool regular = false;    // a file (a link is followed to what it names)
    bool directory = false;
    bool link = false;       // the name itself is a symbolic link (or a Windows reparse point)
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;  // last write, nanoseconds since 1970
    std::uint64_t device = 0, file = 0;  // identify the file on this machine
};
// False when nothing is at `path`. Links are followed for every field but
// `link`.
bool Status(const std::string& path, FileStatus& status);
// Whether both paths name one existing file.
bool SameFile(const std::string& a, const std::string& b);

struct DirectoryEntry {
    std::string name;
    FileStatus status;
};
// Every entry of `folder` but "." and "..", in the system's order; false
// with `error` when the folder cannot be read.
bool ListDirectory(const std::string& folder, std::vector<DirectoryEntry>& entries, std::string& error);
// Creates one folder; one that exists already is success, unless
// `mustBeNew` asks for a folder that this call made.
bool MakeDirectory(const std::string& path, std::string& error, bool mustBeNew = false);
// Removes a file or an empty folder (never what a link names); false when it
// could not.
bool RemoveFile(const std::string& path);
bool RemoveEmptyDirectory(const std::string& path);
// A new, empty folder of our own in the system's temporary folder ($TMPDIR,
// else /tmp; the user's temporary folder on Windows).
bool MakeTemporaryDirectory(const char* prefix, std::string& path, std::string& error);
// Opens a file for reading bytes; null (with errno set) when it cannot.
FILE* OpenForReading(const std::string& path);
// The system's text for the last failed call (errno, or GetLastError on
// Windows where the call was a Windows one).
std::string LastErrorText();

// --- Writing files --------------------------------------------------------------
// An output file under construction. It is written to a temporary file
// created new in the target's own folder (a unique name, O_EXCL|O_NOFOLLOW on
// POSIX, CREATE_NEW on Windows, so that nothing is written through a link or
// into a file someone else made), and Commit renames it over the target in
// one step: the target is either its old self or complete. Discard, the
// destructor, a failure and an interruption of kivpack (Ctrl+C, SIGTERM)
// remove the temporary. A link at the target's name is replaced, not
// followed. One object per output; objects may live on different threads.
//
// WriteAt and ReadAt reach bytes already written, for a field filled in
// last or for a scratch file that is read back and then discarded, never
// committed. On Windows they move the point that Write appends at, so they
// come after the last Write.
class OutputFile {
public:
    explicit OutputFile(std::string target);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Open(std::string& error);
    bool Write(const void* data, std::size_t size, std::string& error);
    bool WriteAt(std::uint64_t offset, const void* data, std::size_t size, std::string& error);
    // Exactly `size` bytes, or false: a short file is an error.
    bool ReadAt(std::uint64_t offset, void* data, std::size_t size, std::string& error) const;
    bool Commit(std::string& error);
    void Discard();
    const std::string& Target() const { return target_; }

private:
    std::string target_;
    std::string temporary_;
    std::intptr_t handle_ = -1;  // a file descriptor, or a Windows HANDLE
    int slot_ = -1;              // its place in the list that an interruption clears
    bool failed_ = false;
};

// The whole of `data` as the file `path`, through an OutputFile.
bool WriteWholeFile(const std::string& path, const void* data, std::size_t size, std::string& error);
// The whole of the file at `path`.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& data, std::string& error);

// --- Other programs ----------------------------------------------------------
// Runs the program `arguments[0]` (looked for on PATH) with those arguments,
// no shell between, its environment kivpack's own with `environment`
// ("NAME=VALUE" each) put over it, and waits for it. Its output and error
// output are collected in `output`. False when it could not be started
// (`missing` is then true when no such program is on PATH); otherwise true
// with its exit status in `exitCode` (-1 when a signal ended it). kivpack.exe
// starts no programs: false on Windows.
bool RunProgram(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                int& exitCode, std::string& output, bool& missing, std::string& error);

// --- The console ------------------------------------------------------------------
// Whether `stream` (stdout or stderr) is a terminal or console window.
bool IsTerminal(FILE* stream);
// --- Other programs and the user's folders ------------------------------------
// POSIX only: on Windows each fails with a message saying so.
//
// The full path of program `name` as the shell would find it on PATH; false
// when it is on none of its folders.
bool FindProgram(const std::string& name, std::string& path);
// Starts argv[0] (a path, or a name looked up on PATH) with `environment`
// ("NAME=VALUE") added to kivpack's own, no input, its error output on
// kivpack's and its standard output too unless `quiet`; `pid` identifies it
// for WaitProgram.
bool StartProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment, bool quiet,
                  long& pid, std::string& error);
// Waits for a program that StartProgram started to end (`pid` -1: any of
// them); sets `pid` and its exit code (128 + the signal that killed it).
// False when none is left.
bool WaitProgram(long& pid, int& code);
// The user's own folder `name` for data kept between runs:
// $XDG_CACHE_HOME/NAME, else $HOME/.cache/NAME, made (mode 0700) when
// missing. Refused when it is a link, belongs to another user or can be
// written by others, so that no one else can plant anything in it.
bool PrivateCacheFolder(const char* name, std::string& path, std::string& error);

// Called once by main: on Windows, makes the console show kivpack's UTF-8
// messages (its output code page, restored at exit) and turns the UTF-16
// command line into UTF-8 `arguments`; on POSIX copies argv.
void PrepareProcess(int argc, char** argv, std::vector<std::string>& arguments);

} // namespace os
} // namespace kivpack
