// What `kivpack try` learned from one run under one Windows version, read
// from the files that kivtry.sh leaves, and the report made of all runs:
// the JSON of --report and the table on the terminal.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kivtry {

// A dialog template of a stub or installer: its id and its controls in order.
struct TemplateControl {
    uint16_t id = 0;
    std::string className;  // "Button", "Edit", "Static", or the class's name
    std::string text;       // in UTF-8; a resource ordinal as "#N"
};
struct DialogTemplate {
    uint16_t id = 0;
    std::vector<TemplateControl> controls;
};
// Reads a DIALOG resource (the classic template, not the extended one);
// false when the bytes are not one.
bool ParseDialogTemplate(uint16_t id, const std::vector<uint8_t>& data, DialogTemplate& out);
// Every dialog template of the PE file at `path` (none when it cannot be read).
std::vector<DialogTemplate> DialogTemplatesOf(const std::string& path);

// A dialog as the driver listed it.
struct Dialog {
    std::string phase;    // install or uninstall
    int id = -1;          // the template it was made from; -1 when none matched
    std::string caption;
    std::string text;     // its message
    std::string shot;     // the screenshot's file, when one was taken
};
// Reads one dialog-NN.txt and finds its template among `templates`.
bool ReadDialog(const std::string& path, const std::vector<DialogTemplate>& templates, Dialog& out);
// The driver's escapes (\\, \n, \r, \t, \xNN) undone; CR LF becomes LF.
std::string Unescape(const std::string& text);

// The target of a shell link (.lnk): its local base path, else its relative
// path; empty when the bytes are not a link.
std::string ShortcutTarget(const std::vector<uint8_t>& bytes);

struct FileChange {
    std::string path;  // C:\...
    uint64_t size = 0;
    int matches = -1;  // 1 or 0 against the packed file of that name; -1: none packed
};
struct RegistryValue {
    std::string key, value, data;
};
struct Setting {
    std::string path, section, key, value;
};
struct GroupItem {
    std::string group, name, target;
};
struct Leftover {
    std::string kind, what, why;
    bool expected = false;
};

struct VersionRun {
    std::string windows;  // 95, xp, ...
    bool completed = false;
    std::string failure;
    std::string started;  // the product's window title, with --run
    std::vector<Dialog> dialogs;
    std::vector<FileChange> files;
    std::vector<RegistryValue> registry;
    std::vector<std::string> ini;
    std::vector<Setting> settings;
    std::vector<GroupItem> group;
    std::vector<std::string> fonts;
    bool uninstallRan = false;
    std::vector<Leftover> leftovers;
    std::string prefix;  // with --keep
    double seconds = 0;

    int UnexpectedLeftovers() const;
    bool Passed(bool uninstall) const;
};

// Reads what kivtry.sh left in `folder`.
void ReadRun(const std::string& folder, const std::vector<DialogTemplate>& templates, VersionRun& run);

std::string ReportJson(const std::string& product, const std::vector<VersionRun>& runs);
// The table, one row per version, then the details of each failure.
std::string ReportTable(const std::vector<VersionRun>& runs, bool uninstall);

} // namespace kivtry
