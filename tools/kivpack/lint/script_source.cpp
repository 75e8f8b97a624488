#include <algorithm>
#include <cstring>
#include "platform/host/host_platform.h"
#include "tools/kivpack/lint/script_lint.h"
#include "tools/kivpack/payload.h"
#include "script/keywords.h"

namespace lint {
namespace {

ScriptSource& Current()
{
    static ScriptSource source;
    return source;
}

} // namespace

const ScriptSource& CurrentScript() { return Current(); }

bool PrepareScript(const std::string& path, const std::string& loaderPath)
{
    ScriptSource& s = Current();
    if (!s.loaderPath.empty()) HostRemoveMemoryFile(s.loaderPath.c_str());
    s = ScriptSource();
    s.path = path;
    s.loaderPath = loaderPath;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(path, bytes, error)) return true;
    s.readable = true;
    if (!ConvertToAnsi(bytes, s.ansi, s.conversion)) return false;
    s.scan = ScanScript(s.ansi);
    if (s.conversion.encoding == SourceEncoding::Utf16)
        s.packed.assign(bytes.begin(), bytes.end());
    else
        s.packed = s.ansi;
    // Text packed as it is stays on disk, where the profile reader keeps its
    // parse between queries; converted text is read from memory.
    if (s.packed.size() != bytes.size() || !std::equal(s.packed.begin(), s.packed.end(), bytes.begin()))
        HostSetMemoryFile(loaderPath.c_str(), s.packed.data(), s.packed.size());
    return true;
}

std::string DidYouMean(const std::string& word, const std::vector<std::string>& candidates)
{
    std::string nearest = NearestName(word, candidates);
    return nearest.empty() ? std::string() : "did you mean " + nearest + "?";
}

std::string UnknownKeyword(const std::string& word)
{
    std::vector<std::string> keywords(DirectoryKeywords, DirectoryKeywords + 5);
    std::string hint = DidYouMean(word, keywords);
    return "unknown directory keyword '" + word + "' (Target, Windows, System, System32 or Fonts)" +
           (hint.empty() ? "" : "; " + hint);
}

} // namespace lint
