// kivpack list and kivpack extract: what a packed installer holds, and its
// files back out under their destination names.
#include <cstdio>
#include <map>
#include <string>
#include "engine/payload_crc.h"
#include "engine/szdd.h"
#include "resources/kivformat.h"
#include "tools/kivpack/commands.h"
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/payload.h"
#include "tools/kivpack/pe/pe.h"
#include "tools/kivpack/script_reader.h"

namespace {

const char ListUsage[] =
    "usage: kivpack list INSTALLER.EXE\n"
    "\n"
    "Lists every payload resource of a packed installer: its id, what the\n"
    "script makes of it, its compressed and expanded sizes and the CRC-32 of its\n"
    "expanded bytes that the installer checks ('-' when none is recorded); then\n"
    "how many help topics it carries as text for Windows without a help viewer.\n";

const char ExtractUsage[] =
    "usage: kivpack extract INSTALLER.EXE [-d DIR]\n"
    "\n"
    "Writes the install script, the help file and every payload file of a packed\n"
    "installer into DIR (default: the current directory): payload files under\n"
    "DIR/KEYWORD/DESTINATION (Target/, System/, ...), appended parts joined as\n"
    "the installer joins them. Names that would leave DIR are refused. Every\n"
    "payload is checked against its recorded CRC-32 before anything is written;\n"
    "a mismatch is reported, naming the file, and nothing is extracted.\n";

// A packed installer opened for reading: its payloads and its script's plan.
struct Installer {
    std::map<uint16_t, std::vector<uint8_t>> payload;
    std::vector<uint8_t> crcTable;  // empty: no checksums recorded
    std::string scriptName = "INSTALL.INI";
    std::string temporaryDir;
    PayloadPlan plan;
    uint32_t helpTextTopics = 0;  // the count at the head of the help-text resource
    size_t helpTextBytes = 0, helpStyleBytes = 0;  // the sizes of the help-text and help-style resources

    ~Installer()
    {
        if (temporaryDir.empty()) return;
        kivpack::os::RemoveFile(kivpack::os::JoinPath(temporaryDir, scriptName));
        kivpack::os::RemoveEmptyDirectory(temporaryDir);
    }
};

bool Expand(const std::vector<uint8_t>& data, std::vector<uint8_t>& out, std::string& error)
{
    unsigned size = SzddExpandedSize(data.data(), (unsigned)data.size());
    if (size > 0x40000000u) {
        error = "declares an expanded size of " + std::to_string(size) + " bytes";
        return false;
    }
    out.resize(size);
    unsigned length = 0;
    int r = SzddExpandMemory(data.data(), (unsigned)data.size(), out.data(), size, &length);
    if (r) {
        error = r == SZDD_UNKNOWN_MODE ? "unknown compression mode" : "compressed data ends early";
        return false;
    }
    out.resize(length);
    return true;
}

bool OpenInstaller(const std::string& path, Installer& installer, std::string& error)
{
    std::vector<uint8_t> bytes;
    kivpack::PeImage image;
    if (!ReadWholeFile(path, bytes, error)) return false;
    if (!kivpack::ReadPeImage(bytes, image, error)) {
        error = path + ": " + error;
        return false;
    }
    for (const kivpack::Resource& r : image.resources.Entries())
        if (!r.type.isString && r.type.id == KIV_PAYLOAD_TYPE && !r.name.isString)
            installer.payload[r.name.id] = r.data;
        else if (!r.type.isString && r.type.id == KIV_HELP_TEXT_TYPE && r.data.size() >= 4) {
            installer.helpTextTopics = r.data[0] | r.data[1] << 8 | r.data[2] << 16 | uint32_t(r.data[3]) << 24;
            installer.helpTextBytes = r.data.size();
        } else if (!r.type.isString && r.type.id == KIV_HELP_STYLE_TYPE) {
            installer.helpStyleBytes = r.data.size();
        }
    if (const std::vector<uint8_t>* table = kivpack::FindPayloadCrcTable(image.resources)) installer.crcTable = *table;
    std::u16string name;
    std::string ansi;
    if (kivpack::FindString(image.resources, IDS_SCRIPT_FILE_NAME, kivpack::ImageLanguage(image.resources), name) &&
        kivpack::Utf16ToAnsi(name, ansi) && !ansi.empty() && ansi.find_first_of("/\\:") == std::string::npos &&
        ansi != "." && ansi != "..")
        installer.scriptName = ansi;
    auto script = installer.payload.find(KIV_SCRIPT_RESOURCE);
    if (script == installer.payload.end()) {
        error = path + ": not a packed installer (it holds no install script)";
        return false;
    }
    std::vector<uint8_t> text;
    if (!Expand(script->second, text, error)) {
        error = path + ": install script: " + error;
        return false;
    }
    if (!kivpack::os::MakeTemporaryDirectory("kivpack-", installer.temporaryDir, error)) return false;
    std::string scriptPath = kivpack::os::JoinPath(installer.temporaryDir, installer.scriptName);
    if (!WriteFileAtomically(scriptPath, text, error)) return false;
    if (!PlanPayload(scriptPath, ScriptTarget(), installer.plan, error, PlanChecks::LoaderOnly)) return false;
    return true;
}

std::string Describe(const Installer& installer, uint16_t id)
{
    if (id == KIV_SCRIPT_RESOURCE) return "install script " + installer.scriptName;
    if (id == KIV_HELP_RESOURCE) return "help file " + installer.plan.helpInstalled;
    for (const PayloadFile& f : installer.plan.files)
        if (f.resourceId == id)
            return "[" + f.section + "] " + f.sourceName + " -> " + KindKeyword(f.kind) + "\\" + f.destinationName;
    return "not named by the script";
}

// A destination name as a relative path below the extraction directory, or
// empty when it would leave it.
std::string SafeRelativePath(const std::string& name)
{
    std::string out, part;
    for (size_t i = 0; i <= name.size(); ++i) {
        char c = i < name.size() ? name[i] : '\\';
        if (c != '\\' && c != '/') {
            part += c;
            continue;
        }
        if (part.empty() || part == "." || part == ".." || part.find(':') != std::string::npos) return "";
        out += (out.empty() ? "" : "/") + part;
        part.clear();
    }
    return out;
}

// The recorded CRC-32 of payload `id`, or false when there is none.
bool RecordedCrc(const Installer& installer, uint16_t id, unsigned& crc)
{
    return FindPayloadCrc(installer.crcTable.data(), unsigned(installer.crcTable.size()), id, 0, nullptr, &crc) != 0;
}

// The folders of `relative` below `dir` (which exists or is made).
bool MakeParents(const std::string& dir, const std::string& relative, std::string& error)
{
    if (!kivpack::os::MakeDirectory(dir, error)) return false;
    for (size_t at = relative.find('/'); at != std::string::npos; at = relative.find('/', at + 1))
        if (!kivpack::os::MakeDirectory(dir + "/" + relative.substr(0, at), error)) return false;
    return true;
}

} // namespace

int RunList(int argc, char** argv)
{
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(ListUsage, stdout);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') {
        std::fputs(ListUsage, stderr);
        return 2;
    }
    Installer installer;
    std::string error;
    if (!OpenInstaller(argv[1], installer, error)) return CommandFailed(error);
    std::printf("%5s  %10s  %10s  %8s  %s\n", "id", "stored", "expanded", "crc-32", "content");
    for (const auto& [id, data] : installer.payload) {
        unsigned crc = 0;
        char crcText[16] = "-";
        if (RecordedCrc(installer, id, crc)) std::snprintf(crcText, sizeof crcText, "%08x", crc);
        std::printf("%5u  %10zu  %10u  %8s  %s\n", id, data.size(), SzddExpandedSize(data.data(), (unsigned)data.size()),
                    crcText, Describe(installer, id).c_str());
    }
    for (const PayloadFile& f : installer.plan.files)
        if (!installer.payload.count(f.resourceId))
            std::printf("%5u  %10s  %10s  %8s  [%s] %s (missing)\n", f.resourceId, "-", "-", "-", f.section.c_str(),
                        f.sourceName.c_str());
    if (installer.helpTextTopics)
        std::printf("help text: %u topics, shown by the installer where Windows has no help viewer "
                    "(%zu bytes; their bold, italic and jumps %zu bytes)\n",
                    installer.helpTextTopics, installer.helpTextBytes, installer.helpStyleBytes);
    else
        std::printf("help text: none, so Help asks the help viewer on every Windows\n");
    return 0;
}

int RunExtract(int argc, char** argv)
{
    std::string exe, dir = ".";
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(ExtractUsage, stdout);
            return 0;
        }
        if (a == "-d" && i + 1 < argc)
            dir = argv[++i];
        else if (a[0] == '-' || !exe.empty()) {
            std::fputs(ExtractUsage, stderr);
            return 2;
        } else
            exe = a;
    }
    if (exe.empty()) {
        std::fputs(ExtractUsage, stderr);
        return 2;
    }
    Installer installer;
    std::string error;
    if (!OpenInstaller(exe, installer, error)) return CommandFailed(error);

    // Every output and its parts in resource order, so that appended parts
    // join in the order the installer writes them.
    std::map<std::string, std::vector<uint16_t>> outputs;
    std::vector<std::string> order;
    auto add = [&](const std::string& relative, uint16_t id) {
        if (!outputs.count(relative)) order.push_back(relative);
        std::vector<uint16_t>& parts = outputs[relative];
        // A file line that is not Append replaces what was there.
        bool append = false;
        for (const PayloadFile& f : installer.plan.files)
            if (f.resourceId == id) append = f.append;
        if (!append) parts.clear();
        parts.push_back(id);
    };
    add(installer.scriptName, KIV_SCRIPT_RESOURCE);
    std::string help = SafeRelativePath(installer.plan.helpInstalled);
    if (help.empty()) return CommandFailed(exe + ": the help file's name '" + installer.plan.helpInstalled + "' would leave " + dir);
    add(help, KIV_HELP_RESOURCE);
    for (const PayloadFile& f : installer.plan.files) {
        std::string relative = SafeRelativePath(f.destinationName);
        if (relative.empty())
            return CommandFailed(exe + ": [" + f.section + "] " + f.line + ": the name '" + f.destinationName + "' would leave " + dir);
        add(std::string(KindKeyword(f.kind)) + "/" + relative, f.resourceId);
    }
    // Everything is expanded and checked before the first file is written.
    std::vector<std::vector<uint8_t>> wholes;
    for (const std::string& relative : order) {
        std::vector<uint8_t> whole;
        for (uint16_t id : outputs[relative]) {
            auto it = installer.payload.find(id);
            if (it == installer.payload.end()) return CommandFailed(exe + ": resource " + std::to_string(id) + " is missing");
            std::vector<uint8_t> part;
            if (!Expand(it->second, part, error)) return CommandFailed(exe + ": resource " + std::to_string(id) + ": " + error);
            unsigned recorded = 0;
            uint32_t found = kivpack::PayloadCrc(part);
            if (RecordedCrc(installer, id, recorded) && recorded != found) {
                char numbers[64];
                std::snprintf(numbers, sizeof numbers, "CRC-32 %08x, recorded %08x", found, recorded);
                return CommandFailed(exe + ": resource " + std::to_string(id) + " (" + Describe(installer, id) +
                                     "): damaged: its expanded bytes have " + numbers);
            }
            whole.insert(whole.end(), part.begin(), part.end());
        }
        wholes.push_back(std::move(whole));
    }
    for (size_t i = 0; i < order.size(); ++i) {
        std::string path = dir + "/" + order[i];
        if (!MakeParents(dir, order[i], error)) return CommandFailed(error);
        if (!WriteFileAtomically(path, wholes[i], error)) return CommandFailed(error);
        std::printf("%s\n", path.c_str());
    }
    return 0;
}
