// A packed installer's resources as the installer itself finds them: what
// `list` and `extract` show, and nothing the installer would not take.
//
// The installer looks each resource up by id with FindResourceA (and its
// texts with LoadStringA, which does the same for string blocks), and that
// lookup takes the neutral language, then the user's, then the first. Where a
// resource the installer reads exists in one language only, every user gets
// that one; where it exists in several, two users may get different bytes
// from the same file, so no reader can say what "the" installer installs.
// Such an installer is refused, as is one whose byte caps cannot be read.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/kivpack/pe/resources.h"

namespace kivpack {

struct InstallerPayload {
    const std::vector<uint8_t>* stored = nullptr;  // the resource's bytes
    uint32_t cap = 0;   // string (id - 2000) read as the installer reads it; 0: none
    uint32_t size = 0;  // the bytes the installer takes: the stored size, or the cap when smaller
    const uint8_t* Data() const { return stored->data(); }
};

struct InstallerView {
    std::map<uint16_t, InstallerPayload> payloads;     // type 256, by id
    const std::vector<uint8_t>* crcTable = nullptr;    // type 258 id 1, or null
    const std::vector<uint8_t>* helpText = nullptr;    // type 257 id 1, or null
    const std::vector<uint8_t>* helpStyles = nullptr;  // type 259 id 1 (the topics' bold, italic and jumps), or null
    // String 8000 as LoadStringA hands it to the installer (code page 1252);
    // empty when missing.
    std::string scriptFileName;
    // No install script among the payloads: the stub of a disk set (or not an
    // installer at all), which reads its script from the disk it starts on.
    bool DiskMode() const { return !payloads.count(12000); }
};

// Reads `resources` as the installer would. Fails, with a sentence naming
// the resource, when a payload, the checksum table, the help text, its styles or a
// string block exists in more than one language, or a string block holding a
// cap or string 8000 is malformed. `resources` must outlive `view`.
bool ReadInstallerView(const ResourceSet& resources, InstallerView& view, std::string& error);

// The number LoadStringA and the installer's own reading make of a cap
// string: at most 15 characters, leading blanks, a sign, then digits, taken
// modulo 2^32 as the 32-bit installer takes it.
uint32_t InstallerCapValue(const std::u16string& text);

// The help topics of a help-text resource as the installer walks them: the
// count it declares, and how many records lie whole one after the other
// (the installer stops at the first that does not).
struct HelpTextCount {
    uint32_t declared = 0;
    uint32_t whole = 0;
};
HelpTextCount CountHelpTopics(const std::vector<uint8_t>& resource);

} // namespace kivpack
