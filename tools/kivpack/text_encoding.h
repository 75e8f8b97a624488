// Text that the installer reads (the install script, help sources) is 8-bit
// code page 1252, the ANSI code page of the systems it targets. Vendors write
// it on Linux as UTF-8, often with a byte-order mark. ConvertToAnsi turns
// such text into the bytes to pack; the caller reports what it did.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum class SourceEncoding {
    Ansi,   // no byte above 0x7F, or not valid UTF-8: taken as code page 1252
    Utf8,   // valid UTF-8 with characters outside ASCII: converted
    Utf16,  // UTF-16 with its byte-order mark: the installer's profile reader
            // reads it as such, so it is packed unchanged
};

struct TextConversion {
    SourceEncoding encoding = SourceEncoding::Ansi;
    bool droppedMark = false;  // a UTF-8 byte-order mark was removed
    // When the text cannot be converted: the 1-based line of the first
    // character that code page 1252 lacks, and a sentence that names it.
    unsigned badLine = 0;
    std::string problem;
};

// Converts `bytes` into code page 1252 in `ansi`. UTF-16 text is not
// converted (the caller packs it unchanged): `ansi` is then a copy for
// reading, with '?' for characters that code page 1252 lacks. Returns false (with
// `info.badLine` and `info.problem`) when a character has no byte in code
// page 1252 or text that declares UTF-8 by its mark is not UTF-8; `ansi` is
// then unspecified. Line ends and every other byte are kept as they are.
bool ConvertToAnsi(const std::vector<uint8_t>& bytes, std::string& ansi, TextConversion& info);

// Reads the text file at `path` (a script or a help source) as ConvertToAnsi
// converts it. On failure `error` is one line, "PATH:LINE: reason" or
// "PATH: reason"; a dropped byte-order mark is told in `info`, for the
// caller's warning.
bool ReadTextAsAnsi(const std::string& path, std::string& ansi, TextConversion& info, std::string& error);

// The 1-based line of byte `offset` in `text`: a line ends at LF, at CR LF or
// at a CR alone, as an editor counts them.
unsigned LineOfOffset(const std::string& text, size_t offset);

// A message for a terminal: code page 1252 text (from a script, an
// installer) as UTF-8; text that is valid UTF-8 already (a host path, plain
// ASCII) is taken as it is, so a message may mix both. Every character that
// would act on the terminal rather than show (C0 and C1 controls, DEL, line
// and paragraph separators, the marks that reorder text) is written as
// \xHH or \uHHHH, so nothing read from a file can move the cursor, clear
// the screen or make a line look like another. `keepLineEnds`: a message of
// several lines, whose LF characters stay.
std::string TextForTerminal(const std::string& text, bool keepLineEnds = false);

// Code page 1252 bytes as UTF-8, every byte mapped (no control filtered).
std::string Cp1252ToUtf8(const std::string& ansi);

// A few words for the summary: "UTF-8", "UTF-16" or "code page 1252".
const char* EncodingName(SourceEncoding encoding);
