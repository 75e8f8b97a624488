#include "tools/kivpack/payload.h"
#include <cstring>
#include "platform/platform.h"
#include "platform/text.h"
#include "resources/kivformat.h"
#include "script/installer_state.h"
#include "script/keywords.h"
#include "script/loader.h"
#include "tools/kivpack/lint/script_lint.h"
#include "tools/kivpack/lint/source_lookup.h"
#include "tools/kivpack/os/os.h"
#include "ui/dialog_help.h"
#include "tools/kivpack/script_reader.h"

namespace {

std::vector<std::string> KeyList(const char* section, const char* file)
{
    std::vector<char> buffer(WorkBufferSize);
    ProfileReadString(section, nullptr, "", buffer.data(), (unsigned)buffer.size(), file);
    std::vector<std::string> keys;
    for (const char* k = buffer.data(); *k; k += std::strlen(k) + 1) keys.push_back(k);
    return keys;
}

} // namespace

const char* KindKeyword(unsigned kind) { return kind < 5 ? DirectoryKeywords[kind] : "Source"; }

std::vector<PayloadFile> ListPayloadFiles(const std::string& script, unsigned diskCount)
{
    // The same numbering as the loader's: every key of every disk section but
    // DiskName takes the next id, whatever display class it is for.
    std::vector<PayloadFile> files;
    char value[PathSize];
    unsigned next = KIV_FIRST_FILE_RESOURCE;
    for (unsigned d = 1; d <= diskCount; ++d) {
        std::string section = "Disk " + std::to_string(d);
        for (const std::string& key : KeyList(section.c_str(), script.c_str())) {
            if (TextEqualNoCase(key.c_str(), KeyNames[KeyDiskName])) continue;
            ProfileReadString(section.c_str(), key.c_str(), "", value, sizeof value, script.c_str());
            PayloadFile f;
            f.resourceId = (uint16_t)next++;
            f.disk = d;
            f.section = section;
            f.line = key + "=" + value;
            f.sourceName = key;
            const char* name;
            char* rest;
            SplitFileLine(value, key.c_str(), &f.kind, &name, &rest);
            f.destinationName = name;
            // The loader's reading of the flags: the first display word met
            // while all three are set clears them, later ones add to it.
            for (char* field = rest; field;) {
                char* c = std::strchr(field, ',');
                if (c) *c = 0;
                unsigned flag = field == rest ? 6 : MatchKeyword(FlagKeywords, 6, field);
                if (flag <= 2) f.displays = (f.displays == 7 ? 0 : f.displays) | (1u << flag);
                if (flag == 3) f.append = true;
                field = c ? c + 1 : nullptr;
            }
            files.push_back(f);
        }
    }
    return files;
}

bool PlanPayload(const std::string& scriptPath, const ScriptTarget& target, PayloadPlan& plan,
                 std::string& error, PlanChecks checks)
{
    unsigned fault = LoadScript(scriptPath, target);
    if (fault == IDD_WINDOWS_TOO_OLD) {
        // A product for a newer Windows than the one checked for is not a
        // fault of its script: the installer refuses it only on an older
        // system. It is packed as that newer system reads it.
        ScriptTarget newer = target;
        newer.osMajor = State.RequiredWinMajor;
        newer.osMinor = State.RequiredWinMinor;
        ReleaseScriptTables();
        fault = LoadScript(scriptPath, newer);
    }
    if (fault) {
        error = FaultLine(scriptPath, fault);
        ReleaseScriptTables();
        return false;
    }
    plan = PayloadPlan();
    plan.scriptPath = scriptPath;
    plan.scriptDir = State.SourceDir;
    plan.diskCount = State.DiskCount;
    // The dialog the installer starts with; an earlier copy found on the
    // user's machine turns 2400 into 2401.
    plan.startHelpContext = DialogHelpContext(State.FontsOnly ? IDD_FONTS_ONLY
                                              : State.VersionToPatch[0] ? IDD_UPGRADE : IDD_NEW_INSTALL);
    char value[PathSize];
    for (unsigned i = 0; i < State.SubdirCount; ++i) {
        unsigned n = AtomGetName(State.Subdirs[i], value, sizeof value);
        plan.subdirectories.push_back(std::string(value, n));
    }
    std::string script = State.ScriptPath;
    ReleaseScriptTables();

    ProfileReadString("Basic Information", KeyNames[KeyHelpFileName], "", value, sizeof value, script.c_str());
    std::string help = value;
    size_t comma = help.find(',');
    plan.helpSource = help.substr(0, comma);
    plan.helpInstalled = comma == std::string::npos ? help : help.substr(comma + 1);
    plan.files = ListPayloadFiles(script, plan.diskCount);
    if (checks == PlanChecks::Installation) {
        for (const lint::Finding& e : lint::InstallationErrors(plan)) error += (error.empty() ? "" : "\n") + e.text;
        if (!error.empty()) return false;
    }
    return true;
}

std::string FindSourceFile(const PayloadPlan& plan, unsigned disk, const std::string& name)
{
    return lint::LocateSource(lint::SourceFolders(plan.scriptDir, disk), name).path;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data, std::string& error)
{
    return kivpack::os::ReadWholeFile(path, data, error);
}

bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& data, std::string& error)
{
    return kivpack::os::WriteWholeFile(path, data.data(), data.size(), error);
}
