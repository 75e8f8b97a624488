// The product's uninstaller: a copy of kivuninst.exe that carries the install
// script, so that it knows what the installation put in place.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "tools/kivpack/payload.h"
#include "tools/kivpack/version_resource.h"

// A copy of the uninstaller stub with `scriptPath` as resource 12000 (SZDD)
// and the table of the files `plan` installs into the target directory, as
// the installation leaves them (resource KIV_INSTALLED_TYPE), with the
// version resource of `version` for the file `fileName`. The stub is
// `uninstallerStub` when given, else as LoadUninstallerStub finds it
// (kivuninst.exe beside a named `installerStub` first). `usedStub` names the
// stub read.
bool MakeUninstaller(const std::string& scriptPath, const std::string& uninstallerStub,
                     const std::string& installerStub, const PayloadPlan& plan, const VersionOptions& version,
                     const std::string& fileName, std::vector<uint8_t>& out, std::string& usedStub,
                     std::string& error);

// The size MakeUninstaller's image of the uninstaller for `plan` has, with the
// stub it finds itself and no version options, found without reading the
// product's files: the table of installed files takes the same room
// whatever their contents.
bool UninstallerSize(const PayloadPlan& plan, const std::string& fileName, uint64_t& size, std::string& error);

// Whether the file line puts uninst.exe into the target directory (any case).
bool IsUninstallerLine(const PayloadFile& file);

// For `build` and `disks`: the generated uninstaller, written once to a
// temporary file on first use and deleted when this goes out of scope.
class GeneratedUninstaller {
public:
    GeneratedUninstaller(const std::string& scriptPath, const std::string& uninstallerStub,
                         const std::string& installerStub, const PayloadPlan& plan, const VersionOptions& version)
        : script_(scriptPath), uninstallerStub_(uninstallerStub), stub_(installerStub), version_(version),
          plan_(plan) {}
    ~GeneratedUninstaller();
    GeneratedUninstaller(const GeneratedUninstaller&) = delete;
    GeneratedUninstaller& operator=(const GeneratedUninstaller&) = delete;

    // The source of `file` when the vendor supplied none: the generated
    // uninstaller for an uninstaller line (PrintNotes says so), else empty.
    // `sourcePath` is what the script's directory holds; a vendor's own file
    // is kept. False, with `error`, when the uninstaller cannot be made.
    bool SourceFor(const PayloadFile& file, std::string& sourcePath, std::string& error);
    // Prints, for each file line that got the generated uninstaller, a line
    // saying so: called once the output is written, so that a failed run
    // does not claim to have packed it.
    void PrintNotes() const;
    // The uninstaller stub read; empty when none was needed.
    const std::string& StubUsed() const { return stubUsed_; }

private:
    std::string script_, uninstallerStub_, stub_, path_, folder_, stubUsed_;
    VersionOptions version_;
    std::vector<std::string> notes_;
    const PayloadPlan& plan_;
};

// The warning (empty when none) that a script with an UninstallName but no
// file line putting uninst.exe into Target gets: the entry would name a
// program that is not there. The installer state must hold the loaded script.
std::string UninstallerWarning(const std::string& scriptPath, const PayloadPlan& plan);
