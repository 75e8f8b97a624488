// kivpack uninstaller, and the uninstaller that build and disks pack for a
// file line that asks for one.
#include "tools/kivpack/uninstaller.h"
#include <cstdio>
#include <map>
#include "engine/closing_values.h"
#include "engine/payload_crc.h"
#include "platform/text.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"
#include "tools/kivpack/commands.h"
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/pe/pe.h"
#include "tools/kivpack/pe/strings.h"
#include "tools/kivpack/script_reader.h"
#include "tools/kivpack/stub.h"
#include "tools/kivpack/szdd_compress.h"
#include "tools/kivpack/text_encoding.h"

namespace {

const char Usage[] =
    "usage: kivpack uninstaller SCRIPT [-o OUT] [--stub KIVUNINST.EXE]\n"
    "                          [--company TEXT] [--copyright TEXT] [--version-number N.N.N.N]\n"
    "\n"
    "Checks SCRIPT as 'kivpack check' does, then writes OUT (default: uninst.exe\n"
    "beside the script): a copy of the uninstaller stub holding the script\n"
    "(resource 12000, SZDD-compressed). Started from the directory the product\n"
    "was installed in, it removes what the script put there. 'kivpack build' and\n"
    "'kivpack disks' pack it themselves for a file line whose destination is\n"
    "uninst.exe in Target when no such source file is beside the script.\n"
    "--stub (or --uninstaller-stub, as build and disks call it) names the\n"
    "uninstaller stub; else $KIVPACK_UNINSTALLER, else kivuninst.exe in\n"
    "../share/kivinstall/ from kivpack's own folder, beside kivpack, or in the\n"
    "build tree.\n";

// The table of installed files (resources/kivformat.h): each file of the
// target directory as the installation leaves it, the parts appended to it
// included. A destination whose source, or one of its parts, is not there
// gets no record, and the uninstaller removes it as installed; so does the
// uninstaller's own file, which holds this table. Without `checksums` only
// the layout is right (the CRC fields are 0) and no file is read: a table
// as long as the real one, for what only needs the uninstaller's size.
bool InstalledFileTable(const PayloadPlan& plan, bool checksums, std::vector<uint8_t>& table, std::string& error)
{
    struct Whole {
        std::string name;
        uint32_t state = PAYLOAD_CRC_START;
        uint64_t size = 0;
        bool known = true;
    };
    std::vector<Whole> wholes;
    std::map<std::string, size_t> last;  // a destination's latest record
    std::vector<unsigned char> piece(1u << 20);
    for (const PayloadFile& f : plan.files) {
        if (f.kind != DirTarget || IsUninstallerLine(f)) continue;
        std::string key = f.destinationName;
        AsciiLowerCase(&key[0]);
        auto at = last.find(key);
        if (!f.append || at == last.end()) {
            last[key] = wholes.size();
            wholes.push_back(Whole());
            wholes.back().name = f.destinationName;
        }
        Whole& whole = wholes[last[key]];
        const std::string path = FindSourceFile(plan, f.disk, f.sourceName);
        if (!checksums) {
            kivpack::os::FileStatus status;
            if (path.empty() || !kivpack::os::Status(path, status) || !status.regular)
                whole.known = false;
            else
                whole.size += status.size;
            continue;
        }
        // Read a piece at a time: a product's largest file need not fit in
        // memory, nor in a 32-bit kivpack's address space.
        FILE* source = path.empty() ? nullptr : kivpack::os::OpenForReading(path);
        if (!source) {
            whole.known = false;
            continue;
        }
        size_t n;
        while ((n = std::fread(piece.data(), 1, piece.size(), source)) > 0) {
            whole.state = Crc32Update(whole.state, piece.data(), unsigned(n));
            whole.size += n;
        }
        if (std::ferror(source)) whole.known = false;
        std::fclose(source);
    }
    table.assign(KIV_CRC_COUNT_SIZE, 0);
    unsigned count = 0;
    for (const Whole& w : wholes) {
        if (!w.known || w.size > 0xFFFFFFFFu) continue;
        if (w.name.size() > 255 || ++count > 0xFFFF) {
            error = "too many files, or too long a name, for the uninstaller's table of installed files";
            return false;
        }
        const uint32_t crc = PayloadCrcFinal(w.state);
        for (int i = 0; i < 4; ++i) table.push_back(uint8_t(crc >> (8 * i)));
        for (int i = 0; i < 4; ++i) table.push_back(uint8_t(w.size >> (8 * i)));
        table.push_back(uint8_t(w.name.size()));
        table.insert(table.end(), w.name.begin(), w.name.end());
    }
    table[0] = uint8_t(count);
    table[1] = uint8_t(count >> 8);
    return true;
}

bool BuildUninstaller(const std::string& scriptPath, const std::string& explicitStub,
                      const std::string& installerStub, const PayloadPlan& plan, const VersionOptions& version,
                      const std::string& fileName, bool checksums, std::vector<uint8_t>& out, std::string& usedStub,
                      std::string& error)
{
    kivpack::PeImage image;
    if (!LoadUninstallerStub(explicitStub, installerStub, image, usedStub, error)) return false;
    std::vector<uint8_t> script;
    if (!ReadWholeFile(scriptPath, script, error)) return false;
    kivpack::ResourceSet resources = image.resources;
    kivpack::Resource r;
    r.type = kivpack::ResourceName::Id(KIV_PAYLOAD_TYPE);
    r.name = kivpack::ResourceName::Id(KIV_SCRIPT_RESOURCE);
    r.language = kivpack::ImageLanguage(resources);
    if (!SzddCompress(script.data(), script.size(), 0, r.data, error)) return false;
    resources.RemoveAll(r.type, r.name);
    resources.Set(std::move(r));
    // The script just read is the one packed: its product names the
    // uninstaller for installers that find it in their target directory.
    if (!kivpack::SetString(resources, IDS_UNINSTALL_PRODUCT, kivpack::ImageLanguage(resources),
                            kivpack::AnsiToUtf16(State.ProductName), error))
        return false;
    kivpack::Resource installed;
    installed.type = kivpack::ResourceName::Id(KIV_INSTALLED_TYPE);
    installed.name = kivpack::ResourceName::Id(KIV_INSTALLED_RESOURCE);
    installed.language = kivpack::ImageLanguage(resources);
    if (!InstalledFileTable(plan, checksums, installed.data, error)) return false;
    resources.RemoveAll(installed.type, installed.name);
    resources.Set(std::move(installed));
    return SetProgramVersion(resources, version, "Uninstall", fileName, error) &&
           kivpack::WritePeWithResources(image, resources, out, error);
}

} // namespace

bool MakeUninstaller(const std::string& scriptPath, const std::string& uninstallerStub,
                     const std::string& installerStub, const PayloadPlan& plan, const VersionOptions& version,
                     const std::string& fileName, std::vector<uint8_t>& out, std::string& usedStub,
                     std::string& error)
{
    return BuildUninstaller(scriptPath, uninstallerStub, installerStub, plan, version, fileName, true, out, usedStub,
                            error);
}

bool UninstallerSize(const PayloadPlan& plan, const std::string& fileName, uint64_t& size, std::string& error)
{
    std::vector<uint8_t> image;
    std::string stub;
    if (!BuildUninstaller(plan.scriptPath, "", "", plan, VersionOptions(), fileName, false, image, stub, error))
        return false;
    size = image.size();
    return true;
}

bool IsUninstallerLine(const PayloadFile& file)
{
    return file.kind == DirTarget && TextEqualNoCase(file.destinationName.c_str(), "uninst.exe");
}

GeneratedUninstaller::~GeneratedUninstaller()
{
    if (!path_.empty()) kivpack::os::RemoveFile(path_);
    if (!folder_.empty()) kivpack::os::RemoveEmptyDirectory(folder_);
}

bool GeneratedUninstaller::SourceFor(const PayloadFile& file, std::string& sourcePath, std::string& error)
{
    if (!sourcePath.empty() || !IsUninstallerLine(file)) return true;
    if (path_.empty()) {
        std::vector<uint8_t> bytes;
        if (!MakeUninstaller(script_, uninstallerStub_, stub_, plan_, version_, file.destinationName, bytes,
                             stubUsed_, error))
            return false;
        // A folder of its own, so that the file's name is ours alone.
        if (!kivpack::os::MakeTemporaryDirectory("kivpack-uninst-", folder_, error)) return false;
        std::string path = kivpack::os::JoinPath(folder_, "uninst.exe");
        if (!kivpack::os::WriteWholeFile(path, bytes.data(), bytes.size(), error)) return false;
        path_ = path;
    }
    notes_.push_back("[" + file.section + "] " + file.line + ": the generated uninstaller");
    sourcePath = path_;
    return true;
}

void GeneratedUninstaller::PrintNotes() const
{
    for (const std::string& note : notes_) std::printf("%s\n", TextForTerminal(note).c_str());
}

std::string UninstallerWarning(const std::string& scriptPath, const PayloadPlan& plan)
{
    if (!State.UninstallName[0]) return "";
    for (const PayloadFile& f : plan.files)
        if (IsUninstallerLine(f)) return "";
    return scriptPath + ": [Basic Information] UninstallName=" + State.UninstallName +
           ": warning: no file line puts uninst.exe into Target, so the uninstall entry names a program "
           "that is not installed (add a line such as UNINST.EXE=Target,Uninstaller to a disk section)";
}

int RunUninstaller(int argc, char** argv)
{
    std::string script, out, stub;
    VersionOptions version;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(Usage, stdout);
            std::fputs(VersionOptionsHelp, stdout);
            return 0;
        }
        if (TakeVersionOption(argc, argv, i, version))
            continue;
        if ((a == "-o" || a == "--stub" || a == "--uninstaller-stub") && i + 1 < argc)
            (a == "-o" ? out : stub) = argv[++i];
        else if (a[0] == '-' || !script.empty()) {
            std::fputs(Usage, stderr);
            return 2;
        } else
            script = a;
    }
    if (script.empty()) {
        std::fputs(Usage, stderr);
        return 2;
    }
    PayloadPlan plan;
    std::string error;
    if (!CheckVersionOptions(version, error)) return CommandFailed("kivpack uninstaller: " + error);
    if (!PlanPayload(script, ScriptTarget(), plan, error)) return CommandFailed(error);
    if (out.empty()) out = plan.scriptDir + "uninst.exe";
    std::vector<uint8_t> bytes;
    std::string used;
    if (!BuildUninstaller(script, stub, "", plan, version, "uninst.exe", true, bytes, used, error) ||
        !WriteFileAtomically(out, bytes, error))
        return CommandFailed(error);
    std::printf("%s: uninstaller for %s, %zu bytes\n", out.c_str(), script.c_str(), bytes.size());
    return 0;
}
