#include "tools/kivpack/help_text.h"
#include <cstdio>
#include "resources/kivformat.h"
#include "tools/kivpack/help/help_file.h"
#include "tools/kivpack/help/help_resources.h"
#include "tools/kivpack/payload.h"
#include "tools/kivpack/pe/pe.h"
#include "ui/dialog_help.h"

namespace {

// The readme and the font information, which every product's help file
// should answer.
const uint32_t ReadmeContext = HelpReadmeTopic;

} // namespace

HelpFileReport InspectHelpFile(const PayloadPlan& plan)
{
    HelpFileReport report;
    const std::string where = plan.scriptPath + ": [Basic Information] HelpFileName=" + plan.helpSource + ": ";
    // DISK1/ first, as for the first disk's files; beside the script after
    // that, where products laid out before DISKn/ folders existed keep it.
    report.path = FindSourceFile(plan, 1, plan.helpSource);
    if (report.path.empty()) report.path = FindSourceFile(plan, 0, plan.helpSource);
    report.found = !report.path.empty();
    if (!report.found) {
        report.warnings.push_back(where + "warning: the help file '" + plan.helpSource +
                                  "' is not in DISK1/ nor beside the script");
        return report;
    }
    std::vector<uint8_t> bytes;
    std::string error;
    kivpack::help::HelpDocument doc;
    if (!ReadWholeFile(report.path, bytes, error) ||
        !kivpack::help::ReadHelpFile(bytes.data(), bytes.size(), doc, error)) {
        report.warnings.push_back(where + "warning: " + report.path + ": " + error +
                                  "; Help, F1 and View readme file will find no topic");
        return report;
    }
    report.readable = true;
    for (const kivpack::help::HelpTopic& t : doc.topics) {
        // Context 0 is a topic that the file's map does not reach: the
        // installer never asks for it.
        if (t.context == 0) continue;
        report.topics.push_back({t.context, t.title, t.text, t.paragraphs});
    }
    std::string missing;
    for (uint32_t context : {plan.startHelpContext, ReadmeContext}) {
        if (!context || HasHelpTopic(report.topics, context)) continue;
        if (!missing.empty()) missing += ", nor for ";
        missing += std::to_string(context);
        missing += context == ReadmeContext ? " (the readme)" : " (the start dialog)";
    }
    if (!missing.empty())
        report.warnings.push_back(where + "warning: " + report.path + " has no topic for " + missing);
    return report;
}

void SetHelpText(kivpack::ResourceSet& resources, const std::vector<HelpTextTopic>& topics, uint16_t language)
{
    auto replace = [&](uint16_t type, uint16_t name, std::vector<uint8_t> (*encode)(const std::vector<HelpTextTopic>&)) {
        kivpack::Resource r;
        r.type = kivpack::ResourceName::Id(type);
        r.name = kivpack::ResourceName::Id(name);
        resources.RemoveAll(r.type, r.name);
        if (topics.empty()) return;
        r.language = language;
        r.data = encode(topics);
        resources.Set(std::move(r));
    };
    replace(KIV_HELP_TEXT_TYPE, KIV_HELP_TEXT_RESOURCE, EncodeHelpText);
    replace(KIV_HELP_STYLE_TYPE, KIV_HELP_STYLE_RESOURCE, EncodeHelpStyles);
}

void PrintHelpWarnings(const HelpFileReport& report)
{
    for (const std::string& w : report.warnings) std::fprintf(stderr, "%s\n", w.c_str());
}
