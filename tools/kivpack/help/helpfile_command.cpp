// kivpack helpfile: compile help source into a WinHelp file, dump a help
// file's topics, or write a starting source.
#include <cstdio>
#include <string>
#include <vector>
#include "tools/kivpack/commands.h"
#include "tools/kivpack/help/help_file.h"
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/text_encoding.h"

namespace {

const char HelpfileHelp[] =
    "usage: kivpack helpfile SOURCE -o OUT.HLP\n"
    "       kivpack helpfile --dump FILE.HLP\n"
    "       kivpack helpfile --template [-o SOURCE]\n"
    "\n"
    "Compiles a help source into a Windows Help file (WinHelp 3.1), which the\n"
    "installer opens at the help context of each dialog and at 3904 for the\n"
    "readme. The source is text in code page 1252:\n"
    "  % TITLE           the help file's title, before the first topic\n"
    "  # NUMBER TITLE    starts a topic; NUMBER is its help context (0 to 2147483647)\n"
    "  text              paragraphs, separated by blank lines\n"
    "  **bold** *italic* [text](NUMBER) a jump to the topic with that help context\n"
    "  \\* \\[ \\] \\\\ \\# \\%  the character itself\n"
    "A fault is reported as FILE:LINE: reason, and nothing is written.\n"
    "  --dump      prints a help file as help source in UTF-8: its title, then\n"
    "              each topic's help context, title and text (context 0 where\n"
    "              the file maps no number to the topic)\n"
    "  --template  writes a source with a topic for every help context the\n"
    "              installer uses, to fill in\n";

bool ReadWhole(const std::string& path, std::string& data)
{
    std::vector<uint8_t> bytes;
    std::string error;
    if (!kivpack::os::ReadWholeFile(path, bytes, error)) return false;
    data.assign(bytes.begin(), bytes.end());
    return true;
}

int WriteWhole(const std::string& path, const void* data, size_t size)
{
    std::string error;
    return kivpack::os::WriteWholeFile(path, data, size, error) ? 0 : CommandFailed(error);
}

int Usage(const char* what)
{
    std::fprintf(stderr, "kivpack helpfile: %s\n%s", what, HelpfileHelp);
    return 2;
}

// A help file's text (code page 1252) as UTF-8 for the terminal: its line
// ends stay, every other control is shown.
std::string Shown(const std::string& ansi) { return TextForTerminal(Cp1252ToUtf8(ansi), true); }

int Dump(const std::string& path)
{
    std::string data;
    if (!ReadWhole(path, data)) return CommandFailed(path + ": cannot be read");
    kivpack::help::HelpDocument doc;
    std::string error;
    if (!kivpack::help::ReadHelpFile(reinterpret_cast<const uint8_t*>(data.data()), data.size(), doc, error))
        return CommandFailed(path + ": " + error);
    std::printf("%% %s\n", Shown(doc.title).c_str());
    for (const auto& topic : doc.topics) {
        std::printf("\n# %u %s\n", topic.context, Shown(topic.title).c_str());
        if (!topic.marked.empty()) std::printf("\n%s\n", Shown(topic.marked).c_str());
    }
    return 0;
}

} // namespace

int RunHelpfile(int argc, char** argv)
{
    std::string source, out, dump;
    bool hasOut = false, tmpl = false, hasDump = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(HelpfileHelp, stdout);
            return 0;
        } else if (a == "-o") {
            if (i + 1 >= argc || hasOut) return Usage("-o needs one output name");
            out = argv[++i];
            hasOut = true;
        } else if (a == "--dump") {
            if (i + 1 >= argc || hasDump) return Usage("--dump needs one help file");
            dump = argv[++i];
            hasDump = true;
        } else if (a == "--template") {
            tmpl = true;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            return Usage(("unknown option " + a).c_str());
        } else if (source.empty()) {
            source = a;
        } else {
            return Usage("one source at a time");
        }
    }
    if (int(hasDump) + int(tmpl) + int(!source.empty()) != 1) return Usage("give a SOURCE, --dump FILE or --template");
    if (hasDump) return hasOut ? Usage("--dump prints to standard output") : Dump(dump);
    if (tmpl) {
        std::string text = kivpack::help::HelpTemplateSource();
        if (!hasOut) return std::fputs(text.c_str(), stdout) < 0;
        return WriteWhole(out, text.data(), text.size());
    }
    if (!hasOut) return Usage("the help file to write is missing (-o OUT.HLP)");
    // A source saved as UTF-8, as Linux editors write it, is compiled as the
    // code page 1252 text the viewers show; a byte-order mark is dropped.
    std::string text, error;
    TextConversion conversion;
    if (!ReadTextAsAnsi(source, text, conversion, error)) return CommandFailed(error);
    if (conversion.droppedMark) std::fprintf(stderr, "%s:1: warning: byte-order mark dropped\n", source.c_str());
    std::vector<uint8_t> file;
    std::vector<std::string> errors;
    if (!kivpack::help::CompileHelpSource(text, source, file, errors)) {
        for (const std::string& e : errors) std::fprintf(stderr, "%s\n", e.c_str());
        return 1;
    }
    return WriteWhole(out, file.data(), file.size());
}
