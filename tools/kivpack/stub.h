// The files that ship with kivpack (the installer and uninstaller stubs, and
// whatever else a command runs or copies), how kivpack finds them, and the
// release a stub belongs to.
#pragma once
#include <string>
#include <vector>
#include "tools/kivpack/pe/pe.h"

struct ShippedFile {
    const char* name;        // below the shipped folder: "kivinstall.exe"
    const char* kind;        // a stub's word in its string IDS_STUB_VERSION: "installer"
    const char* what;        // for messages: "installer stub"
    const char* option;      // the command-line option that names it
    const char* variable;    // the environment variable that names it
    const char* buildTree;   // where the build tree holds it, from the executable's folder
};
extern const ShippedFile InstallerStub;    // kivinstall.exe, --stub, KIVPACK_STUB
extern const ShippedFile UninstallerStub;  // kivuninst.exe, --uninstaller-stub, KIVPACK_UNINSTALLER

// The folder that an installation of kivpack ships its files in:
// ../share/kivinstall/ from the executable's own folder, so that a whole
// installation can be moved elsewhere and still work.
std::string ShippedFolder();

struct ShippedLookup {
    std::string path;                   // the file to use; empty when none was found
    std::vector<std::string> searched;  // every place looked at, in order
    bool named = false;                 // the option or the variable named it
};

// Finds `file`: `explicitPath` when given, else the file its environment
// variable names, else the first that exists of: NAME in each of
// `extraFolders`, in ShippedFolder(), beside the executable, and the build
// tree's place. A named file is taken whether or not it exists, so that its
// own error is reported.
ShippedLookup FindShippedFile(const ShippedFile& file, const std::string& explicitPath,
                              const std::vector<std::string>& extraFolders = {});

// "no installer stub found; looked for A, B and C (give --stub
// KIVINSTALL.EXE or set KIVPACK_STUB)".
std::string NotFoundMessage(const ShippedFile& file, const ShippedLookup& lookup);

// Reads the installer stub found as FindShippedFile finds it and checks that
// it is of this kivpack's release. `usedPath` names the file read.
bool LoadStub(const std::string& explicitPath, kivpack::PeImage& image, std::string& usedPath,
              std::string& error);
// The same for the uninstaller stub; a named installer stub
// (`installerStub`, else $KIVPACK_STUB) puts its folder first among the
// places looked at.
bool LoadUninstallerStub(const std::string& explicitPath, const std::string& installerStub,
                         kivpack::PeImage& image, std::string& usedPath, std::string& error);

// The release of KivInstall a stub belongs to, as its string IDS_STUB_VERSION
// says ("0.1.0"), and which stub it is ("installer", "uninstaller"); empty
// when it carries none.
std::string StubVersion(const kivpack::PeImage& image, std::string* kind = nullptr);
// Whether the stub at `path` belongs to this kivpack's release; the error
// says which release it is and what to do.
bool CheckStubVersion(const kivpack::PeImage& image, const ShippedFile& file, const std::string& path,
                      std::string& error);
