// The parts of the seam that are the same on both sides: splitting and
// joining paths by the side's own separators, whole-file reading and
// writing over the side's file calls, the temporaries' names.
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/os/os_internal.h"

namespace kivpack {
namespace os {

std::string DirectoryOf(const std::string& path)
{
    for (size_t i = path.size(); i > 0; --i)
        if (IsSeparator(path[i - 1])) return path.substr(0, i);
#ifdef _WIN32
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
#endif
    return "";
}

std::string BaseName(const std::string& path) { return path.substr(DirectoryOf(path).size()); }

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty() || IsSeparator(folder.back())) return folder + name;
#ifdef _WIN32
    if (folder.size() == 2 && folder[1] == ':') return folder + name;
#endif
    return folder + "/" + name;
}

std::string RandomName()
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static thread_local std::mt19937_64 generator{
        std::random_device{}() ^ (std::uint64_t)std::chrono::steady_clock::now().time_since_epoch().count()};
    std::string name;
    for (int i = 0; i < 12; ++i) name += letters[generator() % 36];
    return name;
}

OutputFile::OutputFile(std::string target) : target_(std::move(target)) {}

OutputFile::~OutputFile() { Discard(); }

bool OutputFile::Open(std::string& error)
{
    Discard();
    failed_ = false;
    std::string reason = "no free temporary name";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = JoinPath(DirectoryOf(target_), ".kivpack-" + RandomName() + ".tmp");
        bool exists = false;
        if (CreateNewFile(name, handle_, slot_, exists, reason)) {
            temporary_ = name;
            return true;
        }
        if (!exists) break;
    }
    error = target_ + ": " + reason;
    return false;
}

namespace {

// Calls `step(offset, from, left, done, reason)` until `size` bytes from
// `offset` are done: false at the first step that fails or does nothing.
template <typename Step>
bool WholeRange(std::uint64_t offset, std::size_t size, std::string& reason, Step step)
{
    for (std::size_t from = 0; from < size;) {
        std::size_t done = 0;
        if (!step(offset + from, from, size - from, done, reason) || done == 0) return false;
        from += done;
    }
    return true;
}

} // namespace

bool OutputFile::Write(const void* data, std::size_t size, std::string& error)
{
    return WriteAt(~std::uint64_t(0), data, size, error);
}

bool OutputFile::WriteAt(std::uint64_t offset, const void* data, std::size_t size, std::string& error)
{
    if (handle_ == -1) {
        error = target_ + ": not open for writing";
        return false;
    }
    // No offset: at the end, where the file's own position is.
    const char* at = static_cast<const char*>(data);
    std::string reason;
    bool ok = WholeRange(offset, size, reason, [&](std::uint64_t where, std::size_t from, std::size_t left,
                                                   std::size_t& done, std::string& r) {
        return offset == ~std::uint64_t(0) ? WriteSome(handle_, at + from, left, done, r)
                                           : WriteSomeAt(handle_, where, at + from, left, done, r);
    });
    if (ok) return true;
    error = target_ + ": " + reason;
    failed_ = true;
    Discard();
    return false;
}

bool OutputFile::ReadAt(std::uint64_t offset, void* data, std::size_t size, std::string& error) const
{
    char* at = static_cast<char*>(data);
    std::string reason = "shorter than what was written";
    if (handle_ != -1 && WholeRange(offset, size, reason, [&](std::uint64_t where, std::size_t from,
                                                               std::size_t left, std::size_t& done,
                                                               std::string& r) {
            return ReadSomeAt(handle_, where, at + from, left, done, r);
        }))
        return true;
    error = target_ + (handle_ == -1 ? ": not open" : ": reading back a temporary: " + reason);
    return false;
}

bool OutputFile::Commit(std::string& error)
{
    if (handle_ == -1) {
        error = target_ + ": not open for writing";
        return false;
    }
    std::intptr_t handle = handle_;
    handle_ = -1;
    std::string reason;
    if (!CloseFile(handle, reason) || !RenameOver(temporary_, target_, reason)) {
        error = target_ + ": " + reason;
        Discard();
        return false;
    }
    temporary_.clear();
    ForgetTemporary(slot_);
    return true;
}

void OutputFile::Discard()
{
    std::string reason;
    if (handle_ != -1) CloseFile(handle_, reason);
    handle_ = -1;
    if (!temporary_.empty()) RemoveTemporary(temporary_, slot_);
    temporary_.clear();
}

bool WriteWholeFile(const std::string& path, const void* data, std::size_t size, std::string& error)
{
    OutputFile out(path);
    return out.Open(error) && out.Write(data, size, error) && out.Commit(error);
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& data, std::string& error)
{
    FILE* f = OpenForReading(path);
    if (!f) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    data.clear();
    std::uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + n);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        error = path + ": read error";
        return false;
    }
    return true;
}

} // namespace os
} // namespace kivpack
