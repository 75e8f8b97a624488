// expand_bench [--only ours|libmspack] REPS OUTDIR FILE...: expands every SZDD FILE into OUTDIR, file
// to file, with our expander and with libmspack's SZDD decompressor, REPS
// times each, the two taking turns, and prints for each the best total over
// the repetitions:
//
//   ours      cpu <seconds> wall <seconds>
//   libmspack cpu <seconds> wall <seconds>
//
// Every pass writes new files (the outputs of the pass before are removed
// first, untimed). Ours goes the way the installer goes: a compressed file of up to 256 KiB is
// copied whole (SzddCopy), a larger one read in chunks of 31,744 bytes and
// written; reads and writes are plain system calls. Outputs are named after
// the input with ".ours" or ".mspack" appended, for the caller to compare.
// --only runs one side alone (to profile it); the other prints no figures.
// With KIV_BENCH_CRC=1 in the environment ours also keeps the CRC-32 of what
// it expands, as the installer does for a file with a recorded checksum.
#include <fcntl.h>
#include <mspack.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "engine/szdd.h"

namespace {

const unsigned CopyAtOnceLimit = 0x40000;
const unsigned ChunkSize = 0x7C00;

double Now(clockid_t clock)
{
    timespec t;
    clock_gettime(clock, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

unsigned ReadFd(void* context, unsigned char* buffer, unsigned count)
{
    ssize_t n = read(*(int*)context, buffer, count);
    return n < 0 ? SZDD_SOURCE_ERROR : (unsigned)n;
}

unsigned WriteFd(void* context, const unsigned char* data, unsigned count)
{
    ssize_t n = write(*(int*)context, data, count);
    return n < 0 ? 0 : (unsigned)n;
}

bool ExpandOurs(const std::string& in, const std::string& out)
{
    static SzddExpander expander;
    static unsigned char chunk[ChunkSize];
    int source = open(in.c_str(), O_RDONLY);
    if (source < 0) return false;
    struct stat st;
    bool atOnce = fstat(source, &st) == 0 && st.st_size <= (off_t)CopyAtOnceLimit;
    int destination = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    bool ok = destination >= 0 && SzddOpen(&expander, ReadFd, &source) == 0;
    static const bool keepCrc = std::getenv("KIV_BENCH_CRC") && *std::getenv("KIV_BENCH_CRC") == '1';
    if (ok && keepCrc) SzddKeepCrc(&expander);
    if (ok && atOnce) {
        ok = SzddCopy(&expander, WriteFd, &destination) == 0;
    } else if (ok) {
        for (;;) {
            int n = SzddRead(&expander, chunk, sizeof chunk);
            if (n < 0 || (n > 0 && WriteFd(&destination, chunk, (unsigned)n) != (unsigned)n)) {
                ok = false;
                break;
            }
            if ((unsigned)n != sizeof chunk) break;
        }
    }
    SzddClose(&expander);
    close(source);
    if (destination >= 0 && close(destination) != 0) ok = false;
    return ok;
}

bool ExpandMspack(msszdd_decompressor* szdd, const std::string& in, const std::string& out)
{
    return szdd->decompress(szdd, const_cast<char*>(in.c_str()), const_cast<char*>(out.c_str())) ==
           MSPACK_ERR_OK;
}

struct Best {
    double cpu = 1e300, wall = 1e300;
};

} // namespace

int main(int argc, char** argv)
{
    std::string only;
    if (argc > 2 && std::string(argv[1]) == "--only") {
        only = argv[2];
        argv += 2;
        argc -= 2;
    }
    if (argc < 4 || std::atoi(argv[1]) < 1 || (!only.empty() && only != "ours" && only != "libmspack")) {
        std::fprintf(stderr, "usage: expand_bench [--only ours|libmspack] REPS OUTDIR FILE...\n");
        return 2;
    }
    int reps = std::atoi(argv[1]);
    std::string outDir = argv[2];
    std::vector<std::string> inputs(argv + 3, argv + argc);
    std::vector<std::string> names;
    for (const std::string& in : inputs) {
        std::size_t slash = in.find_last_of('/');
        names.push_back(outDir + "/" + (slash == std::string::npos ? in : in.substr(slash + 1)));
    }
    msszdd_decompressor* szdd = mspack_create_szdd_decompressor(nullptr);
    if (!szdd) {
        std::fprintf(stderr, "expand_bench: libmspack cannot start\n");
        return 1;
    }
    Best ours, mspack;
    int failures = 0;
    for (int rep = 0; rep < reps; ++rep) {
        for (int turn = 0; turn < 2; ++turn) {
            bool oursNow = (turn == 0) == (rep % 2 == 0);
            if (!only.empty() && oursNow != (only == "ours")) continue;
            // Each pass writes new files, as an installation does, rather
            // than truncating those of the pass before.
            for (const std::string& name : names) unlink((name + (oursNow ? ".ours" : ".mspack")).c_str());
            double cpu0 = Now(CLOCK_PROCESS_CPUTIME_ID), wall0 = Now(CLOCK_MONOTONIC);
            for (std::size_t i = 0; i < inputs.size(); ++i) {
                bool ok = oursNow ? ExpandOurs(inputs[i], names[i] + ".ours")
                                  : ExpandMspack(szdd, inputs[i], names[i] + ".mspack");
                if (!ok && rep == 0) {
                    std::fprintf(stderr, "expand_bench: %s: %s failed\n", inputs[i].c_str(),
                                 oursNow ? "ours" : "libmspack");
                    ++failures;
                }
            }
            double cpu = Now(CLOCK_PROCESS_CPUTIME_ID) - cpu0, wall = Now(CLOCK_MONOTONIC) - wall0;
            Best& b = oursNow ? ours : mspack;
            if (cpu < b.cpu) b.cpu = cpu;
            if (wall < b.wall) b.wall = wall;
        }
    }
    mspack_destroy_szdd_decompressor(szdd);
    if (only != "libmspack") std::printf("ours cpu %.6f wall %.6f\n", ours.cpu, ours.wall);
    if (only != "ours") std::printf("libmspack cpu %.6f wall %.6f\n", mspack.cpu, mspack.wall);
    return failures ? 1 : 0;
}
