// Compressing the files of a product, several at a time: each file is read
// and compressed in pieces, so that memory does not grow with the files, and
// its SZDD stream goes wherever the command wants it (a scratch file beside
// the output, or the file's own place in a disk set). Every file is
// compressed on its own, so the bytes do not depend on the number of threads.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class ProgressBar;

struct PackJob {
    std::string source;         // the file to read; empty when `text` is the input
    std::vector<uint8_t> text;  // a small input made in memory (the packed script)
    uint64_t size = 0;          // the expanded size, known before the work
    // Filled in by PackAll:
    uint32_t crc = 0;      // of the expanded bytes as they were read
    uint64_t packed = 0;   // bytes of the SZDD stream
};

struct PackHooks {
    // Each runs on the thread of worker `worker` (0 to threads - 1), for job
    // `job`: before its first byte, with every piece of its SZDD stream in
    // order, and after its last. False (with `error`) stops the whole run.
    std::function<bool(size_t job, unsigned worker, std::string& error)> begin;
    std::function<bool(size_t job, unsigned worker, const unsigned char* data, size_t size, std::string& error)>
        write;
    std::function<bool(size_t job, unsigned worker, std::string& error)> end;
    // On the calling thread, once a job is done, in the order they finish.
    std::function<bool(size_t job, std::string& error)> done;
};

// The number of processors, at least 1.
unsigned DefaultThreads();

// Reads a -j argument: a whole number from 1 to 256.
bool ParseThreads(const std::string& text, unsigned& threads);

// The expanded size of every job's source, for the bounds checked before
// the work; false with `error` when one cannot be read.
bool MeasureJobs(std::vector<PackJob>& jobs, std::string& error);

// Compresses every job on `threads` threads (never more threads than jobs).
// The first failure stops the rest: its message goes to `error`. A source
// that does not hold `size` bytes as it is read (it changed since) fails.
bool PackAll(std::vector<PackJob>& jobs, unsigned threads, const PackHooks& hooks, ProgressBar& bar,
             std::string& error);

// The refusal of a product too large for one installer, `what` first, with
// its figures (`files` files of `expanded` bytes make an image of at least
// `atLeast` bytes, or more, when `sure` is false and compression is not
// done) and what to do instead.
std::string TooLargeForOneInstaller(const std::string& what, size_t files, uint64_t expanded, uint64_t atLeast,
                                    bool sure);
