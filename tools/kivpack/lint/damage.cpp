// Warnings about what an installation would do to the system rather than to
// the product: names that climb out of their directory, groups and settings
// files that belong to Windows and to every other program, and a program to
// start that is not where the installer looks for it.
#include "platform/text.h"
#include "script/installer_state.h"
#include "script/keywords.h"
#include "ui/directory_text.h"
#include "tools/kivpack/lint/install_rules.h"
#include "tools/kivpack/lint/warning_parts.h"

namespace lint {
namespace {

const char* const DirectoryNames[] = {"the target directory", "the Windows directory", "the system directory",
                                      "the System32 directory", "the fonts directory"};

const ScanKey* Given(const std::string& section, const std::string& key)
{
    return CurrentScript().scan.FindGiven(section, key);
}

// The keys "File1", "File2", ... that the loader reads: up to the first
// missing or empty one, at most 32.
std::vector<const ScanKey*> Numbered(const std::string& section, const std::string& stem)
{
    std::vector<const ScanKey*> keys;
    while (keys.size() < 32)
        if (const ScanKey* k = Given(section, stem + std::to_string(keys.size() + 1)))
            keys.push_back(k);
        else
            break;
    return keys;
}

void CheckFileLines(std::vector<Warning>& out, const PayloadPlan& plan)
{
    for (const PayloadFile& f : plan.files)
        if (f.kind < 5 && ResolveBelow(f.destinationName).climbsOut)
            out.push_back({CurrentScript().scan.LineOf(f.section, f.sourceName),
                           "the destination " + std::string(DirectoryKeywords[f.kind]) + "\\" + f.destinationName +
                               " climbs out of " + DirectoryNames[f.kind] + " with '..': the file is written "
                               "outside it, over whatever file of that name is there; name a place below " +
                               DirectoryKeywords[f.kind]});
}

void CheckListsBelowDirectories(std::vector<Warning>& out)
{
    for (const ScanKey* k : Numbered("Target Subdirectories", "Subdirectory"))
        if (ResolveBelow(k->value).climbsOut)
            out.push_back({k->line, k->name + "=" + k->value + " climbs out of the target directory with '..': "
                                    "the installer makes a directory outside it; name one below the target "
                                    "directory"});
    for (const ScanKey* k : Numbered("Delete List", "File")) {
        size_t slash = k->value.rfind('\\');
        if (slash == std::string::npos) continue;  // the loader's fault
        unsigned kind = MatchKeyword(DirectoryKeywords, 5, k->value.substr(0, slash).c_str());
        if (kind < 5 && ResolveBelow(k->value.substr(slash + 1)).climbsOut)
            out.push_back({k->line, k->name + "=" + k->value + " climbs out of " + DirectoryNames[kind] +
                                    " with '..': the installer deletes a file outside it, which may be no file "
                                    "of the product's; name a file directly in " + DirectoryKeywords[kind]});
    }
}

void CheckGroups(std::vector<Warning>& out)
{
    const ScriptScan& scan = CurrentScript().scan;
    const ScanKey* group = Given("Program Manager Group", "GroupName");
    const ScanSection* section = scan.Find("Program Manager Group");
    bool items = false;
    if (group)
        for (const ScanKey& k : section->keys)
            items = items || (k.hasValue && !k.shadowed && !k.value.empty() && !SameName(k.name, "GroupName"));
    // Without an item the installer sends the shell nothing, not even the
    // deletion of a group.
    if (!items) return;
    const ScanKey* product = Given("Basic Information", "ProductName");
    const std::string own = product ? product->value : "the product's name";
    auto check = [&](const ScanKey& k, const std::string& name, const std::string& what, const std::string& when) {
        std::string shared = SharedGroup(name);
        if (!shared.empty())
            out.push_back({k.line, what + " names the group " + shared + ", which Windows and other programs share: " +
                                       when + "the installer deletes it, with every other program's items in it, "
                                       "before it makes its own; name a group of the product's own, such as " + own});
        else if (ResolveBelow(name).goesUp)
            out.push_back({k.line, what + " holds '..', which the shell takes as the folder above: " + when +
                                       "the installer deletes the group it names, which may be another program's "
                                       "or a folder of the system; name the group without '..'"});
    };
    check(*group, group->value, "GroupName=" + group->value, "");
    if (const ScanSection* old = scan.Find("Old Program Manager Groups")) {
        unsigned read = 0;
        for (const ScanKey& k : old->keys) {
            if (!k.hasValue || k.name.empty() || k.name[0] == ';' || read++ >= MaxOldGroups) continue;
            if (!k.value.empty())
                check(k, k.value, "the old group " + k.name + "=" + k.value,
                      "when this installation replaces version " + k.name + ", ");
        }
    }
}

void CheckSystemFiles(std::vector<Warning>& out)
{
    if (const ScanKey* k = Given("Basic Information", "Product.INI")) {
        std::string system = SystemFile(k->value);
        if (!system.empty())
            out.push_back({k->line, "Product.INI=" + k->value + " names " + system + ", a file of Windows: the "
                                    "installer writes the product's [Settings] (Directory, Version, FirstTime) into "
                                    "it, and takes what it finds there for an earlier copy of the product; name a "
                                    "file of the product's own"});
    }
    if (const ScanKey* k = Given("Basic Information", "HelpFileName")) {
        size_t comma = k->value.find(',');
        std::string installed = comma == std::string::npos ? k->value : k->value.substr(comma + 1);
        ResolvedName r = ResolveBelow(installed);
        std::string system = r.parts.size() == 1 ? SystemFile(installed) : std::string();
        if (r.climbsOut || !system.empty())
            out.push_back({k->line, "the help file is put in the Windows directory as " + installed +
                                    " while the installer runs, and deleted when it ends: " +
                                    (r.climbsOut ? std::string("the name climbs out of that directory with '..', so "
                                                               "a file outside it is replaced and deleted")
                                                 : "the system's own " + system + " is replaced and deleted") +
                                    "; give the installed help file a name of its own"});
    }
}

void CheckRunFile(std::vector<Warning>& out, const PayloadPlan& plan)
{
    std::vector<std::vector<std::string>> inTarget;
    for (const PayloadFile& f : plan.files) {
        ResolvedName r = ResolveBelow(f.destinationName);
        if (f.kind == DirTarget && !r.climbsOut) inTarget.push_back(r.parts);
    }
    auto installed = [&](const std::string& name) {
        ResolvedName r = ResolveBelow(name);
        for (const std::vector<std::string>& t : inTarget)
            if (!r.climbsOut && SamePath(t, r.parts)) return true;
        return false;
    };
    for (const char* key : {"File", "Win31File", "Win95File", "WinNTFile"}) {
        const ScanKey* k = Given("Run", key);
        if (!k) continue;
        // The installer's own rule, with the files of the script as the
        // target directory's.
        const RunFileParts parts = SplitRunFile(
            k->value.c_str(), [](const char* name, void* c) { return (*(decltype(installed)*)c)(name) ? 1 : 0; },
            &installed);
        std::string program = k->value.substr(parts.Program, parts.Length);
        if (program.empty() || installed(program)) continue;
        ResolvedName wanted = ResolveBelow(program);
        const PayloadFile* elsewhere = nullptr;
        for (const PayloadFile& f : plan.files) {
            ResolvedName r = ResolveBelow(f.destinationName);
            if (!elsewhere && !r.parts.empty() && !wanted.parts.empty() && SameName(r.parts.back(), wanted.parts.back()))
                elsewhere = &f;
        }
        if (!elsewhere)
            out.push_back({k->line, "the program '" + program + "' is installed by no file line of the disk sections"});
        else
            out.push_back({k->line, "the program '" + program + "' is started from the target directory, where no "
                                    "file line puts it: line " +
                                    std::to_string(CurrentScript().scan.LineOf(elsewhere->section, elsewhere->sourceName)) +
                                    " installs " + KindKeyword(elsewhere->kind) + "\\" + elsewhere->destinationName});
    }
}

} // namespace

void AddDamageWarnings(std::vector<Warning>& out, const PayloadPlan& plan)
{
    CheckFileLines(out, plan);
    CheckListsBelowDirectories(out);
    CheckGroups(out);
    CheckSystemFiles(out);
    CheckRunFile(out, plan);
}

} // namespace lint
