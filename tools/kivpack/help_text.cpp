#include "tools/kivpack/help_text.h"
#include <cstdio>
#include "resources/kivformat.h"
#include "tools/kivpack/help/help_file.h"
#include "tools/kivpack/payload.h"
#include "tools/kivpack/pe/pe.h"
#include "ui/dialog_help.h"

namespace {

// The readme and the font information, which every product's help file
// should answer.
const uint32_t ReadmeContext = HelpReadmeTopic;

void PutLe32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// Up to the first NUL, "\n" as CR LF, and a CR LF already present kept as one.
std::string ForEditControl(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t i = 0; i < text.size() && text[i]; ++i) {
        if (text[i] == '\r') continue;
        if (text[i] == '\n') out += '\r';
        out += text[i];
    }
    return out;
}

bool HasTopic(const std::vector<HelpTextTopic>& topics, uint32_t context)
{
    for (const HelpTextTopic& t : topics)
        if (t.context == context) return true;
    return false;
}

} // namespace

std::vector<uint8_t> EncodeHelpText(const std::vector<HelpTextTopic>& topics)
{
    std::vector<uint8_t> out;
    PutLe32(out, uint32_t(topics.size()));
    for (const HelpTextTopic& t : topics) {
        std::string title = t.title.substr(0, t.title.find('\0'));
        std::string text = ForEditControl(t.text);
        PutLe32(out, t.context);
        PutLe32(out, uint32_t(KIV_HELP_TEXT_HEADER_SIZE + title.size() + 1 + text.size() + 1));
        out.insert(out.end(), title.begin(), title.end());
        out.push_back(0);
        out.insert(out.end(), text.begin(), text.end());
        out.push_back(0);
    }
    return out;
}

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
        report.topics.push_back({t.context, t.title, t.text});
    }
    std::string missing;
    for (uint32_t context : {plan.startHelpContext, ReadmeContext}) {
        if (!context || HasTopic(report.topics, context)) continue;
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
    const kivpack::ResourceName type = kivpack::ResourceName::Id(KIV_HELP_TEXT_TYPE);
    const kivpack::ResourceName name = kivpack::ResourceName::Id(KIV_HELP_TEXT_RESOURCE);
    resources.RemoveAll(type, name);
    if (topics.empty()) return;
    kivpack::Resource r;
    r.type = type;
    r.name = name;
    r.language = language;
    r.data = EncodeHelpText(topics);
    resources.Set(std::move(r));
}

void PrintHelpWarnings(const HelpFileReport& report)
{
    for (const std::string& w : report.warnings) std::fprintf(stderr, "%s\n", w.c_str());
}
