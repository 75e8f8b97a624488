// What a script packs: the script itself, the help file and one payload per
// file line of every disk section, numbered as the installer numbers them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct PayloadFile {
    uint16_t resourceId = 0;
    unsigned disk = 0;            // 1 to TotalDisks
    std::string section;          // "Disk 1"
    std::string line;             // key=value, as the script holds it
    std::string sourceName;       // the key
    std::string destinationName;  // below its directory; may hold backslashes
    unsigned kind = 0;            // DirKind 0 to 4
    bool append = false;
    unsigned displays = 7;        // bit 0 EGA, 1 VGA, 2 8514: the classes it is installed on
};

struct PayloadPlan {
    std::string scriptPath;  // as given
    std::string scriptDir;   // with a trailing '/'
    std::string helpSource;
    std::string helpInstalled;
    unsigned diskCount = 0;
    uint32_t startHelpContext = 0;  // of the first dialog: 1550, 2402 or 2400
    std::vector<PayloadFile> files;  // in resource id order
    std::vector<std::string> subdirectories;  // the [Target Subdirectories] the installer makes
};

// How much PlanPayload asks of a script: that the installer loads it, or
// also that nothing in it stops the installation that the loader lets
// through (a file into a subdirectory that nothing creates). A packer asks
// for the second; a reader of an installer that exists asks for the first.
enum class PlanChecks { Installation, LoaderOnly };

// Checks the script as `kivpack check` does (VGA, Windows 4.0 unless the
// caller's target says otherwise) and lists every file line of every disk
// section, lines of other display classes included. On a fault returns false
// with the verdict in `error`: one line, and one more for the reason, for each
// fault found.
struct ScriptTarget;
bool PlanPayload(const std::string& scriptPath, const ScriptTarget& target, PayloadPlan& plan,
                 std::string& error, PlanChecks checks = PlanChecks::Installation);

// Every file line of disks 1 to `diskCount` of the script file `script`, read
// through the profile calls as the loader reads them, numbered from the
// first payload id.
std::vector<PayloadFile> ListPayloadFiles(const std::string& script, unsigned diskCount);

// The file that holds the source of `file`: NAME in DISKn/ beside the script,
// else beside the script, its letter case ignored. Empty when neither holds
// it, or a folder holds two files of that name in different case
// (lint::SourceProblem says which).
std::string FindSourceFile(const PayloadPlan& plan, unsigned disk, const std::string& name);

// Reads and writes whole files; writing goes to a temporary file created new
// beside `path` that is renamed over it only when every byte is written
// (os::OutputFile).
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data, std::string& error);
bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& data, std::string& error);

// The directory keyword of a DirKind.
const char* KindKeyword(unsigned kind);
