// The version resource that `build`, `disks` and `uninstaller` write into
// every program they make, so that Windows can say whose program it is: the
// product's name and version from the script, the file's own name and role,
// and what the vendor adds on the command line.
#pragma once
#include <string>
#include "tools/kivpack/pe/pe.h"

struct VersionOptions {
    std::string company;    // --company
    std::string copyright;  // --copyright
    std::string number;     // --version-number: "1.2.3.4" in place of the script's version
};

// "  [--company TEXT] [--copyright TEXT] [--version-number N.N.N.N]" and the
// lines that explain them, for a command's usage text.
extern const char VersionOptionsUsage[];
extern const char VersionOptionsHelp[];

// Takes argv[i] (and its value, moving i past it) when it is one of the
// options above; false otherwise.
bool TakeVersionOption(int argc, char** argv, int& i, VersionOptions& options);

// Checks the options before any work is done: a number that is not one to
// four parts up to 65535, or a text with a character that code page 1252
// lacks, is an error naming the option.
bool CheckVersionOptions(const VersionOptions& options, std::string& error);

// Sets version resource 1 of `resources`: FileDescription
// "<ProductName> <role>", ProductName and ProductVersion and FileVersion from
// the loaded script (the installer state), OriginalFilename `fileName` (the
// name the file is known by: "setup.exe", the uninstaller's name in the
// script; never the path it is written to, so that the same inputs give the
// same bytes under any output name),
// CompanyName and LegalCopyright from the options. The fixed version number
// is --version-number, else the script's version when it is numeric, else
// 0.0.0.0 (the text is kept as it stands).
bool SetProgramVersion(kivpack::ResourceSet& resources, const VersionOptions& options, const char* role,
                       const std::string& fileName, std::string& error);
