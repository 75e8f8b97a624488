// kivpack build: the script, the help file and every payload file, each
// SZDD-compressed, written as resources of type 256 into a copy of the stub.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include "resources/kivformat.h"
#include "tools/kivpack/commands.h"
#include "tools/kivpack/lint/script_lint.h"
#include "tools/kivpack/lint/source_lookup.h"
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/help_text.h"
#include "tools/kivpack/packing.h"
#include "tools/kivpack/payload.h"
#include "tools/kivpack/pe/pe.h"
#include "tools/kivpack/progress.h"
#include "tools/kivpack/resource_stamp.h"
#include "tools/kivpack/script_reader.h"
#include "tools/kivpack/stub.h"
#include "tools/kivpack/szdd_compress.h"
#include "tools/kivpack/uninstaller.h"
#include "tools/kivpack/version_resource.h"

namespace {

const char Usage[] =
    "usage: kivpack build SCRIPT [-o OUT] [--stub KIVINSTALL.EXE] [--uninstaller-stub KIVUNINST.EXE]\n"
    "                    [--bitmap FILE.BMP] [--icon FILE.ICO] [--date YYYY-MM-DD[ HH:MM[:SS]]]\n"
    "                    [--depfile FILE] [--strict] [-j N]\n"
    "                    [--company TEXT] [--copyright TEXT] [--version-number N.N.N.N]\n"
    "\n"
    "Checks SCRIPT as the installer would (as 'kivpack check' does), then writes\n"
    "OUT (default: setup.exe beside the script): a copy of the stub holding the\n"
    "script (resource 12000), the help file (12001) and every file line of every\n"
    "disk section in script order (12002 on), each SZDD-compressed. Source files\n"
    "are looked for in DISKn/ beside the script, then beside the script (the\n"
    "help file in DISK1/ first), in any letter case. A script in UTF-8 is packed\n"
    "in code page 1252. The help file's topics are also stored as text (resource\n"
    "type 257), which the installer shows itself where Windows has no help\n"
    "viewer. --bitmap adds the fonts-only picture (bitmap 500); --icon replaces\n"
    "the installer's icon. The CRC-32 of every file as it was read goes in too\n"
    "(resource 258/1); the installer checks it as it expands. Every installed\n"
    "file is dated with --date, else SOURCE_DATE_EPOCH, else the time of the\n"
    "build; the same inputs and date give the same bytes. --strict: a warning\n"
    "about the script fails the build. --depfile writes FILE, a make rule of\n"
    "OUT on every file the build read, for build systems that rebuild when one\n"
    "changes. The stubs are --stub and --uninstaller-stub, else the files that\n"
    "$KIVPACK_STUB and $KIVPACK_UNINSTALLER name, else kivinstall.exe and\n"
    "kivuninst.exe in ../share/kivinstall/ from kivpack's own folder, beside\n"
    "kivpack, or in the build tree. -j N compresses N files at a time (default:\n"
    "one per processor); the output is the same for every N. Files are\n"
    "compressed into temporary files beside OUT, so memory stays small; an\n"
    "installer whose image would pass 1 GiB, more than Windows can load in\n"
    "every case, is refused as soon as that is certain: before any work when\n"
    "even the best compression could not bring it under.\n";

// A make rule: `target` depends on every file of `inputs`. Spaces, '#' and
// '$' are escaped as make and Ninja read them.
bool WriteDepfile(const std::string& path, const std::string& target, const std::vector<std::string>& inputs,
                  std::string& error)
{
    auto escape = [](const std::string& name) {
        std::string full = kivpack::os::AbsolutePath(name), out;
        for (char c : full) {
            if (c == '\\') c = '/';
            if (c == ' ' || c == '#') out += '\\';
            if (c == '$') out += '$';
            out += c;
        }
        return out;
    };
    std::string rule = escape(target) + ":";
    for (const std::string& input : inputs) rule += " \\\n  " + escape(input);
    rule += "\n";
    return kivpack::os::WriteWholeFile(path, rule.data(), rule.size(), error);
}

// Where a worker's compressed files go: one scratch file beside the output,
// read back as the image is written and then removed.
class Spool : public kivpack::ResourceSource {
public:
    explicit Spool(const std::string& out) : file(out) {}
    bool ReadAt(uint64_t offset, void* data, size_t size, std::string& error) const override
    {
        return file.ReadAt(offset, data, size, error);
    }
    kivpack::os::OutputFile file;
    bool open = false;
    uint64_t size = 0;
};

class OutputSink : public kivpack::ImageSink {
public:
    explicit OutputSink(kivpack::os::OutputFile& file) : file_(file) {}
    bool Write(const uint8_t* data, size_t size, std::string& error) override
    {
        written += size;
        return file_.Write(data, size, error);
    }
    bool Patch(uint64_t offset, const uint8_t* data, size_t size, std::string& error) override
    {
        return file_.WriteAt(offset, data, size, error);
    }
    uint64_t written = 0;

private:
    kivpack::os::OutputFile& file_;
};

} // namespace

int RunBuild(int argc, char** argv)
{
    std::string script, out, stub, uninstallerStub, bitmap, icon, date, depfile;
    bool strict = false;
    unsigned threads = DefaultThreads();
    VersionOptions version;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(Usage, stdout);
            std::fputs(VersionOptionsHelp, stdout);
            return 0;
        }
        if (a == "-j" && i + 1 < argc) {
            if (!ParseThreads(argv[++i], threads)) {
                std::fprintf(stderr, "kivpack build: -j takes a number of threads from 1 to 256\n");
                return 2;
            }
        } else if (TakeVersionOption(argc, argv, i, version)) {
        } else if (a == "--date" && i + 1 < argc) {
            date = argv[++i];
        } else if (a == "--strict") {
            strict = true;
        } else if ((a == "-o" || a == "--stub" || a == "--uninstaller-stub" || a == "--bitmap" || a == "--icon" ||
                    a == "--depfile") && i + 1 < argc) {
            (a == "-o" ? out : a == "--stub" ? stub : a == "--uninstaller-stub" ? uninstallerStub
             : a == "--bitmap" ? bitmap : a == "--icon" ? icon : depfile) = argv[++i];
        } else if (a[0] == '-' || !script.empty()) {
            std::fputs(Usage, stderr);
            return 2;
        } else {
            script = a;
        }
    }
    if (script.empty()) {
        std::fputs(Usage, stderr);
        return 2;
    }

    PayloadPlan plan;
    std::string error;
    ResourceStamp stamp;
    if (!ChooseResourceStamp(date, stamp, error) || !CheckVersionOptions(version, error))
        return CommandFailed("kivpack build: " + error);
    if (!PlanPayload(script, ScriptTarget(), plan, error)) return CommandFailed(error);
    if (lint::WarningExit(lint::ReportWarnings(ScriptTarget()), strict))
        return CommandFailed(script + ": not packed: --strict makes the warnings above errors");
    if (out.empty()) out = plan.scriptDir + "setup.exe";
    std::string warning = UninstallerWarning(script, plan);
    if (!warning.empty()) std::fprintf(stderr, "%s\n", warning.c_str());
    GeneratedUninstaller uninstaller(script, uninstallerStub, stub, plan, version);

    kivpack::PeImage image;
    std::string stubPath;
    if (!LoadStub(stub, image, stubPath, error)) return CommandFailed(error);
    kivpack::ResourceSet resources = image.resources;
    // A stub that was packed before keeps none of its old payload.
    for (const kivpack::Resource& r : image.resources.Entries())
        if (!r.type.isString && r.type.id == KIV_PAYLOAD_TYPE) resources.RemoveAll(r.type, r.name);
    uint16_t language = kivpack::ImageLanguage(resources);

    // Gather every input first, so that a missing file is reported before any
    // work is done.
    struct Input {
        uint16_t id;
        std::string path;
        const PayloadFile* generated;  // an uninstaller line that gets the generated uninstaller
    };
    std::vector<Input> inputs = {{KIV_SCRIPT_RESOURCE, script, nullptr}};
    HelpFileReport help = InspectHelpFile(plan);
    if (!help.found)
        return CommandFailed(lint::SourceProblem(script, "Basic Information", "HelpFileName",
                                                 "HelpFileName=" + plan.helpSource, plan.helpSource, plan.scriptDir, 1));
    PrintHelpWarnings(help);
    inputs.push_back({KIV_HELP_RESOURCE, help.path, nullptr});
    for (const PayloadFile& f : plan.files) {
        std::string path = FindSourceFile(plan, f.disk, f.sourceName);
        // The generated uninstaller is made once the product is known to
        // fit: its table of installed files reads every file of the target.
        if (path.empty() && IsUninstallerLine(f)) {
            inputs.push_back({f.resourceId, "", &f});
            continue;
        }
        if (path.empty())
            return CommandFailed(lint::SourceProblem(script, f.section, f.sourceName, f.line, f.sourceName,
                                                     plan.scriptDir, f.disk));
        inputs.push_back({f.resourceId, path, nullptr});
    }

    // The inputs, their sizes, and every resource but the payloads' data,
    // so that the image's bounds are known before anything is compressed.
    // The generated uninstaller counts as empty until it is made: the
    // least the image can take stays a least.
    std::vector<PackJob> jobs(inputs.size());
    const std::string& ansi = lint::CurrentScript().packed;
    jobs[0].text.assign(ansi.begin(), ansi.end());
    for (size_t i = 1; i < inputs.size(); ++i) jobs[i].source = inputs[i].path;
    if (!MeasureJobs(jobs, error)) return CommandFailed(error);
    SetHelpText(resources, help.topics, language);
    std::vector<kivpack::PayloadCrcRecord> crcs;
    for (size_t i = 0; i < inputs.size(); ++i) crcs.push_back({0, inputs[i].id, 0, ""});
    if (!kivpack::SetPayloadCrcTable(resources, crcs, language, error)) return CommandFailed(error);

    if (!WriteResourceStamp(resources, language, stamp, error) ||
        !SetProgramVersion(resources, version, "Setup", "setup.exe", error))
        return CommandFailed(stubPath + ": " + error);
    std::vector<uint8_t> file;
    if (!bitmap.empty() && (!ReadWholeFile(bitmap, file, error) || !kivpack::SetFontsBitmap(resources, file, error)))
        return CommandFailed(bitmap + ": " + error);
    if (!icon.empty() && (!ReadWholeFile(icon, file, error) || !kivpack::SetProgramIcon(resources, file, error)))
        return CommandFailed(icon + ": " + error);

    // Payloads are read back from the workers' spools; each spool and its
    // offset are filled in as they are compressed.
    unsigned workers = std::min<size_t>(threads, jobs.size());
    std::vector<std::unique_ptr<Spool>> spools;
    for (unsigned w = 0; w < workers; ++w) spools.emplace_back(new Spool(out));
    std::vector<unsigned> spoolOf(jobs.size(), 0);
    std::vector<uint64_t> offsetOf(jobs.size(), 0);
    auto setPayloads = [&](const std::vector<uint64_t>& sizes) {
        for (size_t i = 0; i < jobs.size(); ++i) {
            kivpack::Resource r;
            r.type = kivpack::ResourceName::Id(KIV_PAYLOAD_TYPE);
            r.name = kivpack::ResourceName::Id(inputs[i].id);
            r.language = language;
            r.source = spools[spoolOf[i]].get();
            r.sourceOffset = offsetOf[i];
            r.sourceSize = uint32_t(std::min<uint64_t>(sizes[i], 0xFFFFFFFFu));
            resources.Set(std::move(r));
        }
    };
    // The image with every payload empty: what the data comes on top of.
    uint64_t expanded = 0, smallest = 0;
    std::vector<uint64_t> sizes(jobs.size(), 0);
    setPayloads(sizes);
    std::vector<uint8_t> head;
    std::vector<uint64_t> dataAt;
    uint64_t treeSize = 0;
    if (!kivpack::LayOutResourceTree(resources, 0, head, dataAt, treeSize, error))
        return CommandFailed(stubPath + ": " + error);
    const uint64_t base = kivpack::ResourceSectionRva(image) + treeSize;
    // Whether even the best compression leaves the image too large; the
    // figures the refusal gives are those of the product's files.
    auto cannotFit = [&]() {
        expanded = smallest = 0;
        for (size_t i = 0; i < jobs.size(); ++i) {
            if (i >= 2) expanded += jobs[i].size;
            smallest += SzddSmallestSize(jobs[i].size);
        }
        return base + smallest > kivpack::kMaxLoadableImage;
    };
    auto refusal = [&]() {
        return CommandFailed(
            TooLargeForOneInstaller("kivpack build: " + out, plan.files.size(), expanded, base + smallest, true));
    };
    if (cannotFit()) return refusal();
    bool generated = false;
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (!inputs[i].generated) continue;
        if (!uninstaller.SourceFor(*inputs[i].generated, jobs[i].source, error)) return CommandFailed(error);
        generated = true;
    }
    if (generated && !MeasureJobs(jobs, error)) return CommandFailed(error);
    if (generated && cannotFit()) return refusal();

    // While the files are compressed: the bytes written so far, and the
    // least the rest can take.
    std::atomic<uint64_t> packedSoFar(0);
    uint64_t doneExact = 0, restSmallest = smallest;
    auto overLimit = [&](uint64_t atLeast, std::string& e) {
        e = TooLargeForOneInstaller("kivpack build: " + out, plan.files.size(), expanded, atLeast, false);
        return false;
    };
    PackHooks hooks;
    hooks.begin = [&](size_t i, unsigned w, std::string& e) {
        Spool& spool = *spools[w];
        if (!spool.open && !(spool.open = spool.file.Open(e))) return false;
        spoolOf[i] = w;
        offsetOf[i] = spool.size;
        return true;
    };
    hooks.write = [&](size_t, unsigned w, const unsigned char* data, size_t n, std::string& e) {
        uint64_t total = packedSoFar += n;
        if (base + total > kivpack::kMaxLoadableImage) return overLimit(base + total, e);
        spools[w]->size += n;
        return spools[w]->file.Write(data, n, e);
    };
    hooks.end = [&](size_t, unsigned, std::string&) { return true; };
    hooks.done = [&](size_t i, std::string& e) {
        doneExact += jobs[i].packed;
        restSmallest -= SzddSmallestSize(jobs[i].size);
        if (base + doneExact + restSmallest > kivpack::kMaxLoadableImage)
            return overLimit(base + doneExact + restSmallest, e);
        return true;
    };
    ProgressBar bar("packing", expanded + jobs[0].size + jobs[1].size);
    if (!PackAll(jobs, threads, hooks, bar, error)) return CommandFailed(error);
    bar.Finish();

    for (size_t i = 0; i < jobs.size(); ++i) {
        sizes[i] = jobs[i].packed;
        crcs[i].crc = jobs[i].crc;
    }
    setPayloads(sizes);
    if (!kivpack::SetPayloadCrcTable(resources, crcs, language, error)) return CommandFailed(error);
    if (!kivpack::LayOutResourceTree(resources, 0, head, dataAt, treeSize, error))
        return CommandFailed(stubPath + ": " + error);
    if (kivpack::ResourceSectionRva(image) + treeSize > kivpack::kMaxLoadableImage)
        return CommandFailed(TooLargeForOneInstaller("kivpack build: " + out, plan.files.size(), expanded, kivpack::ResourceSectionRva(image) + treeSize,
                                      true));

    kivpack::os::OutputFile packed(out);
    OutputSink sink(packed);
    if (!packed.Open(error)) return CommandFailed(error);
    if (!kivpack::WritePeWithResources(image, resources, sink, error)) {
        packed.Discard();
        return CommandFailed((error.compare(0, out.size(), out) == 0 ? "" : stubPath + ": ") + error);
    }
    for (auto& spool : spools) spool->file.Discard();
    if (!packed.Commit(error)) return CommandFailed(error);
    if (!depfile.empty()) {
        std::vector<std::string> read = {stubPath};
        for (const Input& input : inputs)
            if (!input.generated) read.push_back(input.path);
        if (!uninstaller.StubUsed().empty()) read.push_back(uninstaller.StubUsed());
        for (const std::string& extra : {bitmap, icon})
            if (!extra.empty()) read.push_back(extra);
        if (!WriteDepfile(depfile, out, read, error)) return CommandFailed(error);
    }
    uninstaller.PrintNotes();
    std::printf("%s: %zu files packed from %s, %llu bytes\n", out.c_str(), plan.files.size(), script.c_str(),
                (unsigned long long)sink.written);
    return 0;
}
