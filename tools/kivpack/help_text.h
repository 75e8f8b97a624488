// The packed help file seen from kivpack build, check and disks: whether it
// is a help file the installer's viewer can open at the contexts it asks
// for, and the same topics as plain text for the installer to show where
// the system has no viewer (resource type 257), with their bold, italic and
// jumps beside it (type 259), both laid out as kivformat.h says.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "tools/kivpack/help/help_model.h"

struct PayloadPlan;
namespace kivpack {
class ResourceSet;
}

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
// What a script's help file gives the installer.
struct HelpFileReport {
    bool found = false;             // the source file exists
    std::string path;               // where it was found
    bool readable = false;          // a Windows Help file that the reader understands
    std::vector<HelpTextTopic> topics;
    std::vector<std::string> warnings;  // one line each, "SCRIPT: [Basic Information] HelpFileName=...: ..."
};

// Finds the help file of `plan` in DISK1/ beside the script when that folder
// holds it, else beside the script, reads it and lists what the user
// would miss: a file that is not a Windows Help file, or no topic for the
// readme (3904) or for the start dialog's help context.
HelpFileReport InspectHelpFile(const PayloadPlan& plan);

// Replaces the help-text and help-style resources of `resources` with
// `topics`; with no topics, leaves neither (the installer then falls back to
// the help viewer).
void SetHelpText(kivpack::ResourceSet& resources, const std::vector<HelpTextTopic>& topics, uint16_t language);

// Prints every warning of `report` on stderr.
void PrintHelpWarnings(const HelpFileReport& report);
