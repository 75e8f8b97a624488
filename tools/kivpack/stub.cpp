#include "tools/kivpack/stub.h"
#include "kivversion.h"
#include "resources/kivformat.h"
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/payload.h"

const ShippedFile InstallerStub = {"kivinstall.exe", "installer", "installer stub", "--stub", "KIVPACK_STUB",
                                   "../win32/kivinstall.exe"};
const ShippedFile UninstallerStub = {"kivuninst.exe", "uninstaller", "uninstaller stub", "--uninstaller-stub",
                                     "KIVPACK_UNINSTALLER", "../win32/kivuninst.exe"};

namespace {

const char StubVersionPrefix[] = "KivInstall ";

// `path` with its "NAME/.." pairs taken out, for messages and for the
// folder of an installation. The executable's folder has its links resolved,
// so this names the same place.
std::string Tidy(const std::string& path)
{
    std::vector<std::string> parts;
    std::string root = kivpack::os::IsAbsolute(path) ? path.substr(0, path.find_first_of("/\\") + 1) : "";
    std::string part;
    for (size_t i = root.size(); i <= path.size(); ++i) {
        if (i < path.size() && !kivpack::os::IsSeparator(path[i])) {
            part += path[i];
            continue;
        }
        if (part == ".." && !parts.empty() && parts.back() != "..")
            parts.pop_back();
        else if (!part.empty() && part != ".")
            parts.push_back(part);
        part.clear();
    }
    const char* separator = kivpack::os::IsSeparator('\\') ? "\\" : "/";
    std::string out = root;
    for (size_t i = 0; i < parts.size(); ++i) out += (i ? separator : "") + parts[i];
    if (!path.empty() && kivpack::os::IsSeparator(path.back()) && !parts.empty()) out += separator;
    return out;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return text;
}

bool ReadStub(const ShippedFile& file, const ShippedLookup& lookup, kivpack::PeImage& image, std::string& usedPath,
              std::string& error)
{
    if (lookup.path.empty()) {
        error = "kivpack: " + NotFoundMessage(file, lookup);
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(lookup.path, bytes, error)) return false;
    if (!kivpack::ReadPeImage(bytes, image, error)) {
        error = lookup.path + ": " + error;
        return false;
    }
    usedPath = lookup.path;
    return CheckStubVersion(image, file, lookup.path, error);
}

} // namespace

std::string ShippedFolder() { return Tidy(kivpack::os::ExecutableDirectory() + "../share/kivinstall/"); }

ShippedLookup FindShippedFile(const ShippedFile& file, const std::string& explicitPath,
                              const std::vector<std::string>& extraFolders)
{
    ShippedLookup lookup;
    std::string named = !explicitPath.empty() ? explicitPath : kivpack::os::Environment(file.variable);
    if (!named.empty()) {
        lookup.named = true;
        lookup.path = named;
        lookup.searched.push_back(named);
        return lookup;
    }
    std::string own = kivpack::os::ExecutableDirectory();
    std::vector<std::string> candidates;
    for (const std::string& folder : extraFolders) candidates.push_back(kivpack::os::JoinPath(folder, file.name));
    candidates.push_back(ShippedFolder() + file.name);
    candidates.push_back(Tidy(own + file.name));
    candidates.push_back(Tidy(own + file.buildTree));
    for (const std::string& c : candidates) {
        lookup.searched.push_back(c);
        kivpack::os::FileStatus st;
        if (kivpack::os::Status(c, st) && st.regular) {
            lookup.path = c;
            return lookup;
        }
    }
    return lookup;
}

std::string NotFoundMessage(const ShippedFile& file, const ShippedLookup& lookup)
{
    std::string places;
    for (size_t i = 0; i < lookup.searched.size(); ++i)
        places += (i == 0 ? "" : i + 1 == lookup.searched.size() ? " and " : ", ") + lookup.searched[i];
    return std::string("no ") + file.what + " found; looked for " + places + " (give " + file.option + " " +
           Upper(file.name) + " or set " + file.variable + ")";
}

bool LoadStub(const std::string& explicitPath, kivpack::PeImage& image, std::string& usedPath,
              std::string& error)
{
    return ReadStub(InstallerStub, FindShippedFile(InstallerStub, explicitPath), image, usedPath, error);
}

bool LoadUninstallerStub(const std::string& explicitPath, const std::string& installerStub,
                         kivpack::PeImage& image, std::string& usedPath, std::string& error)
{
    std::string hint = !installerStub.empty() ? installerStub : kivpack::os::Environment(InstallerStub.variable);
    std::vector<std::string> extra;
    if (!hint.empty()) extra.push_back(kivpack::os::DirectoryOf(hint).empty() ? "." : kivpack::os::DirectoryOf(hint));
    return ReadStub(UninstallerStub, FindShippedFile(UninstallerStub, explicitPath, extra), image, usedPath, error);
}

std::string StubVersion(const kivpack::PeImage& image, std::string* kind)
{
    std::u16string text;
    std::string ansi;
    if (!kivpack::FindString(image.resources, IDS_STUB_VERSION, kivpack::ImageLanguage(image.resources), text) ||
        !kivpack::Utf16ToAnsi(text, ansi) || ansi.compare(0, sizeof StubVersionPrefix - 1, StubVersionPrefix) != 0)
        return "";
    std::string rest = ansi.substr(sizeof StubVersionPrefix - 1);
    size_t space = rest.find(' ');
    if (kind) *kind = space == std::string::npos ? "" : rest.substr(space + 1);
    return rest.substr(0, space);
}

bool CheckStubVersion(const kivpack::PeImage& image, const ShippedFile& file, const std::string& path,
                      std::string& error)
{
    std::string kind;
    std::string version = StubVersion(image, &kind);
    if (version == KIV_VERSION && kind == file.kind) return true;
    std::string use = std::string("use the ") + file.what + " of KivInstall " + KIV_VERSION + " (" + file.option +
                      " or " + file.variable + " names one)";
    if (!version.empty() && kind != file.kind)
        error = path + ": not an " + file.what + " but the " + (kind.empty() ? "stub" : kind + " stub") +
                " of KivInstall " + version + "; " + use;
    else if (version.empty())
        error = path + ": not an " + file.what + " of KivInstall: it carries no release (string " +
                std::to_string(IDS_STUB_VERSION) + "); " + use;
    else
        error = path + ": the " + file.what + " of KivInstall " + version + ", but this is kivpack " + KIV_VERSION +
                ", which packs only the stubs of its own release; " + use;
    return false;
}
