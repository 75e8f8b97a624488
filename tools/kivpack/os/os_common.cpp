// The parts of the seam that are the same on both sides: splitting and
// joining paths by the side's own separators, and whole-file reading and
// writing over the side's file calls.
#include <cerrno>
#include <cstring>
#include "tools/kivpack/os/os.h"

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
