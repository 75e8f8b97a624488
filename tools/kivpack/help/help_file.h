// Help files: the help source that vendors write, and the WinHelp 3.1 files
// (.HLP) that kivpack compiles from it and reads back.
//
// Help source is text in code page 1252:
//   % TITLE            the help file's title (once, before the first topic)
//   # NUMBER TITLE     starts a topic; NUMBER is its help context, 0..2147483647
//   paragraphs         separated by blank lines; the lines of one paragraph are
//                      joined with single spaces
//   **bold**, *italic*, [text](NUMBER) a jump to the topic with that context;
//   \* \[ \] \\ \# \%  the character itself
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>
#include "tools/kivpack/help/help_model.h"

namespace kivpack::help {

struct HelpTopic {
    uint32_t context;     // help context number (0 when the file maps none to this topic)
    std::string title;    // the topic's title
    std::string text;     // plain text for display: paragraphs separated by "\n\n", no markup, code page 1252
    std::string marked;   // the same in source syntax (**bold**, *italic*, [text](N)), for --dump
    std::vector<Paragraph> paragraphs;  // the paragraphs of `text` as styled runs; jumps lead to mapped topics
};

struct HelpDocument {
    std::string title;
    std::vector<HelpTopic> topics;
};

// Reads a WinHelp file from memory. False, with a one-line reason, when it is
// not one or is damaged; never crashes. Topics come in file order. A topic's
// context is the lowest number that the file's context map gives it; a file
// without a map (such as those of writers that address topics by name only)
// gives every topic context 0. The heading paragraph that repeats a topic's
// title at the top of its text is not part of `text`. Jumps whose target has
// no context number appear in `marked` as plain text.
bool ReadHelpFile(const uint8_t* data, size_t size, HelpDocument& doc, std::string& error);

// Compiles help source `text` (named `name` in messages) into the bytes of a
// WinHelp file. On faults returns false and appends one "name:line: reason"
// message per fault to `errors`; `out` is then left empty.
bool CompileHelpSource(const std::string& text, const std::string& name,
                       std::vector<uint8_t>& out, std::vector<std::string>& errors);

// Help source that gives back `doc`'s title and topics when compiled; the
// topics' `marked` text is taken as written.
std::string HelpSourceFromDocument(const HelpDocument& doc);

// A starting source for a product's help: a topic for each help context that
// the installer opens, titled after its dialog.
std::string HelpTemplateSource();

} // namespace kivpack::help
