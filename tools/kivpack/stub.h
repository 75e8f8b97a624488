// Finding and reading the installer stub that kivpack packs products into.
#pragma once
#include <string>
#include "tools/kivpack/pe_image.h"

// Reads the stub: `explicitPath` when given, else $KIVPACK_STUB, else
// kivinstall.exe beside the kivpack executable or in ../win32/ from it (the
// layout of the build tree). `usedPath` names the file read.
bool LoadStub(const std::string& explicitPath, kivpack::PeImage& image, std::string& usedPath,
              std::string& error);
