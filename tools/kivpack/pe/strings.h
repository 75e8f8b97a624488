// String tables (RT_STRING). Strings are stored sixteen to a block: string id
// n lives in block n / 16 + 1 at position n % 16. A block is sixteen entries,
// each a 16-bit length followed by that many UTF-16LE units, with no
// terminator; an empty entry (length 0) is a missing string.
//
// The stub's texts 8000..8011 are blocks 501 and 502; the byte caps of the
// payload resources (string id = resource id - 2000, so 10000 onward) start
// at block 626. Setting a string merges it into the block that already holds
// its neighbours, in the language the stub's own strings use.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/kivpack/pe/resources.h"

namespace kivpack {

using StringBlock = std::array<std::u16string, 16>;

inline uint16_t StringBlockId(uint16_t stringId) { return uint16_t(stringId / 16 + 1); }

// Decodes a block; bytes after the sixteenth entry are ignored (compilers
// may pad), a block cut short is an error.
bool DecodeStringBlock(const std::vector<uint8_t>& data, StringBlock& block, std::string& error);
std::vector<uint8_t> EncodeStringBlock(const StringBlock& block);

// The language of the image's own strings: that of the block holding string
// 8000 when there is one, else that of any string block, else the language
// of any resource, else kDefaultLanguage. New resources use it too.
uint16_t ImageLanguage(const ResourceSet& resources);

// The text of string `id` in `language`; false when it is missing (or its
// block is malformed).
bool FindString(const ResourceSet& resources, uint16_t id, uint16_t language, std::u16string& text);

// Sets string `id` in `language`, keeping the other fifteen strings of its
// block. An empty text removes the string, and its block once it is empty.
bool SetString(ResourceSet& resources, uint16_t id, uint16_t language, const std::u16string& text,
               std::string& error);

// The byte cap of payload resource `resourceId` (string resourceId - 2000,
// in decimal), in the image's language. A cap of 0 removes it.
bool SetPayloadCap(ResourceSet& resources, uint16_t resourceId, uint32_t cap, std::string& error);

// The installer's texts are 8-bit ANSI in the Western code page (1252).
// AnsiToUtf16 maps each byte; Utf16ToAnsi maps back and gives false when a
// character has no byte (it is then written as '?').
std::u16string AnsiToUtf16(const std::string& text);
bool Utf16ToAnsi(const std::u16string& text, std::string& out);

} // namespace kivpack
