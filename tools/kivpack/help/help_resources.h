// The help file's topics as the installer carries them, for Windows without
// a help viewer: their plain text (resource type 257) and their bold, italic
// and jumps (type 259), both laid out as kivformat.h says.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "tools/kivpack/help/help_model.h"

struct HelpTextTopic {
    uint32_t context = 0;
    std::string title;
    std::string text;  // paragraphs separated by "\n\n"
    // The paragraphs of `text` as styled runs; none leaves the topic plain.
    std::vector<kivpack::help::Paragraph> paragraphs;
};

// Encodes `topics` as the help-text resource: texts with CR LF line ends,
// titles and texts cut at their first NUL (the installer reads them as C
// strings).
std::vector<uint8_t> EncodeHelpText(const std::vector<HelpTextTopic>& topics);
// Encodes the styles of `topics` as the help-style resource: for each topic,
// runs over the bytes that EncodeHelpText stores for its text. A jump to a
// context that no topic of `topics` has is stored as plain text; a topic
// whose paragraphs do not give its text exactly is stored without runs.
std::vector<uint8_t> EncodeHelpStyles(const std::vector<HelpTextTopic>& topics);

// True when one of `topics` has help context `context`.
bool HasHelpTopic(const std::vector<HelpTextTopic>& topics, uint32_t context);
