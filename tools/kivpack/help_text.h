// The packed help file seen from kivpack build, check and disks: whether it
// is a help file the installer's viewer can open at the contexts it asks
// for, and the same topics as plain text for the installer to show where
// the system has no viewer (resource type 257), with their bold, italic and
// jumps beside it (type 259), both laid out as kivformat.h says.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "tools/kivpack/help/help_resources.h"

struct PayloadPlan;
namespace kivpack {
class ResourceSet;
}

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
