// Finding and reading the installer stub that kivpack packs products into.
#pragma once
#include <string>
#include <vector>
#include "tools/kivpack/pe/pe.h"

// Reads the stub: `explicitPath` when given, else $KIVPACK_STUB, else
// kivinstall.exe beside the kivpack executable or in ../win32/ from it (the
// layout of the build tree). `usedPath` names the file read.
bool LoadStub(const std::string& explicitPath, kivpack::PeImage& image, std::string& usedPath,
              std::string& error);

// The directory of the kivpack executable, ending in a slash.
std::string KivpackDirectory();

// Reads the first of `candidates` that can be read (the only one, when there
// is one, is read whatever happens, so its own error is reported). `usedPath`
// names the file read; with none readable, `missing` is the error.
bool ReadStubCandidate(const std::vector<std::string>& candidates, const char* missing,
                       kivpack::PeImage& image, std::string& usedPath, std::string& error);
