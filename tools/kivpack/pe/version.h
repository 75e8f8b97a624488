// The version resource (RT_VERSION 16, name 1) that Explorer's Properties,
// the elevation prompt and virus scanners read: a VS_VERSIONINFO block with
// the fixed file info, one string table and the translation it is in.
//
//  block: u16 length (all of it, children included), u16 value length
//         (bytes for binary, UTF-16 units with terminator for text), u16 type
//         (0 binary, 1 text), key in UTF-16 with terminator, padding to 4,
//         value, padding to 4, children (each starting on a 4-byte boundary)
//
//  VS_VERSION_INFO (value: the 52-byte fixed file info)
//    StringFileInfo
//      LLLL04B0 (language in hex, code page 1200: UTF-16)
//        CompanyName, FileDescription, FileVersion, ... (text values)
//    VarFileInfo
//      Translation (value: u16 language, u16 code page 1200)
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/kivpack/pe/resources.h"

namespace kivpack {

enum : uint16_t { kRtVersion = 16 };

struct VersionInfo {
    // Four 16-bit parts, major first: the fixed file info's file and product
    // versions.
    uint16_t number[4] = {0, 0, 0, 0};
    // The string table, in its order; an empty value is left out.
    std::vector<std::pair<std::string, std::u16string>> strings;
};

// "1", "1.2", "1.2.3" or "1.2.3.4", each part a decimal number up to 65535;
// false (and 0.0.0.0) for anything else, such as "2.0 beta".
bool ParseVersionNumber(const std::string& text, uint16_t number[4]);

// The bytes of the VS_VERSIONINFO block for `language`. Fails when a string
// is too long for the block's 16-bit lengths.
bool EncodeVersionInfo(const VersionInfo& info, uint16_t language, std::vector<uint8_t>& out,
                       std::string& error);

// Puts the block into `resources` as version resource 1 in `language`,
// replacing every version resource there was.
bool SetVersionInfo(ResourceSet& resources, const VersionInfo& info, uint16_t language, std::string& error);

} // namespace kivpack
