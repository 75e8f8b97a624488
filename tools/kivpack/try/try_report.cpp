// Reading a run's files, matching dialogs to their templates, shortcut
// targets, and the report. Every file read here was written by a program
// running under Wine and is checked as it is read: a short or odd file gives
// less in the report, never a read outside its bytes.
#include "tools/kivpack/try/try_report.h"
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/pe/pe.h"

namespace kivtry {
namespace {

const uint16_t RtDialog = 5;
const uint32_t DsSetFont = 0x40;

uint16_t U16(const std::vector<uint8_t>& d, size_t at) { return uint16_t(d[at] | d[at + 1] << 8); }
uint32_t U32(const std::vector<uint8_t>& d, size_t at) { return U16(d, at) | uint32_t(U16(d, at + 2)) << 16; }

void AppendUtf8(std::string& out, uint32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | c >> 6);
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | c >> 12);
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// A UTF-16 string ending in a zero unit at `at`; false when it runs off the end.
bool ReadString(const std::vector<uint8_t>& d, size_t& at, std::string& out)
{
    out.clear();
    for (;;) {
        if (at + 2 > d.size()) return false;
        uint16_t unit = U16(d, at);
        at += 2;
        if (!unit) return true;
        AppendUtf8(out, unit);
    }
}

// A name or ordinal: 0 (none), 0xFFFF and an ordinal, or a string.
bool ReadNameOrOrdinal(const std::vector<uint8_t>& d, size_t& at, std::string& text, int& ordinal)
{
    ordinal = -1;
    text.clear();
    if (at + 2 > d.size()) return false;
    uint16_t first = U16(d, at);
    if (first == 0xFFFF) {
        if (at + 4 > d.size()) return false;
        ordinal = U16(d, at + 2);
        at += 4;
        return true;
    }
    return ReadString(d, at, text);
}

std::string ReadText(const std::string& path)
{
    std::vector<uint8_t> bytes;
    std::string error;
    if (!kivpack::os::ReadWholeFile(path, bytes, error)) return "";
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

// The rows of a TSV file with at least `columns` fields.
std::vector<std::vector<std::string>> Rows(const std::string& path, size_t columns)
{
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : Lines(ReadText(path))) {
        std::vector<std::string> f = Fields(line);
        if (f.size() >= columns) rows.push_back(f);
    }
    return rows;
}

// "C:\" and the path under drive_c with backslashes.
std::string WindowsPath(const std::string& relative)
{
    std::string path = "C:\\" + relative;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The text of a quoted field of a driver line: after `marker`, up to the
// last quote of the line (the text comes last and may hold quotes).
bool QuotedAfter(const std::string& line, const std::string& marker, std::string& out)
{
    size_t at = line.find(marker);
    if (at == std::string::npos) return false;
    at += marker.size();
    size_t end = line.rfind('"');
    if (end == std::string::npos || end < at) return false;
    out = line.substr(at, end - at);
    return true;
}

// Whether `text` is what the format `pattern` (with printf conversions such
// as %s and %u) makes: the fixed parts in order, anything in between.
bool MatchesFormat(const std::string& pattern, const std::string& text)
{
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == '%') {
                parts.back() += '%';
            } else {
                while (i + 1 < pattern.size() && !std::isalpha((unsigned char)pattern[i + 1])) ++i;
                parts.emplace_back();
            }
            ++i;
        } else {
            parts.back() += pattern[i];
        }
    }
    if (text.compare(0, parts.front().size(), parts.front()) != 0) return false;
    size_t at = parts.front().size();
    for (size_t i = 1; i < parts.size(); ++i) {
        size_t found = i + 1 == parts.size() ? (text.size() >= parts[i].size() ? text.size() - parts[i].size()
                                                                                : std::string::npos)
                                             : text.find(parts[i], at);
        if (found == std::string::npos || found < at || text.compare(found, parts[i].size(), parts[i]) != 0)
            return false;
        at = found + parts[i].size();
    }
    return parts.size() > 1 || at == text.size();
}

// Whether a control's text reads as words: not a number, not the bytes of
// an icon's resource reference (0xFF and the ordinal), not control codes.
bool IsWords(const std::string& text)
{
    if (text.size() < 2 || text.find_first_not_of("0123456789") == std::string::npos) return false;
    if ((unsigned char)text[0] == 0xC3 && (unsigned char)text[1] == 0xBF) return false;
    for (unsigned char c : text)
        if (c < 0x20 && c != '\n' && c != '\t') return false;
    return true;
}

std::string Json(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04x", c);
            out += hex;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string JsonOrNull(const std::string& text) { return text.empty() ? "null" : Json(text); }

std::string Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

} // namespace

bool ParseDialogTemplate(uint16_t id, const std::vector<uint8_t>& d, DialogTemplate& out)
{
    out = DialogTemplate();
    out.id = id;
    if (d.size() < 18 || (U16(d, 0) == 1 && U16(d, 2) == 0xFFFF)) return false;
    uint32_t style = U32(d, 0);
    unsigned count = U16(d, 8);
    size_t at = 18;
    std::string text;
    int ordinal;
    if (!ReadNameOrOrdinal(d, at, text, ordinal) || !ReadNameOrOrdinal(d, at, text, ordinal) ||
        !ReadString(d, at, text))
        return false;
    if (style & DsSetFont) {
        at += 2;
        if (!ReadString(d, at, text)) return false;
    }
    for (unsigned i = 0; i < count; ++i) {
        at = (at + 3) & ~size_t(3);
        if (at + 18 > d.size()) return false;
        TemplateControl control;
        control.id = U16(d, at + 16);
        at += 18;
        if (!ReadNameOrOrdinal(d, at, control.className, ordinal)) return false;
        static const char* const Classes[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
        if (ordinal >= 0x80 && ordinal <= 0x85) control.className = Classes[ordinal - 0x80];
        if (!ReadNameOrOrdinal(d, at, control.text, ordinal)) return false;
        if (ordinal >= 0) control.text = "#" + std::to_string(ordinal);
        if (at + 2 > d.size()) return false;
        at += 2 + U16(d, at);
        out.controls.push_back(control);
    }
    return true;
}

std::vector<DialogTemplate> DialogTemplatesOf(const std::string& path)
{
    std::vector<DialogTemplate> templates;
    std::vector<uint8_t> bytes;
    std::string error;
    kivpack::PeImage image;
    if (path.empty() || !kivpack::os::ReadWholeFile(path, bytes, error) || !kivpack::ReadPeImage(bytes, image, error))
        return templates;
    for (const kivpack::Resource& r : image.resources.Entries()) {
        if (r.type.isString || r.type.id != RtDialog || r.name.isString) continue;
        DialogTemplate t;
        if (ParseDialogTemplate(r.name.id, r.data, t)) templates.push_back(t);
    }
    return templates;
}

std::string Unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\\' || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        char e = text[++i];
        if (e == 'n') out += '\n';
        else if (e == 'r') out += '\r';
        else if (e == 't') out += '\t';
        else if (e == 'x' && i + 2 < text.size() + 0 && std::isxdigit((unsigned char)text[i + 1]) &&
                 std::isxdigit((unsigned char)text[i + 2])) {
            out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else out += e;
    }
    std::string joined;
    for (size_t i = 0; i < out.size(); ++i)
        if (!(out[i] == '\r' && i + 1 < out.size() && out[i + 1] == '\n')) joined += out[i];
    return joined;
}

bool ReadDialog(const std::string& path, const std::vector<DialogTemplate>& templates, Dialog& out)
{
    std::vector<std::string> lines = Lines(ReadText(path));
    if (lines.size() < 2 || lines[0].compare(0, 6, "phase ") != 0) return false;
    out = Dialog();
    out.phase = lines[0].substr(6);
    if (!QuotedAfter(lines[1], " title \"", out.caption)) return false;
    out.caption = Unescape(out.caption);
    std::vector<TemplateControl> controls;
    for (size_t i = 2; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        TemplateControl c;
        unsigned id = 0;
        char cls[128] = "";
        if (std::sscanf(line.c_str(), "  control %*s id %u class \"%127[^\"]\"", &id, cls) != 2) {
            int signedId = 0;
            if (std::sscanf(line.c_str(), "  control %*s id %d class \"%127[^\"]\"", &signedId, cls) != 2) continue;
            id = unsigned(signedId);
        }
        c.id = uint16_t(id);
        c.className = cls;
        std::string text;
        if (QuotedAfter(line, " text \"", text)) c.text = Unescape(text);
        controls.push_back(c);
    }
    // The message: control 1001, else the longer fixed texts.
    for (const TemplateControl& c : controls)
        if (c.id == 1001) out.text = c.text;
    if (out.text.empty())
        for (const TemplateControl& c : controls)
            if ((c.className == "Static" || c.className == "STATIC") && IsWords(c.text))
                out.text += (out.text.empty() ? "" : "\n") + c.text;
    // The template with the same controls in the same order whose texts
    // agree best; a text of the template with conversions is a format.
    int best = -1;
    for (const DialogTemplate& t : templates) {
        if (t.controls.size() != controls.size()) continue;
        int score = 0;
        bool same = true;
        for (size_t i = 0; i < controls.size() && same; ++i) {
            const TemplateControl& a = t.controls[i];
            const TemplateControl& b = controls[i];
            if (a.id != b.id) same = false;
            else if (a.text.empty() || a.text[0] == '#') continue;  // filled in at run time, or an icon
            else if (a.text == b.text) score += 2;
            else if (a.text.find('%') != std::string::npos && MatchesFormat(a.text, b.text)) score += 1;
            else score -= 2;
        }
        if (same && score > best) {
            best = score;
            out.id = t.id;
        }
    }
    return true;
}

std::string ShortcutTarget(const std::vector<uint8_t>& d)
{
    // Header: 76 bytes, LinkFlags at 20; then the item id list when flag 1
    // is set, the link info when flag 2 is set, then the strings.
    if (d.size() < 76 || U32(d, 0) != 0x4C) return "";
    uint32_t flags = U32(d, 20);
    size_t at = 76;
    if (flags & 1) {
        if (at + 2 > d.size()) return "";
        at += 2 + U16(d, at);
    }
    if (flags & 2) {
        if (at + 28 > d.size()) return "";
        uint32_t size = U32(d, at), infoFlags = U32(d, at + 8), baseOffset = U32(d, at + 16);
        if (size > d.size() - at) return "";
        if ((infoFlags & 1) && baseOffset < size) {
            std::string path;
            for (size_t i = at + baseOffset; i < at + size && d[i]; ++i) path += char(d[i]);
            if (!path.empty()) return path;
        }
        at += size;
    }
    // StringData: name, relative path, working folder, arguments, icon, in
    // that order, each present when its flag (4, 8, 16, 32, 64) is set.
    bool unicode = flags & 0x80;
    for (uint32_t bit = 4; bit <= 64; bit <<= 1) {
        if (!(flags & bit)) continue;
        if (at + 2 > d.size()) return "";
        size_t count = U16(d, at), bytes = count * (unicode ? 2 : 1);
        at += 2;
        if (bytes > d.size() - at) return "";
        if (bit == 8) {
            std::string path;
            for (size_t i = 0; i < count; ++i) {
                if (unicode) AppendUtf8(path, U16(d, at + 2 * i));
                else path += char(d[at + i]);
            }
            return path;
        }
        at += bytes;
    }
    return "";
}

int VersionRun::UnexpectedLeftovers() const
{
    int n = 0;
    for (const Leftover& l : leftovers) n += !l.expected;
    return n;
}

bool VersionRun::Passed(bool uninstall) const
{
    return completed && failure.empty() && (!uninstall || uninstallRan) && UnexpectedLeftovers() == 0;
}

void ReadRun(const std::string& folder, const std::vector<DialogTemplate>& templates, VersionRun& run)
{
    auto file = [&](const char* name) { return kivpack::os::JoinPath(folder, name); };
    for (const auto& f : Rows(file("result"), 2)) {
        if (f[0] == "completed") run.completed = f[1] == "1";
        else if (f[0] == "failure" && run.failure.empty()) run.failure = Unescape(f[1]);
        else if (f[0] == "started") run.started = Unescape(f[1]);
        else if (f[0] == "uninstall") run.uninstallRan = f[1] == "1";
        else if (f[0] == "prefix") run.prefix = f[1];
        else if (f[0] == "seconds") run.seconds = std::atof(f[1].c_str());
    }
    if (!run.completed && run.failure.empty()) run.failure = "the run ended before the installation was complete";
    for (int n = 1; n < 1000; ++n) {
        char name[32];
        std::snprintf(name, sizeof name, "dialog-%02d.txt", n);
        Dialog dialog;
        kivpack::os::FileStatus st;
        if (!kivpack::os::Status(file(name), st)) break;
        if (!ReadDialog(file(name), templates, dialog)) continue;
        std::snprintf(name, sizeof name, "shot-%02d.png", n);
        if (kivpack::os::Status(file(name), st) && st.regular) dialog.shot = file(name);
        run.dialogs.push_back(dialog);
    }
    for (const auto& f : Rows(file("files.tsv"), 3)) {
        FileChange c;
        c.path = WindowsPath(f[0]);
        c.size = std::strtoull(f[1].c_str(), nullptr, 10);
        c.matches = f[2] == "1" ? 1 : f[2] == "0" ? 0 : -1;
        run.files.push_back(c);
    }
    for (const auto& f : Rows(file("registry.tsv"), 3)) run.registry.push_back({f[0], f[1], f[2]});
    for (const auto& f : Rows(file("ini.tsv"), 3)) run.ini.push_back(f[0] + " [" + f[1] + "] " + f[2]);
    for (const auto& f : Rows(file("settings.tsv"), 4)) run.settings.push_back({WindowsPath(f[0]), f[1], f[2], f[3]});
    for (const auto& f : Rows(file("group.tsv"), 3)) {
        std::vector<uint8_t> bytes;
        std::string error;
        GroupItem item{f[0], f[1], ""};
        if (f[2].find_first_not_of("0123456789") == std::string::npos &&
            kivpack::os::ReadWholeFile(file(("group/" + f[2] + ".lnk").c_str()), bytes, error))
            item.target = ShortcutTarget(bytes);
        run.group.push_back(item);
    }
    for (const auto& f : Rows(file("fonts.tsv"), 1))
        if (!f[0].empty()) run.fonts.push_back(f[0]);
    for (const auto& f : Rows(file("leftovers.tsv"), 4)) {
        Leftover l;
        l.kind = f[0];
        l.what = f[0] == "file" ? WindowsPath(f[1]) : f[1];
        l.expected = f[2] == "1";
        l.why = f[3];
        run.leftovers.push_back(l);
    }
}

std::string ReportJson(const std::string& product, const std::vector<VersionRun>& runs)
{
    std::string j = "{\n  \"product\": " + JsonOrNull(product) + ",\n  \"versions\": [";
    for (size_t v = 0; v < runs.size(); ++v) {
        const VersionRun& r = runs[v];
        j += std::string(v ? "," : "") + "\n    {\n      \"windows\": " + Json(r.windows) +
             ",\n      \"completed\": " + (r.completed ? "true" : "false") +
             ",\n      \"failure\": " + JsonOrNull(r.failure) + ",\n      \"dialogs\": [";
        for (size_t i = 0; i < r.dialogs.size(); ++i) {
            const Dialog& d = r.dialogs[i];
            j += std::string(i ? "," : "") + "\n        {\"id\": " + (d.id < 0 ? "null" : std::to_string(d.id)) +
                 ", \"phase\": " + Json(d.phase) + ", \"caption\": " + Json(d.caption) + ", \"text\": " + Json(d.text) +
                 "}";
        }
        j += "\n      ],\n      \"files\": [";
        for (size_t i = 0; i < r.files.size(); ++i) {
            const FileChange& f = r.files[i];
            j += std::string(i ? "," : "") + "\n        {\"path\": " + Json(f.path) +
                 ", \"size\": " + std::to_string(f.size) +
                 ", \"matches\": " + (f.matches < 0 ? "null" : f.matches ? "true" : "false") + "}";
        }
        j += "\n      ],\n      \"registry\": [";
        for (size_t i = 0; i < r.registry.size(); ++i)
            j += std::string(i ? "," : "") + "\n        {\"key\": " + Json(r.registry[i].key) +
                 ", \"value\": " + Json(r.registry[i].value) + ", \"data\": " + Json(r.registry[i].data) + "}";
        j += "\n      ],\n      \"ini\": [";
        for (size_t i = 0; i < r.ini.size(); ++i) j += std::string(i ? ", " : "") + Json(r.ini[i]);
        j += "],\n      \"settings\": ";
        if (r.settings.empty()) {
            j += "null";
        } else {
            // One object per settings file: {"path": ..., "values": {SECTION: {KEY: VALUE}}}.
            std::map<std::string, std::map<std::string, std::vector<std::pair<std::string, std::string>>>> files;
            for (const Setting& s : r.settings) files[s.path][s.section].push_back({s.key, s.value});
            const auto& first = *files.begin();
            j += "{\"path\": " + Json(first.first) + ", \"values\": {";
            bool s1 = true;
            for (const auto& [section, pairs] : first.second) {
                j += std::string(s1 ? "" : ", ") + Json(section) + ": {";
                for (size_t i = 0; i < pairs.size(); ++i)
                    j += std::string(i ? ", " : "") + Json(pairs[i].first) + ": " + Json(pairs[i].second);
                j += "}";
                s1 = false;
            }
            j += "}}";
        }
        j += ",\n      \"group\": ";
        if (r.group.empty()) {
            j += "null";
        } else {
            j += "{\"name\": " + Json(r.group[0].group) + ", \"items\": [";
            for (size_t i = 0; i < r.group.size(); ++i)
                j += std::string(i ? ", " : "") + "{\"name\": " + Json(r.group[i].name) +
                     ", \"target\": " + JsonOrNull(r.group[i].target) + "}";
            j += "]}";
        }
        j += ",\n      \"fonts\": [";
        for (size_t i = 0; i < r.fonts.size(); ++i) j += std::string(i ? ", " : "") + Json(r.fonts[i]);
        j += "],\n      \"started\": " + JsonOrNull(r.started);
        j += ",\n      \"uninstall\": {\"ran\": " + std::string(r.uninstallRan ? "true" : "false") + ", \"leftovers\": [";
        for (size_t i = 0; i < r.leftovers.size(); ++i) {
            const Leftover& l = r.leftovers[i];
            j += std::string(i ? "," : "") + "\n        {\"kind\": " + Json(l.kind) + ", \"path\": " + Json(l.what) +
                 ", \"expected\": " + (l.expected ? "true" : "false") + ", \"why\": " + Json(l.why) + "}";
        }
        j += "]},\n      \"prefix\": " + JsonOrNull(r.prefix) + ",\n      \"seconds\": " + Number(r.seconds) + "\n    }";
    }
    return j + "\n  ]\n}\n";
}

std::string ReportTable(const std::vector<VersionRun>& runs, bool uninstall)
{
    std::string t;
    char line[512];
    std::snprintf(line, sizeof line, "%-8s %-34s %5s %8s %6s %9s %7s\n", "windows", "result", "files", "registry",
                  "group", "leftovers", "seconds");
    t += line;
    for (const VersionRun& r : runs) {
        std::string result = r.Passed(uninstall) ? "completed" : r.failure.empty() ? "completed, leftovers" : r.failure;
        for (char& c : result)
            if (c == '\n' || c == '\r' || c == '\t') c = ' ';
        if (result.size() > 34) result = result.substr(0, 31) + "...";
        std::string left = !uninstall ? "-" : !r.uninstallRan ? "not run"
                                                              : std::to_string(r.UnexpectedLeftovers()) + "/" +
                                                                    std::to_string(r.leftovers.size());
        std::snprintf(line, sizeof line, "%-8s %-34s %5zu %8zu %6zu %9s %7.1f\n", r.windows.c_str(), result.c_str(),
                      r.files.size(), r.registry.size(), r.group.size(), left.c_str(), r.seconds);
        t += line;
    }
    for (const VersionRun& r : runs) {
        if (r.Passed(uninstall)) continue;
        t += "\nWindows " + r.windows + ": " + (r.failure.empty() ? "unexpected leftovers" : r.failure) + "\n";
        for (const Dialog& d : r.dialogs)
            t += "  dialog " + (d.id < 0 ? std::string("?") : std::to_string(d.id)) + " (" + d.phase + ") \"" +
                 d.caption + "\": " + d.text + "\n";
        for (const Leftover& l : r.leftovers)
            if (!l.expected) t += "  left: " + l.kind + " " + l.what + " (" + l.why + ")\n";
    }
    return t;
}

} // namespace kivtry
