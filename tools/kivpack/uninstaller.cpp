// kivpack uninstaller, and the uninstaller that build and disks pack for a
// file line that asks for one.
#include "tools/kivpack/uninstaller.h"
#include <cstdio>
#include "resources/kivformat.h"
#include "script/installer_state.h"
#include "tools/kivpack/commands.h"
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/pe/pe.h"
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

bool BuildUninstaller(const std::string& scriptPath, const std::string& explicitStub,
                      const std::string& installerStub, const VersionOptions& version,
                      const std::string& fileName, std::vector<uint8_t>& out, std::string& usedStub,
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
    return SetProgramVersion(resources, version, "Uninstall", fileName, error) &&
           kivpack::WritePeWithResources(image, resources, out, error);
}

} // namespace

bool MakeUninstaller(const std::string& scriptPath, const std::string& uninstallerStub,
                     const std::string& installerStub, const VersionOptions& version,
                     const std::string& fileName, std::vector<uint8_t>& out, std::string& usedStub,
                     std::string& error)
{
    return BuildUninstaller(scriptPath, uninstallerStub, installerStub, version, fileName, out, usedStub, error);
}

bool IsUninstallerLine(const PayloadFile& file)
{
    if (file.kind != DirTarget || file.destinationName.size() != 10) return false;
    std::string lower;
    for (char c : file.destinationName) lower += (char)((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    return lower == "uninst.exe";
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
        if (!MakeUninstaller(script_, uninstallerStub_, stub_, version_, file.destinationName, bytes, stubUsed_,
                             error))
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
    if (!BuildUninstaller(script, stub, "", version, "uninst.exe", bytes, used, error) || !WriteFileAtomically(out, bytes, error))
        return CommandFailed(error);
    std::printf("%s: uninstaller for %s, %zu bytes\n", out.c_str(), script.c_str(), bytes.size());
    return 0;
}
