// pe_write_tool: drives the PE resource writer from the command line for the
// Wine end-to-end test, and prints what a Windows program reading the result
// should see (the same lines resource_probe prints).
//
//   pe_write_tool --make-fixtures DIR       writes DIR/icon.ico, DIR/picture.bmp
//   pe_write_tool IN OUT [operations] [--show ID]...
//     --payload ID FILE    type 256 resource ID holds FILE's bytes; the
//                          payload checksums go, as from an installer
//                          edited by hand, which then checks nothing
//     --string ID TEXT     string-table entry ID (ANSI text)
//     --cap ID N           byte cap of payload ID
//     --icon FILE.ICO      the program's icon
//     --bitmap FILE.BMP    bitmap 500
//     --raw TYPE ID FILE   resource TYPE/ID (numbers) holds FILE's bytes
//     --lang HEX           --payload, --raw and --string from here on go in that
//                          language (default: the image's own)
//     --show ID            print string ID as LoadStringA should give it
//
// Output lines: "res TYPE NAME LANG SIZE HASH" for every resource (hex
// language, FNV-1a hash), "str ID TEXT" or "str ID (missing)" per --show,
// "bitmap ID WIDTH HEIGHT" when a bitmap was set, "icon 3000 ok" when an
// icon was set.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pe_fixtures.h"
#include "resources/kivformat.h"
#include "tools/kivpack/pe/pe.h"

using namespace kivpack;

namespace {

bool Load(const std::string& path, std::vector<uint8_t>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    return true;
}

bool Save(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

int Die(const std::string& message)
{
    std::fprintf(stderr, "pe_write_tool: %s\n", message.c_str());
    return 1;
}

uint16_t Number(const char* text) { return uint16_t(std::strtoul(text, nullptr, 10)); }

std::string NameText(const ResourceName& n)
{
    std::string s;
    if (!n.isString) return std::to_string(n.id);
    Utf16ToAnsi(n.text, s);
    return s;
}

int MakeFixtures(const std::string& dir)
{
    using kivtest::IcoEntry;
    std::vector<uint8_t> ico = kivtest::MakeIco({{kivtest::MakeIconImage(32, 4, 1), 32, 32, 0, 0},
                                                 {kivtest::MakeIconImage(16, 8, 2), 16, 16, 1, 8}});
    if (!Save(dir + "/icon.ico", ico) || !Save(dir + "/picture.bmp", kivtest::MakeBmp(57, 23, 8, 6)))
        return Die("cannot write fixtures in " + dir);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && !std::strcmp(argv[1], "--make-fixtures")) return MakeFixtures(argv[2]);
    if (argc < 3) return Die("usage: pe_write_tool IN OUT [operations]");
    std::vector<uint8_t> file;
    if (!Load(argv[1], file)) return Die(std::string("cannot read ") + argv[1]);
    PeImage image;
    std::string error;
    if (!ReadPeImage(file, image, error)) return Die(std::string(argv[1]) + ": " + error);

    ResourceSet set = image.resources;
    uint16_t language = ImageLanguage(set);
    std::vector<uint16_t> shown;
    bool icon = false;
    std::vector<uint8_t> bitmap;
    for (int i = 3; i < argc; ++i) {
        std::string op = argv[i];
        bool two = op == "--payload" || op == "--string" || op == "--cap";
        int more = op == "--raw" ? 3 : two ? 2 : 1;
        if (i + more >= argc) return Die("missing argument to " + op);
        std::vector<uint8_t> bytes;
        bool ok = true;
        if (op == "--payload") {
            if (!Load(argv[i + 2], bytes)) return Die(std::string("cannot read ") + argv[i + 2]);
            set.Set({ResourceName::Id(KIV_PAYLOAD_TYPE), ResourceName::Id(Number(argv[i + 1])),
                     language, 0, bytes});
            set.RemoveAll(ResourceName::Id(KIV_CRC_TYPE), ResourceName::Id(KIV_CRC_RESOURCE));
        } else if (op == "--string") {
            ok = SetString(set, Number(argv[i + 1]), language, AnsiToUtf16(argv[i + 2]), error);
        } else if (op == "--cap") {
            ok = SetPayloadCap(set, Number(argv[i + 1]), uint32_t(std::strtoul(argv[i + 2], nullptr, 10)),
                               error);
        } else if (op == "--icon" || op == "--bitmap") {
            if (!Load(argv[i + 1], bytes)) return Die(std::string("cannot read ") + argv[i + 1]);
            if (op == "--icon") {
                ok = icon = SetProgramIcon(set, bytes, error);
            } else {
                ok = SetFontsBitmap(set, bytes, error) && BitmapResourceFromBmp(bytes, bitmap, error);
            }
        } else if (op == "--raw") {
            if (!Load(argv[i + 3], bytes)) return Die(std::string("cannot read ") + argv[i + 3]);
            set.Set({ResourceName::Id(Number(argv[i + 1])), ResourceName::Id(Number(argv[i + 2])), language, 0,
                     bytes});
        } else if (op == "--lang") {
            language = uint16_t(std::strtoul(argv[i + 1], nullptr, 16));
        } else if (op == "--show") {
            shown.push_back(Number(argv[i + 1]));
        } else {
            return Die("unknown operation " + op);
        }
        if (!ok) return Die(op + ": " + error);
        i += more;
    }

    std::vector<uint8_t> out;
    if (!WritePeWithResources(image, set, out, error)) return Die(std::string(argv[1]) + ": " + error);
    if (!Save(argv[2], out)) return Die(std::string("cannot write ") + argv[2]);

    for (const Resource& r : set.Entries())
        std::printf("res %s %s %x %zu %08x\n", NameText(r.type).c_str(), NameText(r.name).c_str(),
                    r.language, r.data.size(), kivtest::Fnv1a(r.data));
    for (uint16_t id : shown) {
        std::u16string text;
        std::string ansi;
        if (FindString(set, id, language, text) && Utf16ToAnsi(text, ansi))
            std::printf("str %u %s\n", id, ansi.c_str());
        else
            std::printf("str %u (missing)\n", id);
    }
    if (!bitmap.empty())
        std::printf("bitmap %u %d %d\n", KIV_FONTS_BITMAP, int(int32_t(bitmap[4] | bitmap[5] << 8 |
                    bitmap[6] << 16 | uint32_t(bitmap[7]) << 24)),
                    int(int32_t(bitmap[8] | bitmap[9] << 8 | bitmap[10] << 16 | uint32_t(bitmap[11]) << 24)));
    if (icon) std::printf("icon %u ok\n", KIV_ICON);
    return 0;
}
