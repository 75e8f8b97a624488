// kivpack disks: a disk-mode set, one folder per installation disk.
#include <cstdio>
#include <memory>
#include <string>
#include "resources/kivformat.h"
#include "tools/kivpack/commands.h"
#include "tools/kivpack/lint/script_lint.h"
#include "tools/kivpack/lint/source_lookup.h"
#include "tools/kivpack/help_text.h"
#include "tools/kivpack/packing.h"
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/pe/pe.h"
#include "tools/kivpack/payload.h"
#include "tools/kivpack/progress.h"
#include "tools/kivpack/script_reader.h"
#include "tools/kivpack/stub.h"
#include "tools/kivpack/szdd_compress.h"
#include "tools/kivpack/uninstaller.h"
#include "tools/kivpack/disk_set_media.h"
#include "tools/kivpack/version_resource.h"

namespace {

const char Usage[] =
    "usage: kivpack disks SCRIPT -o DIR [--stub KIVINSTALL.EXE] [--uninstaller-stub KIVUNINST.EXE] [--strict]\n"
    "                    [-j N] [--media SIZE [--images]] [--date YYYY-MM-DD[ HH:MM[:SS]]]\n"
    "                    [--company TEXT] [--copyright TEXT] [--version-number N.N.N.N]\n"
    "\n"
    "Lays out a disk-mode installation set: DIR/DISK1/, DIR/DISK2/, ... each with\n"
    "the SZDD-compressed files of its disk section under their source names; the\n"
    "first disk also holds the installer as SETUP.EXE, the install script (plain\n"
    "text in code page 1252, under the name the installer looks for) and the\n"
    "compressed help file. SETUP.EXE carries the CRC-32 of every file by disk\n"
    "and name, which the installer checks as it expands them, and the help\n"
    "file's topics as text, as 'kivpack build' does. --strict: a warning about\n"
    "the script is an error. The stubs are found as 'kivpack build' finds them.\n"
    "-j N compresses N files at a time (default: one per processor), each\n"
    "straight into its place; the set is the same for every N.\n";

// A source name is a file name on its disk: it may not name a directory.
bool IsPlainName(const std::string& name)
{
    return !name.empty() && name.find_first_of("/\\:") == std::string::npos && name != "." && name != "..";
}

} // namespace

int RunDisks(int argc, char** argv)
{
    std::string script, out, stub, uninstallerStub;
    bool strict = false;
    unsigned threads = DefaultThreads();
    VersionOptions version;
    MediaOptions media;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(Usage, stdout);
            std::fputs(MediaOptionsHelp, stdout);
            std::fputs(VersionOptionsHelp, stdout);
            return 0;
        }
        if (TakeVersionOption(argc, argv, i, version) || TakeMediaOption(argc, argv, i, media))
            continue;
        if (a == "-j" && i + 1 < argc) {
            if (!ParseThreads(argv[++i], threads)) {
                std::fprintf(stderr, "kivpack disks: -j takes a number of threads from 1 to 256\n");
                return 2;
            }
        } else if (a == "--strict")
            strict = true;
        else if ((a == "-o" || a == "--stub" || a == "--uninstaller-stub") && i + 1 < argc)
            (a == "-o" ? out : a == "--stub" ? stub : uninstallerStub) = argv[++i];
        else if (a[0] == '-' || !script.empty()) {
            std::fputs(Usage, stderr);
            return 2;
        } else
            script = a;
    }
    if (script.empty() || out.empty()) {
        std::fputs(Usage, stderr);
        return 2;
    }
    PayloadPlan plan;
    std::string error;
    Medium medium;
    int64_t seconds = 0;
    if (!CheckVersionOptions(version, error) || !CheckMediaOptions(media, medium, seconds, error))
        return CommandFailed("kivpack disks: " + error);
    if (!PlanPayload(script, ScriptTarget(), plan, error)) return CommandFailed(error);
    if (lint::WarningExit(lint::ReportWarnings(ScriptTarget()), strict))
        return CommandFailed(script + ": not laid out: --strict makes the warnings above errors");
    kivpack::PeImage image;
    std::string stubPath;
    if (!LoadStub(stub, image, stubPath, error)) return CommandFailed(error);
    std::string scriptName = "INSTALL.INI";
    std::u16string name;
    std::string ansi;
    if (kivpack::FindString(image.resources, IDS_SCRIPT_FILE_NAME, kivpack::ImageLanguage(image.resources), name) &&
        kivpack::Utf16ToAnsi(name, ansi) && IsPlainName(ansi))
        scriptName = ansi;

    HelpFileReport help = InspectHelpFile(plan);
    if (!help.found || !IsPlainName(plan.helpSource))
        return CommandFailed(lint::SourceProblem(script, "Basic Information", "HelpFileName",
                                                 "HelpFileName=" + plan.helpSource, plan.helpSource, plan.scriptDir, 1));
    PrintHelpWarnings(help);
    std::vector<std::string> sources;
    GeneratedUninstaller uninstaller(script, uninstallerStub, stub, plan, version);
    for (const PayloadFile& f : plan.files) {
        std::string path = FindSourceFile(plan, f.disk, f.sourceName);
        if (!uninstaller.SourceFor(f, path, error)) return CommandFailed(error);
        if (path.empty() || !IsPlainName(f.sourceName))
            return CommandFailed(lint::SourceProblem(script, f.section, f.sourceName, f.line, f.sourceName,
                                                     plan.scriptDir, f.disk));
        sources.push_back(path);
    }

    if (!kivpack::os::MakeDirectory(out, error)) return CommandFailed(error);
    for (unsigned d = 1; d <= plan.diskCount; ++d)
        if (!kivpack::os::MakeDirectory(out + "/DISK" + std::to_string(d), error)) return CommandFailed(error);
    std::string first = out + "/DISK1/";
    // What each disk holds, for the measure and the images.
    std::vector<std::vector<ImageFile>> written(plan.diskCount);
    auto wrote = [&](unsigned disk, const std::string& name) {
        for (const ImageFile& f : written[disk - 1])
            if (f.name == name) return;
        written[disk - 1].push_back({name, out + "/DISK" + std::to_string(disk) + "/" + name});
    };
    wrote(1, "SETUP.EXE");
    wrote(1, scriptName);
    wrote(1, plan.helpSource);
    const std::string& text = lint::CurrentScript().packed;
    std::vector<uint8_t> bytes(text.begin(), text.end());
    // SETUP.EXE carries the checksum of every file, keyed by disk and name.
    std::vector<kivpack::PayloadCrcRecord> crcs(1 + plan.files.size());
    std::vector<PackJob> jobs(1 + plan.files.size());
    std::vector<std::string> destinations = {first + plan.helpSource};
    jobs[0].source = help.path;
    crcs[0].disk = 1;
    crcs[0].sourceName = plan.helpSource;
    for (size_t i = 0; i < plan.files.size(); ++i) {
        const PayloadFile& f = plan.files[i];
        jobs[i + 1].source = sources[i];
        destinations.push_back(out + "/DISK" + std::to_string(f.disk) + "/" + f.sourceName);
        crcs[i + 1].disk = uint8_t(f.disk);
        crcs[i + 1].sourceName = f.sourceName;
        wrote(f.disk, f.sourceName);
    }
    if (!MeasureJobs(jobs, error) || !WriteFileAtomically(first + scriptName, bytes, error))
        return CommandFailed(error);
    // Each file is compressed into its own place; a worker's file is
    // committed when it is whole.
    std::vector<std::unique_ptr<kivpack::os::OutputFile>> files(jobs.size());
    uint64_t expanded = 0;
    for (const PackJob& job : jobs) expanded += job.size;
    PackHooks hooks;
    hooks.begin = [&](size_t i, unsigned, std::string& e) {
        files[i].reset(new kivpack::os::OutputFile(destinations[i]));
        return files[i]->Open(e);
    };
    hooks.write = [&](size_t i, unsigned, const unsigned char* data, size_t n, std::string& e) {
        return files[i]->Write(data, n, e);
    };
    hooks.end = [&](size_t i, unsigned, std::string& e) {
        bool ok = files[i]->Commit(e);
        files[i].reset();
        return ok;
    };
    hooks.done = [&](size_t i, std::string&) {
        crcs[i].crc = jobs[i].crc;
        return true;
    };
    ProgressBar bar("compressing", expanded);
    if (!PackAll(jobs, threads, hooks, bar, error)) return CommandFailed(error);
    bar.Finish();
    kivpack::ResourceSet resources = image.resources;
    // The help file's topics as text, as a packed installer carries them.
    SetHelpText(resources, help.topics, kivpack::ImageLanguage(resources));
    std::vector<uint8_t> setup;
    if (!kivpack::SetPayloadCrcTable(resources, crcs, kivpack::ImageLanguage(resources), error) ||
        !SetProgramVersion(resources, version, "Setup", "SETUP.EXE", error) ||
        !kivpack::WritePeWithResources(image, resources, setup, error))
        return CommandFailed(stubPath + ": " + error);
    if (!WriteFileAtomically(first + "SETUP.EXE", setup, error)) return CommandFailed(error);
    uninstaller.PrintNotes();
    std::printf("%s: %u disks, %zu files\n", out.c_str(), plan.diskCount, plan.files.size());
    return FinishDiskSet(media, medium, seconds, plan, out, written);
}
