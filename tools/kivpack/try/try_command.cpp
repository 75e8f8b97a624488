// kivpack try: the installer run under emulated Windows versions, headless,
// with a report of what it showed, what it changed and what its removal
// left. kivpack prepares the product (packs a script, expands the packed
// files to compare with), starts kivtry.sh once per version (--jobs at a
// time), reads what each run left, and writes the report and pictures.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>
#include "tools/kivpack/commands.h"
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/stub.h"
#include "tools/kivpack/try/try_report.h"

namespace {

const char Usage[] =
    "usage: kivpack try SETUP.EXE|SCRIPT|DISKSET-DIR [--windows LIST] [--target DIR] [--run]\n"
    "                   [--no-uninstall] [--shots DIR] [--report FILE] [--keep] [--jobs N]\n"
    "\n"
    "Installs the product under Wine, once per Windows version, on a virtual display\n"
    "of its own, pressing the defaults as a person would (Begin, then No to starting\n"
    "the product, OK to the end), and removes it again with its uninstall entry.\n"
    "Every dialog is recorded; one that is not on that road fails the version.\n"
    "SETUP is a packed installer, a disk set's folder (DISK1/, DISK2/, ... as\n"
    "'kivpack disks' writes it; disk 1 is in drive A:, the next disk goes in when\n"
    "asked for) or an install script (packed first, with the stubs 'build' finds).\n"
    "  --windows LIST   comma list of 95, 98, me, nt4, 2000, xp, 7, 10, or all\n"
    "                   (default 95,xp,10)\n"
    "  --target DIR     typed into the start dialog (default: the script's own)\n"
    "  --run            answer Yes to starting the product and check that it starts\n"
    "  --no-uninstall   leave the product installed\n"
    "  --shots DIR      a PNG of every dialog as it first appears, and contact-sheet.png\n"
    "  --report FILE    the report as JSON\n"
    "  --keep           keep each version's Wine prefix and the runs' logs, and print where\n"
    "  --jobs N         versions run at once (default 1)\n"
    "Nothing of your own Wine set-up is used or changed: each version gets a fresh\n"
    "prefix made from a template booted once, kept in $XDG_CACHE_HOME/kivinstall\n"
    "(else ~/.cache/kivinstall).\n"
    "Exit: 0 every version completed and its removal left nothing unexpected,\n"
    "1 otherwise, 2 usage, 3 a program that try needs is missing.\n";

struct WindowsVersion {
    const char* name;  // on the command line and in the report
    const char* wine;  // Wine's name of the version
};
const WindowsVersion Versions[] = {{"95", "win95"}, {"98", "win98"}, {"me", "winme"}, {"nt4", "nt40"},
                                   {"2000", "win2k"}, {"xp", "winxp"}, {"7", "win7"},   {"10", "win10"}};

// What try runs besides kivpack, as an installation ships it in
// share/kivinstall/try/ and the build tree holds it.
const ShippedFile Harness = {"try/kivtry.sh", "", "try harness", "", "KIVPACK_TRY_HARNESS",
                             "../../tools/kivpack/try/kivtry.sh"};
const ShippedFile Driver = {"try/kivdriver.exe", "", "dialog driver", "", "KIVPACK_TRY_DRIVER",
                            "../win32/e2e/kivdriver.exe"};
const ShippedFile EntryStarter = {"try/kiventry.exe", "", "uninstall entry starter", "", "KIVPACK_TRY_ENTRY",
                                  "../win32/e2e/kiventry.exe"};

struct Options {
    std::string input;
    std::vector<const WindowsVersion*> versions;
    std::string target;
    bool run = false, uninstall = true, keep = false;
    std::string shots, report;
    int jobs = 1;
};

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "kivpack try: %s\n", message.c_str());
    std::fputs(Usage, stderr);
    return 2;
}

bool ParseVersions(const std::string& list, Options& o, std::string& error)
{
    o.versions.clear();
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string name = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        for (char& c : name) c = char(std::tolower((unsigned char)c));
        if (name == "all") {
            for (const WindowsVersion& v : Versions) o.versions.push_back(&v);
        } else {
            const WindowsVersion* found = nullptr;
            for (const WindowsVersion& v : Versions)
                if (name == v.name) found = &v;
            if (!found) {
                error = "unknown Windows version '" + name + "' (one of 95, 98, me, nt4, 2000, xp, 7, 10, all)";
                return false;
            }
            o.versions.push_back(found);
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    // Each version once, in the order given.
    std::vector<const WindowsVersion*> unique;
    for (const WindowsVersion* v : o.versions)
        if (std::find(unique.begin(), unique.end(), v) == unique.end()) unique.push_back(v);
    o.versions = unique;
    return true;
}

// The programs that the runs need; the Debian packages that bring the
// missing ones.
bool CheckPrograms(bool shots)
{
    struct Need {
        const char* program;
        const char* package;
    };
    std::vector<Need> needs = {{"bash", "bash"},     {"wine", "wine wine32:i386 wine64"},
                               {"wineserver", "wine"}, {"Xvfb", "xvfb xauth"},
                               {"timeout", "coreutils"}, {"flock", "util-linux"},
                               {"iconv", "libc-bin"},  {"cmp", "diffutils"}};
    if (shots) {
        needs.push_back({"import", "imagemagick"});
        needs.push_back({"montage", "imagemagick"});
    }
    std::vector<std::string> missing, packages;
    for (const Need& n : needs) {
        std::string path;
        if (kivpack::os::FindProgram(n.program, path)) continue;
        missing.push_back(n.program);
        std::string words = std::string(n.package) + " ";
        for (size_t at = 0, space; (space = words.find(' ', at)) != std::string::npos; at = space + 1) {
            std::string word = words.substr(at, space - at);
            if (std::find(packages.begin(), packages.end(), word) == packages.end()) packages.push_back(word);
        }
    }
    if (missing.empty()) return true;
    std::string names, list;
    for (size_t i = 0; i < missing.size(); ++i) names += (i ? ", " : "") + missing[i];
    for (const std::string& p : packages) list += " " + p;
    if (list.find("wine") != std::string::npos && list.find("fonts-wine") == std::string::npos) list += " fonts-wine";
    std::fprintf(stderr,
                 "kivpack try: %s not found on PATH. On Debian, install them with\n"
                 "  sudo dpkg --add-architecture i386\n"
                 "  sudo apt-get update\n"
                 "  sudo apt-get install --no-install-recommends%s\n",
                 names.c_str(), list.c_str());
    return false;
}

std::string Find(const ShippedFile& file, std::string& error)
{
    ShippedLookup lookup = FindShippedFile(file, "");
    if (lookup.path.empty()) {
        std::string places;
        for (size_t i = 0; i < lookup.searched.size(); ++i) places += (i ? ", " : "") + lookup.searched[i];
        error = std::string("kivpack try: no ") + file.what + " found; looked for " + places +
                " (an installation of kivpack ships it; " + file.variable + " names another)";
    }
    return lookup.path;
}

// Runs kivpack itself with `args`, its standard output discarded; its
// exit code.
int RunKivpack(const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {kivpack::os::ExecutableDirectory() + "kivpack"};
    argv.insert(argv.end(), args.begin(), args.end());
    long pid = 0;
    int code = 1;
    std::string error;
    if (!kivpack::os::StartProgram(argv, {}, true, pid, error)) {
        std::fprintf(stderr, "kivpack try: %s\n", error.c_str());
        return 1;
    }
    kivpack::os::WaitProgram(pid, code);
    return code;
}

// The name of `folder`'s entry that is `name` in any case; empty when none.
std::string EntryNamed(const std::string& folder, const std::string& name)
{
    std::vector<kivpack::os::DirectoryEntry> entries;
    std::string error;
    if (!kivpack::os::ListDirectory(folder, entries, error)) return "";
    for (const auto& e : entries)
        if (e.name.size() == name.size() &&
            std::equal(e.name.begin(), e.name.end(), name.begin(),
                       [](char a, char b) { return std::tolower((unsigned char)a) == std::tolower((unsigned char)b); }))
            return e.name;
    return "";
}

// The ProductName of the script among the expanded files under `folder`.
std::string ProductName(const std::string& folder, int depth = 0)
{
    std::vector<kivpack::os::DirectoryEntry> entries;
    std::string error;
    if (depth > 3 || !kivpack::os::ListDirectory(folder, entries, error)) return "";
    for (const auto& e : entries) {
        std::string path = kivpack::os::JoinPath(folder, e.name);
        if (e.status.directory) {
            std::string name = ProductName(path, depth + 1);
            if (!name.empty()) return name;
            continue;
        }
        if (e.name.size() < 4 || e.status.size > (1u << 20)) continue;
        std::string ext = e.name.substr(e.name.size() - 4);
        for (char& c : ext) c = char(std::toupper((unsigned char)c));
        if (ext != ".INI") continue;
        std::vector<uint8_t> bytes;
        if (!kivpack::os::ReadWholeFile(path, bytes, error)) continue;
        std::string text(bytes.begin(), bytes.end()), upper = text;
        for (char& c : upper) c = char(std::toupper((unsigned char)c));
        if (upper.find("[BASIC INFORMATION]") == std::string::npos) continue;
        size_t at = upper.find("\nPRODUCTNAME=");
        if (at == std::string::npos) continue;
        size_t end = text.find_first_of("\r\n", at + 13);
        return text.substr(at + 13, end == std::string::npos ? std::string::npos : end - at - 13);
    }
    return "";
}

bool CopyFile(const std::string& from, const std::string& to, std::string& error)
{
    std::vector<uint8_t> bytes;
    return kivpack::os::ReadWholeFile(from, bytes, error) &&
           kivpack::os::WriteWholeFile(to, bytes.data(), bytes.size(), error);
}

void RemoveTree(const std::string& path)
{
    std::vector<kivpack::os::DirectoryEntry> entries;
    std::string error;
    if (kivpack::os::ListDirectory(path, entries, error))
        for (const auto& e : entries) {
            std::string child = kivpack::os::JoinPath(path, e.name);
            if (e.status.directory && !e.status.link) RemoveTree(child);
            else kivpack::os::RemoveFile(child);
        }
    kivpack::os::RemoveEmptyDirectory(path);
}

} // namespace

int RunTry(int argc, char** argv)
{
    Options o;
    std::string error;
    ParseVersions("95,xp,10", o, error);
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (a == "--windows") {
            if (!value(v)) return UsageError("--windows needs a list");
            if (!ParseVersions(v, o, error)) return UsageError(error);
        } else if (a == "--target") {
            if (!value(o.target) || o.target.empty()) return UsageError("--target needs a directory");
        } else if (a == "--run") {
            o.run = true;
        } else if (a == "--no-uninstall") {
            o.uninstall = false;
        } else if (a == "--shots") {
            if (!value(o.shots) || o.shots.empty()) return UsageError("--shots needs a directory");
        } else if (a == "--report") {
            if (!value(o.report) || o.report.empty()) return UsageError("--report needs a file");
        } else if (a == "--keep") {
            o.keep = true;
        } else if (a == "--jobs") {
            char* end = nullptr;
            if (!value(v) || (o.jobs = (int)std::strtol(v.c_str(), &end, 10), *end) || o.jobs < 1 || o.jobs > 16)
                return UsageError("--jobs needs a number from 1 to 16");
        } else if (!a.empty() && a[0] == '-') {
            return UsageError("unknown option " + a);
        } else if (!o.input.empty()) {
            return UsageError("one SETUP only");
        } else {
            o.input = a;
        }
    }
    if (o.input.empty()) return UsageError("no SETUP given");
    std::string harness = Find(Harness, error), driver, entry;
    if (!harness.empty()) driver = Find(Driver, error);
    if (!driver.empty()) entry = Find(EntryStarter, error);
    if (entry.empty()) return CommandFailed(error);
    if (!CheckPrograms(!o.shots.empty())) return 3;
    std::string cache;
    if (!kivpack::os::PrivateCacheFolder("kivinstall", cache, error)) return CommandFailed("kivpack try: " + error);

    kivpack::os::FileStatus st;
    if (!kivpack::os::Status(o.input, st)) return CommandFailed("kivpack try: " + o.input + ": no such file or folder");
    std::string work;
    if (!kivpack::os::MakeTemporaryDirectory("kivpack-try.", work, error)) return CommandFailed("kivpack try: " + error);
    // What the runs left (logs, listings, pictures) goes at the end, unless
    // --keep keeps it with the prefixes.
    struct Cleanup {
        std::string path;
        bool keep;
        ~Cleanup() {
            if (keep) std::printf("the runs' logs and records are kept in %s\n", path.c_str());
            else RemoveTree(path);
        }
    } cleanup{work, o.keep};

    // The product: a disk set, a packed installer, or a script to pack.
    std::string setup, disks, ref = kivpack::os::JoinPath(work, "ref");
    if (!kivpack::os::MakeDirectory(ref, error)) return CommandFailed("kivpack try: " + error);
    if (st.directory) {
        std::string disk1 = EntryNamed(o.input, "DISK1");
        if (disk1.empty())
            return CommandFailed("kivpack try: " + o.input + ": not a disk set (it has no DISK1/ folder)");
        disks = kivpack::os::AbsolutePath(o.input);
        // The files of every disk, expanded, to compare with what was installed.
        for (int n = 1; n < 100; ++n) {
            std::string name = EntryNamed(disks, "DISK" + std::to_string(n));
            if (name.empty()) break;
            std::string from = kivpack::os::JoinPath(disks, name), to = kivpack::os::JoinPath(ref, name);
            std::vector<kivpack::os::DirectoryEntry> entries;
            if (!kivpack::os::MakeDirectory(to, error) || !kivpack::os::ListDirectory(from, entries, error))
                return CommandFailed("kivpack try: " + error);
            std::vector<std::string> args = {"expand"};
            for (const auto& e : entries)
                if (e.status.regular) args.push_back(kivpack::os::JoinPath(from, e.name));
            args.push_back("-o");
            args.push_back(to);
            if (args.size() > 3) RunKivpack(args);
        }
        std::string setupName = EntryNamed(kivpack::os::JoinPath(disks, disk1), "SETUP.EXE");
        if (!setupName.empty()) setup = kivpack::os::JoinPath(kivpack::os::JoinPath(disks, disk1), setupName);
    } else {
        std::vector<uint8_t> head;
        FILE* f = kivpack::os::OpenForReading(o.input);
        if (!f) return CommandFailed("kivpack try: " + o.input + ": " + kivpack::os::LastErrorText());
        char mz[2] = {0, 0};
        size_t got = std::fread(mz, 1, 2, f);
        std::fclose(f);
        if (got == 2 && mz[0] == 'M' && mz[1] == 'Z') {
            setup = kivpack::os::AbsolutePath(o.input);
        } else {
            setup = kivpack::os::JoinPath(work, "setup.exe");
            std::fprintf(stderr, "kivpack try: packing %s\n", o.input.c_str());
            if (RunKivpack({"build", o.input, "-o", setup}) != 0)
                return CommandFailed("kivpack try: " + o.input + " could not be packed (see above)");
        }
        if (RunKivpack({"extract", setup, "-d", ref}) != 0)
            return CommandFailed("kivpack try: " + setup + " is not an installer that kivpack can read (see above)");
    }
    std::string product = ProductName(ref);

    // Dialogs are named by the templates of the installer and the uninstaller.
    std::vector<kivtry::DialogTemplate> templates = kivtry::DialogTemplatesOf(setup);
    std::vector<kivtry::DialogTemplate> removal = kivtry::DialogTemplatesOf(FindShippedFile(UninstallerStub, "").path);
    templates.insert(templates.end(), removal.begin(), removal.end());

    std::vector<kivtry::VersionRun> runs(o.versions.size());
    std::map<long, size_t> running;
    size_t next = 0;
    while (next < o.versions.size() || !running.empty()) {
        while (next < o.versions.size() && (int)running.size() < o.jobs) {
            const WindowsVersion& v = *o.versions[next];
            runs[next].windows = v.name;
            std::string out = kivpack::os::JoinPath(work, std::string("windows-") + v.name);
            if (!kivpack::os::MakeDirectory(out, error)) return CommandFailed("kivpack try: " + error);
            std::vector<std::string> env = {"KIV_CACHE=" + cache,
                                            "KIV_DRIVER=" + driver,
                                            "KIV_ENTRY=" + entry,
                                            "TRY_OUT=" + out,
                                            std::string("TRY_WINDOWS=") + v.wine,
                                            "TRY_REF=" + ref,
                                            "TRY_TARGET=" + o.target,
                                            std::string("TRY_RUN=") + (o.run ? "1" : "0"),
                                            std::string("TRY_UNINSTALL=") + (o.uninstall ? "1" : "0"),
                                            std::string("TRY_SHOTS=") + (o.shots.empty() ? "0" : "1"),
                                            std::string("TRY_KEEP=") + (o.keep ? "1" : "0")};
            env.push_back(disks.empty() ? "TRY_SETUP=" + setup : "TRY_DISKS=" + disks);
            long pid = 0;
            if (!kivpack::os::StartProgram({"bash", harness}, env, true, pid, error))
                return CommandFailed("kivpack try: " + error);
            std::fprintf(stderr, "kivpack try: Windows %s ...\n", v.name);
            running[pid] = next++;
        }
        long pid = -1;
        int code = 0;
        if (!kivpack::os::WaitProgram(pid, code)) break;
        auto it = running.find(pid);
        if (it == running.end()) continue;
        kivtry::VersionRun& run = runs[it->second];
        kivtry::ReadRun(kivpack::os::JoinPath(work, "windows-" + run.windows), templates, run);
        std::fprintf(stderr, "kivpack try: Windows %s %s (%.1f s)\n", run.windows.c_str(),
                     run.Passed(o.uninstall) ? "passed" : "failed", run.seconds);
        running.erase(it);
    }

    // Pictures: each dialog's as WINDOWS-NN-ID.png, and a contact sheet.
    if (!o.shots.empty()) {
        if (!kivpack::os::MakeDirectory(o.shots, error)) return CommandFailed("kivpack try: " + error);
        // Labels need a font that ImageMagick finds; Debian's DejaVu is one.
        std::vector<std::string> sheet = {"montage", "-label", "%t"}, pictures;
        const char* font = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
        kivpack::os::FileStatus fontStatus;
        if (kivpack::os::Status(font, fontStatus) && fontStatus.regular) sheet.insert(sheet.begin() + 1, {"-font", font});
        for (kivtry::VersionRun& run : runs)
            for (size_t i = 0; i < run.dialogs.size(); ++i) {
                kivtry::Dialog& d = run.dialogs[i];
                if (d.shot.empty()) continue;
                char name[64];
                std::snprintf(name, sizeof name, "%s-%02zu-%s.png", run.windows.c_str(), i + 1,
                              d.id < 0 ? "dialog" : std::to_string(d.id).c_str());
                std::string to = kivpack::os::JoinPath(o.shots, name);
                if (!CopyFile(d.shot, to, error)) return CommandFailed("kivpack try: " + error);
                std::string labelled = kivpack::os::JoinPath(work, std::string(name));
                if (CopyFile(d.shot, labelled, error)) pictures.push_back(labelled);
                d.shot = to;
            }
        if (!pictures.empty()) {
            std::string made = kivpack::os::JoinPath(work, "contact-sheet.png");
            sheet.insert(sheet.end(), pictures.begin(), pictures.end());
            sheet.insert(sheet.end(), {"-tile", "4x", "-geometry", "+6+6", "-background", "#d0d0d0", made});
            long pid = 0;
            int code = 1;
            if (kivpack::os::StartProgram(sheet, {}, true, pid, error)) kivpack::os::WaitProgram(pid, code);
            if (code != 0 || !CopyFile(made, kivpack::os::JoinPath(o.shots, "contact-sheet.png"), error))
                std::fprintf(stderr, "kivpack try: no contact sheet: montage failed\n");
        }
    }
    if (!o.report.empty()) {
        std::string json = kivtry::ReportJson(product, runs);
        if (!kivpack::os::WriteWholeFile(o.report, json.data(), json.size(), error))
            return CommandFailed("kivpack try: " + error);
    }
    std::fputs(kivtry::ReportTable(runs, o.uninstall).c_str(), stdout);
    bool passed = !runs.empty();
    for (const kivtry::VersionRun& run : runs) {
        passed = passed && run.Passed(o.uninstall);
        if (o.keep && !run.prefix.empty()) std::printf("Windows %s: prefix kept in %s\n", run.windows.c_str(), run.prefix.c_str());
    }
    return passed ? 0 : 1;
}
