#include "tools/kivpack/media_images.h"
#include <cstdio>
#include <cstring>
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/pe/pe.h"

namespace {

std::string Clean(const std::string& text, size_t length, bool (*allowed)(char))
{
    std::string out;
    for (char c : text) {
        if (out.size() == length) break;
        if (c >= 'a' && c <= 'z') c = char(c - 32);
        out += allowed(c) ? c : '_';
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

bool LabelCharacter(char c)
{
    return (unsigned char)c >= 0x20 && (unsigned char)c < 0x7F && !std::strchr("\"*+,./:;<=>?[\\]|", c);
}

bool VolumeIdCharacter(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; }

struct Tool {
    const char* program;
    const char* package;
};
const Tool Mformat = {"mformat", "mtools"}, Mcopy = {"mcopy", "mtools"}, Xorriso = {"xorriso", "xorriso"};

// Runs `tool` with `arguments` in the environment that makes its output
// depend on its input alone.
bool Run(const Tool& tool, std::vector<std::string> arguments, int64_t seconds, std::string& error)
{
    arguments.insert(arguments.begin(), tool.program);
    const std::vector<std::string> environment = {"SOURCE_DATE_EPOCH=" + std::to_string(seconds), "TZ=UTC",
                                                  "MTOOLSRC=/dev/null", "LC_ALL=C"};
    int exitCode = 0;
    bool missing = false;
    std::string output;
    if (!kivpack::os::RunProgram(arguments, environment, exitCode, output, missing, error)) {
        if (missing)
            error = std::string(tool.program) + " is not installed: images need the Debian package " + tool.package +
                    " (apt install " + tool.package + ")";
        return false;
    }
    if (exitCode == 0) return true;
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    size_t last = output.rfind('\n');
    error = std::string(tool.program) + " failed (exit status " + std::to_string(exitCode) + ")" +
            (output.empty() ? "" : ": " + output.substr(last == std::string::npos ? 0 : last + 1));
    return false;
}

// Copies the image the tool made to `target` through an output file.
bool Deliver(const std::string& made, const std::string& target, std::string& error)
{
    FILE* in = kivpack::os::OpenForReading(made);
    if (!in) {
        error = made + ": " + kivpack::os::LastErrorText();
        return false;
    }
    kivpack::os::OutputFile out(target);
    bool ok = out.Open(error);
    std::vector<char> buffer(1 << 20);
    while (ok) {
        size_t n = std::fread(buffer.data(), 1, buffer.size(), in);
        if (n == 0) {
            if (std::ferror(in)) {
                error = made + ": " + kivpack::os::LastErrorText();
                ok = false;
            }
            break;
        }
        ok = out.Write(buffer.data(), n, error);
    }
    std::fclose(in);
    return ok && out.Commit(error);
}

// A folder of our own for the tool to write `name` into; removed with what
// it holds when this goes out of scope.
class Workspace {
public:
    bool Make(std::string& error) { return kivpack::os::MakeTemporaryDirectory("kivpack-image-", folder_, error); }
    std::string Path(const char* name)
    {
        names_.push_back(name);
        return kivpack::os::JoinPath(folder_, name);
    }
    ~Workspace()
    {
        if (folder_.empty()) return;
        for (const std::string& n : names_) kivpack::os::RemoveFile(kivpack::os::JoinPath(folder_, n));
        kivpack::os::RemoveEmptyDirectory(folder_);
    }

private:
    std::string folder_;
    std::vector<std::string> names_;
};

} // namespace

std::string FatVolumeLabel(const std::string& diskName, unsigned disk)
{
    std::string label = Clean(diskName, 11, LabelCharacter);
    return label.empty() ? "DISK" + std::to_string(disk) : label;
}

std::string CdVolumeId(const std::string& name)
{
    std::string id = Clean(name, 32, VolumeIdCharacter);
    while (!id.empty() && id.back() == '_') id.pop_back();
    return id.empty() ? "SETUP" : id;
}

std::string VolumeSerial(const std::string& label, int64_t seconds)
{
    std::string text = label + "@" + std::to_string(seconds);
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", kivpack::PayloadCrc(std::vector<uint8_t>(text.begin(), text.end())));
    return hex;
}

bool MakeFloppyImage(const Medium& medium, const std::vector<ImageFile>& files, const std::string& label,
                     int64_t seconds, const std::string& target, std::string& error)
{
    Workspace work;
    if (!work.Make(error)) return false;
    const std::string image = work.Path("disk.img");
    if (!Run(Mformat,
             {"-C", "-f", std::to_string(medium.formatKilobytes), "-v", label, "-N", VolumeSerial(label, seconds),
              "-i", image, "::"},
             seconds, error))
        return false;
    std::vector<std::string> copy = {"-i", image};
    for (const ImageFile& f : files) copy.push_back(kivpack::os::AbsolutePath(f.path));
    copy.push_back("::/");
    if (!files.empty() && !Run(Mcopy, copy, seconds, error)) return false;
    return Deliver(image, target, error);
}

bool MakeCdImage(const std::vector<std::vector<ImageFile>>& disks, const std::string& volumeId, int64_t seconds,
                 const std::string& target, std::string& error)
{
    Workspace work;
    if (!work.Make(error)) return false;
    const std::string image = work.Path("cd.iso");
    std::vector<std::string> arguments = {"-as", "mkisofs", "-quiet", "-o", image, "-J", "-r", "-V", volumeId,
                                          "--set_all_file_dates", "=" + std::to_string(seconds), "-graft-points"};
    for (size_t d = 0; d < disks.size(); ++d)
        for (const ImageFile& f : disks[d])
            // Names hold no '=' or '\\' (a source name is a key of the
            // script and a plain file name), so none needs escaping.
            arguments.push_back("/DISK" + std::to_string(d + 1) + "/" + f.name + "=" +
                                kivpack::os::AbsolutePath(f.path));
    return Run(Xorriso, arguments, seconds, error) && Deliver(image, target, error);
}
