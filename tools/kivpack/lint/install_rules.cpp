#include "tools/kivpack/lint/install_rules.h"
#include "tools/kivpack/lint/script_scan.h"

namespace lint {
namespace {

// Groups that Windows makes, or that programs of every maker put their items
// in: the Program Manager's of Windows 3.x and NT 3.x, and the Start menu
// folders of Windows 95 to 10. The installer deletes its group before it
// makes it anew, so each of these would lose the items of everyone else.
const char* const SharedGroups[] = {
    "StartUp",
    "Main",
    "Accessories",
    "Games",
    "Applications",
    "Network",
    "Administrative Tools",
    "Administrative Tools (Common)",
    "System Tools",
    "Multimedia",
    "Communications",
    "Entertainment",
    "Accessibility",
    "Internet Tools",
    "Online Services",
    "Accessories\\Games",
    "Accessories\\System Tools",
    "Accessories\\Multimedia",
    "Accessories\\Communications",
    "Accessories\\Entertainment",
    "Accessories\\Accessibility",
    "Accessories\\Internet Tools",
    "Programs",
    "Start Menu",
    "Windows Accessories",
    "Windows Administrative Tools",
    "Windows Ease of Access",
    "Windows System",
    "Windows PowerShell",
    "Maintenance",
};

// Files that Windows itself reads its settings from, or boots with.
const char* const SystemFiles[] = {
    "WIN.INI",     "SYSTEM.INI",  "CONTROL.INI", "PROGMAN.INI",  "WINFILE.INI", "PROTOCOL.INI",
    "DOSAPP.INI",  "WININIT.INI", "ODBC.INI",    "ODBCINST.INI", "DESKTOP.INI", "BOOT.INI",
    "MSDOS.SYS",   "CONFIG.SYS",  "AUTOEXEC.BAT", "SYSTEM.DAT",  "USER.DAT",    "REG.DAT",
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trimmed(const std::string& s)
{
    size_t begin = 0, end = s.size();
    while (begin < end && IsBlank(s[begin])) ++begin;
    while (end > begin && IsBlank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

std::string Joined(const std::vector<std::string>& parts)
{
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : "\\") + p;
    return out;
}

} // namespace

ResolvedName ResolveBelow(const std::string& name)
{
    ResolvedName r;
    size_t start = 0;
    for (;;) {
        size_t end = name.find_first_of("\\/", start);
        std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
        while (!part.empty() && part.back() == ' ') part.pop_back();
        if (!part.empty() && part.find_first_not_of('.') == std::string::npos) {
            r.goesUp = r.goesUp || part.size() >= 2;
            for (size_t up = 1; up < part.size(); ++up) {
                if (r.parts.empty())
                    r.climbsOut = true;
                else
                    r.parts.pop_back();
            }
        } else {
            while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
            if (!part.empty()) r.parts.push_back(part);
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return r;
}

bool SamePath(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!SameName(a[i], b[i])) return false;
    return true;
}

std::string SharedGroup(const std::string& group)
{
    // The shell takes a group name as a folder path below its programs.
    ResolvedName r = ResolveBelow(Trimmed(group));
    std::string name = Joined(r.parts);
    for (const char* shared : SharedGroups)
        if (SameName(name, shared)) return shared;
    return std::string();
}

std::string SystemFile(const std::string& file)
{
    std::string name = Trimmed(file);
    size_t slash = name.find_last_of("\\/:");
    if (slash != std::string::npos) name = name.substr(slash + 1);
    for (const char* system : SystemFiles)
        if (SameName(name, system)) return system;
    return std::string();
}

} // namespace lint
