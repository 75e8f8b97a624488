#include "tools/kivpack/version_resource.h"
#include <cstring>
#include "script/installer_state.h"
#include "tools/kivpack/text_encoding.h"

const char VersionOptionsUsage[] = "[--company TEXT] [--copyright TEXT] [--version-number N.N.N.N]";
const char VersionOptionsHelp[] =
    "Windows shows the version resource of what is written: the script's\n"
    "ProductName and ProductVersion, the file's name and role, --company\n"
    "(CompanyName), --copyright (LegalCopyright) and --version-number (the\n"
    "number Windows compares; default: ProductVersion when it is numeric,\n"
    "else 0.0.0.0).\n";

namespace {

// An option's text (UTF-8, or code page 1252 when it is not UTF-8) as UTF-16
// through code page 1252, the installer's own texts' code page.
bool OptionText(const char* option, const std::string& text, std::u16string& out, std::string& error)
{
    std::string ansi;
    TextConversion info;
    if (!ConvertToAnsi(std::vector<uint8_t>(text.begin(), text.end()), ansi, info)) {
        error = std::string(option) + ": " + info.problem;
        return false;
    }
    out = kivpack::AnsiToUtf16(ansi);
    return true;
}

} // namespace

bool TakeVersionOption(int argc, char** argv, int& i, VersionOptions& options)
{
    const char* a = argv[i];
    std::string* field = !std::strcmp(a, "--company")          ? &options.company
                         : !std::strcmp(a, "--copyright")      ? &options.copyright
                         : !std::strcmp(a, "--version-number") ? &options.number
                                                               : nullptr;
    if (!field || i + 1 >= argc) return false;
    *field = argv[++i];
    return true;
}

bool CheckVersionOptions(const VersionOptions& options, std::string& error)
{
    uint16_t number[4];
    if (!options.number.empty() && !kivpack::ParseVersionNumber(options.number, number)) {
        error = "--version-number " + options.number + ": not a version number (one to four numbers up to 65535, "
                "separated by dots, such as 2.1.0.5)";
        return false;
    }
    std::u16string text;
    return OptionText("--company", options.company, text, error) &&
           OptionText("--copyright", options.copyright, text, error);
}

bool SetProgramVersion(kivpack::ResourceSet& resources, const VersionOptions& options, const char* role,
                       const std::string& fileName, std::string& error)
{
    kivpack::VersionInfo info;
    const std::string version = State.ProductVersion;
    if (!kivpack::ParseVersionNumber(options.number, info.number))
        kivpack::ParseVersionNumber(version, info.number);
    std::u16string company, copyright, file;
    if (!OptionText("--company", options.company, company, error) ||
        !OptionText("--copyright", options.copyright, copyright, error) ||
        !OptionText("the output's name", fileName, file, error))
        return false;
    const std::u16string product = kivpack::AnsiToUtf16(State.ProductName);
    const std::u16string versionText = kivpack::AnsiToUtf16(version);
    info.strings = {
        {"CompanyName", company},
        {"FileDescription", product + kivpack::AnsiToUtf16(std::string(product.empty() ? "" : " ") + role)},
        {"FileVersion", versionText},
        {"LegalCopyright", copyright},
        {"OriginalFilename", file},
        {"ProductName", product},
        {"ProductVersion", versionText},
    };
    return kivpack::SetVersionInfo(resources, info, kivpack::ImageLanguage(resources), error);
}
