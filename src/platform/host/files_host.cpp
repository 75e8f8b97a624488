// File access on the host: the disk, overlaid by in-memory files that tests
// and fuzzers register under a path name.
#include <cstdio>
#include <map>

#include "platform/host/host_internal.h"
#include "platform/host/host_platform.h"

namespace {

// Paths are matched without regard to ASCII case, as Windows matches them.
std::string PathKey(const char* path)
{
    std::string key(path);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = (char)(c + 0x20);
    return key;
}

std::map<std::string, std::string>& MemoryFiles()
{
    static std::map<std::string, std::string> files;
    return files;
}

}   // namespace

void HostSetMemoryFile(const char* path, const void* data, size_t size)
{
    MemoryFiles()[PathKey(path)] = std::string(static_cast<const char*>(data), size);
}

void HostRemoveMemoryFile(const char* path) { MemoryFiles().erase(PathKey(path)); }
void HostClearMemoryFiles() { MemoryFiles().clear(); }

int HostMemoryFileExists(const char* path)
{
    return path && MemoryFiles().count(PathKey(path)) != 0;
}

bool ReadHostFile(const char* path, std::string& bytes)
{
    bytes.clear();
    if (!path) return false;
    auto memory = MemoryFiles().find(PathKey(path));
    if (memory != MemoryFiles().end()) {
        bytes = memory->second;
        return true;
    }
    kivpack::os::FileStatus info;
    if (!kivpack::os::Status(path, info) || !info.regular) return false;
    FILE* file = kivpack::os::OpenForReading(path);
    if (!file) return false;
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) bytes.clear();
    return !failed;
}

int FileExists(const char* path)
{
    if (!path || !*path) return 0;
    if (HostMemoryFileExists(path)) return 1;
    kivpack::os::FileStatus info;
    if (!kivpack::os::Status(path, info) || !info.regular) return false;
    FILE* file = kivpack::os::OpenForReading(path);
    if (file) std::fclose(file);
    return file != nullptr;
}

void DeleteFileQuietly(const char* path)
{
    if (!path) return;
    if (HostMemoryFileExists(path)) {
        HostRemoveMemoryFile(path);
        return;
    }
    kivpack::os::RemoveFile(path);
}
