// lz_bench.exe REPS LIST: under Windows (or Wine), expands every SZDD file
// named in LIST with the installer's own expansion code and with the system's
// LZ library (LZOpenFile, LZCopy), REPS times each, the two taking turns, and
// prints the best total of each over the repetitions:
//
//   ours cpu <seconds> wall <seconds>
//   lzcopy cpu <seconds> wall <seconds>
//
// LIST holds one line per file: the input path, a tab, and the output path to
// which ".ours" or ".lz" is appended. Ours goes the installer's way: a
// compressed file of up to 256 KiB is copied whole, a larger one read in
// chunks of 31,744 bytes and written. With KIV_BENCH_CRC=1 in the
// environment ours also keeps the CRC-32 of what it expands, as the installer
// does for a file with a recorded checksum.
#include <windows.h>
#include <lzexpand.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>
#include "engine/expansion_win32.h"

namespace {

const DWORD CopyAtOnceLimit = 0x40000;
const unsigned ChunkSize = 0x7C00;

struct Item {
    std::string in, out;
};

double Seconds(const FILETIME& t) { return (t.dwLowDateTime + 4294967296.0 * t.dwHighDateTime) * 1e-7; }

double ProcessCpu()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

double Wall()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart / (double)frequency.QuadPart;
}

bool ExpandOurs(const std::string& in, const std::string& out)
{
    static unsigned char chunk[ChunkSize];
    HANDLE source = CreateFileA(in.c_str(), GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, 0);
    if (source == INVALID_HANDLE_VALUE) return false;
    bool atOnce = GetFileSize(source, 0) <= CopyAtOnceLimit;
    HANDLE destination = CreateFileA(out.c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, 0);
    bool ok = ExpansionOpen(source) == 0 && destination != INVALID_HANDLE_VALUE;
    if (ok && atOnce) {
        ok = ExpansionCopy(destination) == 0;
    } else if (ok) {
        for (;;) {
            int n = ExpansionRead(chunk, sizeof chunk);
            DWORD written = 0;
            if (n < 0 || (n > 0 && (!WriteFile(destination, chunk, (DWORD)n, &written, 0) ||
                                    written != (DWORD)n))) {
                ok = false;
                break;
            }
            if ((unsigned)n != sizeof chunk) break;
        }
    }
    ExpansionClose();
    if (destination != INVALID_HANDLE_VALUE) CloseHandle(destination);
    return ok;
}

bool ExpandLz(const std::string& in, const std::string& out)
{
    OFSTRUCT ofIn, ofOut;
    INT source = LZOpenFileA((LPSTR)in.c_str(), &ofIn, OF_READ);
    if (source < 0) return false;
    INT destination = LZOpenFileA((LPSTR)out.c_str(), &ofOut, OF_CREATE);
    if (destination < 0) {
        LZClose(source);
        return false;
    }
    LONG copied = LZCopy(source, destination);
    LZClose(source);
    LZClose(destination);
    return copied >= 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || atoi(argv[1]) < 1) {
        fprintf(stderr, "usage: lz_bench REPS LIST\n");
        return 2;
    }
    int reps = atoi(argv[1]);
    const char* crc = getenv("KIV_BENCH_CRC");
    ExpansionKeepCrc(crc && *crc == '1');
    FILE* list = fopen(argv[2], "rb");
    if (!list) {
        fprintf(stderr, "lz_bench: cannot read %s\n", argv[2]);
        return 2;
    }
    std::vector<Item> items;
    char line[2048];
    while (fgets(line, sizeof line, list)) {
        line[strcspn(line, "\r\n")] = 0;
        char* tab = strchr(line, '\t');
        if (!tab) continue;
        *tab = 0;
        items.push_back({line, tab + 1});
    }
    fclose(list);
    double best[2][2] = {{1e300, 1e300}, {1e300, 1e300}};  // [ours, lz][cpu, wall]
    int failures = 0;
    for (int rep = 0; rep < reps; ++rep) {
        for (int turn = 0; turn < 2; ++turn) {
            int tool = (turn + rep) % 2;  // 0 ours, 1 LZCopy
            double cpu0 = ProcessCpu(), wall0 = Wall();
            for (const Item& item : items) {
                bool ok = tool == 0 ? ExpandOurs(item.in, item.out + ".ours")
                                    : ExpandLz(item.in, item.out + ".lz");
                if (!ok && rep == 0) {
                    fprintf(stderr, "lz_bench: %s: %s failed\n", item.in.c_str(), tool ? "LZCopy" : "ours");
                    ++failures;
                }
            }
            double cpu = ProcessCpu() - cpu0, wall = Wall() - wall0;
            if (cpu < best[tool][0]) best[tool][0] = cpu;
            if (wall < best[tool][1]) best[tool][1] = wall;
        }
    }
    printf("ours cpu %.6f wall %.6f\n", best[0][0], best[0][1]);
    printf("lzcopy cpu %.6f wall %.6f\n", best[1][0], best[1][1]);
    return failures ? 1 : 0;
}
