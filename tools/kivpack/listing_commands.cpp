// kivpack list and kivpack extract: what a packed installer holds, and its
// files back out under their destination names.
//
// Both read the installer as the installer reads itself (pe/installer.h):
// one language per resource, byte caps applied, the script's file lines in
// the loader's numbering. An installer is anyone's file, so everything taken
// from it is checked before use: the names it gives are written only below
// the output directory, never through a link, never over a file without
// --force, and everything is checked before the first file is written.
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include "engine/payload_crc.h"
#include "engine/szdd.h"
#include "platform/host/host_platform.h"
#include "resources/kivformat.h"
#include "script/keywords.h"
#include "tools/kivpack/commands.h"
#include "tools/kivpack/lint/script_lint.h"
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/payload.h"
#include "tools/kivpack/pe/pe.h"
#include "tools/kivpack/script_reader.h"
#include "tools/kivpack/text_encoding.h"

namespace {

const char ListUsage[] =
    "usage: kivpack list INSTALLER.EXE\n"
    "\n"
    "Lists every payload resource of a packed installer: its id, what the\n"
    "script makes of it, its stored size (the bytes the installer takes, after\n"
    "a byte cap), its expanded size and the CRC-32 of its expanded bytes that\n"
    "the installer checks ('-' when none is recorded); then how many help\n"
    "topics it carries as text for Windows without a help viewer. A disk set's\n"
    "SETUP.EXE is listed as a disk-mode installer, with the checksum it holds\n"
    "for each file of its disks. An installer whose resources differ by the\n"
    "user's language is refused: what it installs depends on the machine.\n";

const char ExtractUsage[] =
    "usage: kivpack extract INSTALLER.EXE [-d DIR] [--force] [--display CLASS]\n"
    "\n"
    "Writes what the installer installs into DIR, a new directory named for the\n"
    "installer (setup.exe: setup) unless -d names one: the install script as\n"
    "DIR/INSTALL.INI, the help file as DIR/HELP.HLP, and every payload file as\n"
    "DIR/KEYWORD/DESTINATION (Target/, System/, ...) as the installer writes it\n"
    "on a display of CLASS (ega, vga or 8514; default vga): appended parts\n"
    "joined, names that differ only in case taken as one. Names that would\n"
    "leave DIR, begin with a dot or hold control characters are refused, and so\n"
    "is an installer whose resources differ by the user's language. No folder\n"
    "that is a symbolic link is entered (DIR itself excepted when named), and\n"
    "no existing file is replaced unless --force is given. Everything is\n"
    "checked before the first file is written, each payload against its\n"
    "recorded CRC-32; a fault is reported, naming the file, and nothing is\n"
    "extracted.\n";

// The fixed names of the script and the help file in the output directory.
const char ExtractedScript[] = "INSTALL.INI";
const char ExtractedHelp[] = "HELP.HLP";

// More than this for the install script is refused: the loader reads it
// whole, and no script comes near it.
const uint64_t LargestScript = 64u << 20;

// A packed installer opened for reading: its resources as the installer
// takes them, and its script's plan.
struct Installer {
    std::string path;
    kivpack::PeImage image;
    kivpack::InstallerView view;
    std::string scriptName = "INSTALL.INI";  // string 8000 where it is a plain name
    std::string temporaryDir;
    PayloadPlan plan;

    ~Installer()
    {
        if (temporaryDir.empty()) return;
        kivpack::os::RemoveFile(kivpack::os::JoinPath(temporaryDir, scriptName));
        kivpack::os::RemoveEmptyDirectory(temporaryDir);
    }
    const kivpack::InstallerPayload* Payload(uint16_t id) const
    {
        auto it = view.payloads.find(id);
        return it == view.payloads.end() ? nullptr : &it->second;
    }
};

// Where expanded bytes go: a file being written, memory up to a limit, or
// nowhere (a check that only counts and sums them).
struct Sink {
    kivpack::os::OutputFile* file = nullptr;
    std::vector<uint8_t>* memory = nullptr;
    uint64_t limit = 0;
    std::string error;
};

unsigned WriteToSink(void* context, const unsigned char* data, unsigned count)
{
    Sink& sink = *static_cast<Sink*>(context);
    if (sink.memory) {
        if (sink.memory->size() + count > sink.limit) {
            sink.error = "expands to more than " + std::to_string(sink.limit >> 20) + " MB";
            return 0;
        }
        sink.memory->insert(sink.memory->end(), data, data + count);
    }
    if (sink.file && !sink.file->Write(data, count, sink.error)) return 0;
    return count;
}

// Expands the bytes the installer takes of `payload` into `sink`, as the
// installer's own expander does, with the CRC-32 and the length of what came
// out.
bool ExpandPayload(const kivpack::InstallerPayload& payload, Sink& sink, uint32_t& crc, uint64_t& length,
                   std::string& error)
{
    SzddMemorySource source;
    SzddMemorySourceInit(&source, payload.Data(), payload.size);
    std::unique_ptr<SzddExpander> expander(new SzddExpander);
    int status = SzddOpen(expander.get(), SzddReadMemory, &source);
    if (!status) {
        SzddKeepCrc(expander.get());
        status = SzddCopy(expander.get(), WriteToSink, &sink);
    }
    crc = SzddCrc(expander.get());
    length = expander->Produced;
    SzddClose(expander.get());
    if (!status) return true;
    error = status == SZDD_UNKNOWN_MODE    ? "unknown compression mode"
            : status == SZDD_INVALID_DATA  ? "compressed data ends early"
            : !sink.error.empty()          ? sink.error
                                           : "cannot be expanded";
    return false;
}

// The recorded CRC-32 of payload `id`, or false when there is none.
bool RecordedCrc(const Installer& installer, uint16_t id, unsigned& crc)
{
    const std::vector<uint8_t>* table = installer.view.crcTable;
    return table && FindPayloadCrc(table->data(), unsigned(table->size()), id, 0, nullptr, &crc) != 0;
}

// Reads the installer at `path`. A disk set's SETUP.EXE (no script among
// its resources) is opened too when `diskMode` is given; its plan stays
// empty.
bool OpenInstaller(const std::string& path, Installer& installer, std::string& error, bool* diskMode = nullptr)
{
    installer.path = path;
    {
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(path, bytes, error)) return false;
        if (!kivpack::ReadPeImage(bytes, installer.image, error)) {
            error = path + ": " + error;
            return false;
        }
    }
    if (!kivpack::ReadInstallerView(installer.image.resources, installer.view, error)) {
        error = path + ": " + error;
        return false;
    }
    const std::string& name = installer.view.scriptFileName;
    if (!name.empty() && name.find_first_of("/\\:") == std::string::npos && name != "." && name != "..")
        installer.scriptName = name;
    const kivpack::InstallerPayload* script = installer.Payload(KIV_SCRIPT_RESOURCE);
    if (!script) {
        // The stub of a disk set carries its strings and the checksums of
        // its disks' files; anything else is no installer of ours.
        const std::vector<uint8_t>* table = installer.view.crcTable;
        bool disks = table && table->size() > KIV_CRC_COUNT_SIZE + 6 && (*table)[KIV_CRC_COUNT_SIZE + 6];
        if (diskMode && (disks || !installer.view.scriptFileName.empty())) {
            *diskMode = true;
            return true;
        }
        error = path + ": not a packed installer (it holds no install script)";
        if (disks || !installer.view.scriptFileName.empty())
            error += "; it is a disk-mode installer, whose files are on its disks";
        return false;
    }
    if (diskMode) *diskMode = false;
    std::vector<uint8_t> text;
    Sink sink;
    sink.memory = &text;
    sink.limit = LargestScript;
    uint32_t crc;
    uint64_t length;
    if (!ExpandPayload(*script, sink, crc, length, error)) {
        error = path + ": install script: " + error;
        return false;
    }
    if (!kivpack::os::MakeTemporaryDirectory("kivpack-", installer.temporaryDir, error)) return false;
    std::string scriptPath = kivpack::os::JoinPath(installer.temporaryDir, installer.scriptName);
    if (!WriteFileAtomically(scriptPath, text, error)) return false;
    if (PlanPayload(scriptPath, ScriptTarget(), installer.plan, error, PlanChecks::LoaderOnly)) return true;
    // The script is named as the installer's, not by our temporary copy.
    for (size_t at; (at = error.find(scriptPath)) != std::string::npos;)
        error.replace(at, scriptPath.size(), path + "'s install script");
    return false;
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

// Upper case as Windows compares names: ASCII and the accented letters of
// code page 1252.
std::string Folded(const std::string& ansi)
{
    std::string out = ansi;
    for (char& c : out) {
        unsigned char b = (unsigned char)c;
        if ((b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7)) c = char(b - 0x20);
    }
    return out;
}

// A destination name (code page 1252, '\\' or '/' between folders) as the
// parts of a relative path below the output directory; empty, with the
// reason, when one of them may not be written. Trailing dots and spaces
// go, as Windows drops them.
std::vector<std::string> NameParts(const std::string& name, std::string& reason)
{
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 0; i <= name.size(); ++i) {
        char c = i < name.size() ? name[i] : '\\';
        if (c != '\\' && c != '/') {
            part += c;
            continue;
        }
        std::string shown = part;
        while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
        if (shown == "." || shown == "..") {
            reason = "it climbs out of its directory";
        } else if (part.empty()) {
            reason = "it has an empty part";
        } else if (part[0] == '.') {
            reason = "a part of it begins with a dot";
        } else {
            for (unsigned char b : part) {
                char16_t w = AnsiToWide(b);
                if (w < 0x20 || (w >= 0x7F && w < 0xA0)) reason = "it holds a control character";
                else if (std::string("<>:\"|?*").find(char(b)) != std::string::npos && b < 0x80)
                    reason = std::string("it holds '") + char(b) + "', which no Windows name holds";
                if (!reason.empty()) break;
            }
            if (reason.empty() && Cp1252ToUtf8(part).size() > 255) reason = "a part of it is longer than 255 bytes";
        }
        if (!reason.empty()) return {};
        parts.push_back(part);
        part.clear();
    }
    return parts;
}

// One file extract writes: its path below the output directory (UTF-8,
// '/' between parts) and the payloads that make it, in the order the
// installer writes them.
struct Output {
    std::string relative;
    std::vector<uint16_t> parts;
};

// The plan of an extraction: every output, the folders they need, and the
// first spelling met of every name, so that "SUB" and "sub" are one folder.
struct Extraction {
    std::vector<Output> outputs;
    std::map<std::string, size_t> byKey;       // folded path -> output
    std::map<std::string, std::string> spelling;  // folded path -> path as first spelt
    std::vector<std::string> folders;           // relative, parents first
    std::set<std::string> folderKeys;

    // Adds payload `id` to the file `parts` names: a new file, or one
    // written before, which `append` extends and anything else replaces.
    void Add(const std::vector<std::string>& parts, uint16_t id, bool append)
    {
        std::string key, spelt;
        for (size_t i = 0; i < parts.size(); ++i) {
            key += (i ? "/" : "") + Folded(parts[i]);
            auto known = spelling.find(key);
            if (known == spelling.end())
                known = spelling.emplace(key, spelt + (i ? "/" : "") + Cp1252ToUtf8(parts[i])).first;
            spelt = known->second;
            if (i + 1 < parts.size() && folderKeys.insert(key).second) folders.push_back(spelt);
        }
        auto at = byKey.find(key);
        if (at == byKey.end()) {
            byKey[key] = outputs.size();
            outputs.push_back({spelt, {id}});
            return;
        }
        std::vector<uint16_t>& list = outputs[at->second].parts;
        if (!append) list.clear();
        list.push_back(id);
    }
    // A name that is a file and a folder at once, or empty.
    std::string Clash() const
    {
        for (const auto& [key, index] : byKey)
            if (folderKeys.count(key)) return outputs[index].relative;
        return "";
    }
};

std::string Refused(const Installer& installer, const std::string& what, const std::string& name,
                    const std::string& reason)
{
    return installer.path + ": " + TextForTerminal(what + ": the name '" + name + "' is refused: " + reason);
}

// What `path` is, for extract's checks before writing: nothing, a folder to
// enter, a file to replace, or something it must not touch.
enum class Found { Nothing, Folder, File, Link, Other };
Found Look(const std::string& path)
{
    kivpack::os::FileStatus st;
    if (!kivpack::os::Status(path, st)) return Found::Nothing;
    if (st.link) return Found::Link;
    return st.directory ? Found::Folder : st.regular ? Found::File : Found::Other;
}

// Removes, after a failure, the files and folders this run made (in
// reverse), so that a failed extraction leaves only what was there before.
struct MadeByUs {
    std::vector<std::string> files, folders;
    bool keep = false;
    ~MadeByUs()
    {
        if (keep) return;
        for (auto f = files.rbegin(); f != files.rend(); ++f) kivpack::os::RemoveFile(*f);
        for (auto d = folders.rbegin(); d != folders.rend(); ++d) kivpack::os::RemoveEmptyDirectory(*d);
    }
};

int ListDiskMode(const Installer& installer)
{
    std::printf("%s: a disk-mode installer: it carries no files, and reads its script (%s) and the files from\n"
                "the folder it is started in, DISK1 to DISKn of a disk set\n",
                TextForTerminal(installer.path).c_str(), TextForTerminal(installer.scriptName).c_str());
    const std::vector<uint8_t>* table = installer.view.crcTable;
    if (!table || table->size() < KIV_CRC_COUNT_SIZE) {
        std::printf("checksums: none recorded\n");
        return 0;
    }
    std::printf("%4s  %8s  %s\n", "disk", "crc-32", "file");
    unsigned count = (*table)[0] | (*table)[1] << 8;
    size_t at = KIV_CRC_COUNT_SIZE;
    for (unsigned i = 0; i < count && at + KIV_CRC_RECORD_SIZE <= table->size(); ++i) {
        const uint8_t* r = table->data() + at;
        size_t length = r[7];
        if (at + KIV_CRC_RECORD_SIZE + length > table->size()) break;
        unsigned crc = r[0] | r[1] << 8 | r[2] << 16 | unsigned(r[3]) << 24;
        std::string name(reinterpret_cast<const char*>(r) + KIV_CRC_RECORD_SIZE, length);
        std::printf("%4u  %08x  %s\n", r[6], crc, TextForTerminal(name).c_str());
        at += KIV_CRC_RECORD_SIZE + length;
    }
    return 0;
}

void ListHelpText(const Installer& installer)
{
    kivpack::HelpTextCount count;
    if (installer.view.helpText) count = kivpack::CountHelpTopics(*installer.view.helpText);
    if (!count.whole)
        std::printf("help text: none, so Help asks the help viewer on every Windows\n");
    else
        std::printf("help text: %u topics, shown by the installer where Windows has no help viewer "
                    "(%zu bytes; their bold, italic and jumps %zu bytes)\n",
                    count.whole, installer.view.helpText->size(),
                    installer.view.helpStyles ? installer.view.helpStyles->size() : size_t(0));
    if (count.declared != count.whole)
        std::printf("help text: damaged: it declares %u topics, and the installer stops at the first that does "
                    "not lie whole\n",
                    count.declared);
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
    bool diskMode = false;
    if (!OpenInstaller(argv[1], installer, error, &diskMode)) return CommandFailed(error);
    if (diskMode) {
        ListDiskMode(installer);
        ListHelpText(installer);
        return 0;
    }
    std::printf("%5s  %10s  %10s  %8s  %s\n", "id", "stored", "expanded", "crc-32", "content");
    for (const auto& [id, payload] : installer.view.payloads) {
        unsigned crc = 0;
        char crcText[16] = "-";
        if (RecordedCrc(installer, id, crc)) std::snprintf(crcText, sizeof crcText, "%08x", crc);
        std::string stored = std::to_string(payload.size);
        if (payload.size < payload.stored->size()) stored += " (capped)";
        std::printf("%5u  %10s  %10u  %8s  %s\n", id, stored.c_str(), SzddExpandedSize(payload.Data(), payload.size),
                    crcText, TextForTerminal(Describe(installer, id)).c_str());
    }
    for (const PayloadFile& f : installer.plan.files)
        if (!installer.Payload(f.resourceId))
            std::printf("%5u  %10s  %10s  %8s  %s (missing)\n", f.resourceId, "-", "-", "-",
                        TextForTerminal("[" + f.section + "] " + f.sourceName).c_str());
    ListHelpText(installer);
    return 0;
}

int RunExtract(int argc, char** argv)
{
    std::string exe, dir;
    bool force = false, named = false;
    unsigned display = 1;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(ExtractUsage, stdout);
            return 0;
        }
        if (a == "-d" && i + 1 < argc && argv[i + 1][0]) {
            dir = argv[++i];
            named = true;
        } else if (a == "--display" && i + 1 < argc) {
            if (!ParseDisplayClass(argv[++i], &display)) {
                std::fputs(ExtractUsage, stderr);
                return 2;
            }
        } else if (a == "--force") {
            force = true;
        } else if (a[0] == '-' || !exe.empty()) {
            std::fputs(ExtractUsage, stderr);
            return 2;
        } else {
            exe = a;
        }
    }
    if (exe.empty()) {
        std::fputs(ExtractUsage, stderr);
        return 2;
    }
    // The output directory: the one named, or a new one named for the
    // installer in the current directory.
    if (!named) {
        std::string base = kivpack::os::BaseName(exe);
        size_t dot = base.rfind('.');
        if (dot != std::string::npos && dot > 0) base.resize(dot);
        if (base.empty() || base[0] == '.' || base == exe)
            return CommandFailed(exe + ": no directory can be named for it; name one with -d");
        dir = base;
    }
    Installer installer;
    std::string error;
    if (!OpenInstaller(exe, installer, error)) return CommandFailed(error);

    // Every output and its parts, in the order the installer writes them.
    Extraction plan;
    std::string reason;
    plan.Add({ExtractedScript}, KIV_SCRIPT_RESOURCE, false);
    if (installer.Payload(KIV_HELP_RESOURCE)) plan.Add({ExtractedHelp}, KIV_HELP_RESOURCE, false);
    for (const PayloadFile& f : installer.plan.files) {
        if (!lint::CopiedOnDisplay(installer.plan, f, display)) continue;
        std::vector<std::string> parts = NameParts(f.destinationName, reason);
        if (parts.empty())
            return CommandFailed(Refused(installer, "[" + f.section + "] " + f.line, f.destinationName, reason));
        parts.insert(parts.begin(), KindKeyword(f.kind));
        plan.Add(parts, f.resourceId, f.append);
    }
    std::string clash = plan.Clash();
    if (!clash.empty())
        return CommandFailed(exe + ": '" + clash + "' would be both a file and a folder");

    // Every part expands, to its recorded checksum.
    for (const Output& out : plan.outputs)
        for (uint16_t id : out.parts) {
            const kivpack::InstallerPayload* payload = installer.Payload(id);
            std::string what = exe + ": " + TextForTerminal("resource " + std::to_string(id) + " (" + Describe(installer, id) + ")");
            if (!payload) return CommandFailed(what + ": missing");
            Sink nowhere;
            uint32_t crc;
            uint64_t length;
            if (!ExpandPayload(*payload, nowhere, crc, length, error)) return CommandFailed(what + ": " + error);
            unsigned recorded = 0;
            if (RecordedCrc(installer, id, recorded) && recorded != crc) {
                char numbers[64];
                std::snprintf(numbers, sizeof numbers, "CRC-32 %08x, recorded %08x", crc, recorded);
                return CommandFailed(what + ": damaged: its expanded bytes have " + numbers);
            }
        }

    // What is in the way: a link or a file where a folder goes, a file that
    // is there already, a folder where a file goes.
    Found top = Look(dir);
    if (!named && top != Found::Nothing && !(force && top == Found::Folder))
        return CommandFailed(dir + ": exists already; name the directory to write into with -d, or give --force");
    if (top != Found::Nothing && top != Found::Folder && !(named && top == Found::Link && Look(dir + "/.") == Found::Folder))
        return CommandFailed(dir + ": not a directory");
    for (const std::string& folder : plan.folders) {
        std::string path = kivpack::os::JoinPath(dir, folder);
        Found f = Look(path);
        if (f == Found::Link) return CommandFailed(path + ": a symbolic link; extract enters none");
        if (f != Found::Nothing && f != Found::Folder)
            return CommandFailed(path + ": not a folder, and a folder goes there");
    }
    std::vector<bool> existed;
    for (const Output& out : plan.outputs) {
        std::string path = kivpack::os::JoinPath(dir, out.relative);
        Found f = Look(path);
        if (f == Found::Folder || f == Found::Other)
            return CommandFailed(path + ": not a file, and a file goes there");
        if (f != Found::Nothing && !force)
            return CommandFailed(path + ": exists already; give --force to replace it");
        existed.push_back(f != Found::Nothing);
    }

    // Writing: each folder made (or found, and checked once more not to be a
    // link), each file expanded into a new temporary beside it and renamed
    // into place.
    MadeByUs made;
    auto enter = [&](const std::string& path, bool mayBeLink, bool mustBeNew) {
        Found before = Look(path);
        if (before == Found::Nothing) {
            if (!kivpack::os::MakeDirectory(path, error, mustBeNew)) return false;
            made.folders.push_back(path);
        }
        Found now = Look(path);
        if (now == Found::Folder || (mayBeLink && now == Found::Link)) return true;
        error = path + ": " + (now == Found::Link ? "a symbolic link; extract enters none" : "not a folder");
        return false;
    };
    // A directory named for the installer is one this run makes, so that
    // nobody else's folder of that name is written into.
    if (!enter(dir, named, !named && !force)) return CommandFailed(error);
    for (const std::string& folder : plan.folders)
        if (!enter(kivpack::os::JoinPath(dir, folder), false, false)) return CommandFailed(error);
    for (size_t i = 0; i < plan.outputs.size(); ++i) {
        const Output& out = plan.outputs[i];
        std::string path = kivpack::os::JoinPath(dir, out.relative);
        kivpack::os::OutputFile file(path);
        if (!file.Open(error)) return CommandFailed(error);
        for (uint16_t id : out.parts) {
            Sink sink;
            sink.file = &file;
            uint32_t crc;
            uint64_t length;
            if (!ExpandPayload(*installer.Payload(id), sink, crc, length, error))
                return CommandFailed(path + ": " + error);
        }
        if (!file.Commit(error)) return CommandFailed(error);
        if (!existed[i]) made.files.push_back(path);
        std::printf("%s\n", TextForTerminal(path).c_str());
    }
    made.keep = true;
    return 0;
}
