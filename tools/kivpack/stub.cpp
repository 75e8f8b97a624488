#include "tools/kivpack/stub.h"
#include <climits>
#include <cstdlib>
#include <unistd.h>
#include <vector>
#include "tools/kivpack/payload.h"

std::string KivpackDirectory()
{
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "./";
    path[n] = 0;
    std::string s = path;
    return s.substr(0, s.rfind('/') + 1);
}

bool ReadStubCandidate(const std::vector<std::string>& candidates, const char* missing,
                       kivpack::PeImage& image, std::string& usedPath, std::string& error)
{
    for (const std::string& c : candidates) {
        if (access(c.c_str(), R_OK) != 0 && candidates.size() > 1) continue;
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(c, bytes, error)) return false;
        if (!kivpack::ReadPeImage(bytes, image, error)) {
            error = c + ": " + error;
            return false;
        }
        usedPath = c;
        return true;
    }
    error = missing;
    return false;
}

bool LoadStub(const std::string& explicitPath, kivpack::PeImage& image, std::string& usedPath,
              std::string& error)
{
    std::vector<std::string> candidates;
    if (!explicitPath.empty()) {
        candidates.push_back(explicitPath);
    } else if (const char* env = std::getenv("KIVPACK_STUB")) {
        candidates.push_back(env);
    } else {
        std::string own = KivpackDirectory();
        candidates = {own + "kivinstall.exe", own + "../win32/kivinstall.exe"};
    }
    return ReadStubCandidate(candidates, "kivpack: no installer stub found (give --stub or set KIVPACK_STUB)", image,
                             usedPath, error);
}
