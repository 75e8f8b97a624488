#include "tools/kivpack/packing.h"
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include "engine/payload_crc.h"
#include "tools/kivpack/lint/script_lint.h"
#include "tools/kivpack/os/os.h"
#include "tools/kivpack/pe/pe.h"
#include "tools/kivpack/progress.h"
#include "tools/kivpack/szdd_compress.h"

namespace {

const std::size_t Piece = 1u << 20;

// One job, from its source to the hooks.
bool RunJob(PackJob& job, size_t index, unsigned worker, const PackHooks& hooks, std::atomic<uint64_t>& read,
            const std::atomic<bool>& stop, std::string& error)
{
    if (!hooks.begin(index, worker, error)) return false;
    SzddEncoder encoder(job.size, 0, [&](const unsigned char* data, size_t size, std::string& e) {
        return hooks.write(index, worker, data, size, e);
    });
    unsigned state = PAYLOAD_CRC_START;
    auto add = [&](const unsigned char* data, size_t size) {
        state = Crc32Update(state, data, unsigned(size));
        read += size;
        return encoder.Add(data, size, error);
    };
    if (job.source.empty()) {
        if (!add(job.text.data(), job.text.size())) return false;
    } else {
        FILE* f = kivpack::os::OpenForReading(job.source);
        if (!f) {
            error = job.source + ": " + kivpack::os::LastErrorText();
            return false;
        }
        std::vector<unsigned char> piece(Piece);
        uint64_t got = 0;
        bool ok = true;
        size_t n;
        while (ok && !stop && (n = std::fread(piece.data(), 1, piece.size(), f)) > 0) {
            got += n;
            if (got > job.size) {
                error = job.source + ": the file grew while it was read; pack it again";
                ok = false;
            } else if (!add(piece.data(), n)) {
                error = job.source + ": " + error;
                ok = false;
            }
        }
        if (ok && std::ferror(f)) {
            error = job.source + ": read error";
            ok = false;
        }
        std::fclose(f);
        if (!ok) return false;
        if (stop) {
            error = "stopped";
            return false;
        }
        if (got != job.size) {
            error = job.source + ": the file shrank while it was read; pack it again";
            return false;
        }
    }
    if (!encoder.Finish(error)) return false;
    job.crc = PayloadCrcFinal(state);
    job.packed = encoder.Written();
    return hooks.end(index, worker, error);
}

} // namespace

unsigned DefaultThreads()
{
    unsigned n = std::thread::hardware_concurrency();
    return n ? n : 1;
}

bool ParseThreads(const std::string& text, unsigned& threads)
{
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    threads = unsigned(std::stoul(text));
    return threads >= 1 && threads <= 256;
}

bool MeasureJobs(std::vector<PackJob>& jobs, std::string& error)
{
    for (PackJob& job : jobs) {
        if (job.source.empty()) {
            job.size = job.text.size();
            continue;
        }
        kivpack::os::FileStatus status;
        if (!kivpack::os::Status(job.source, status) || !status.regular) {
            error = job.source + ": not a file that can be read";
            return false;
        }
        job.size = status.size;
        if (job.size > 0xFFFFFFFFull) {
            error = job.source + ": too large for the SZDD container (4 GiB at most)";
            return false;
        }
    }
    return true;
}

bool PackAll(std::vector<PackJob>& jobs, unsigned threads, const PackHooks& hooks, ProgressBar& bar,
             std::string& error)
{
    if (threads > jobs.size()) threads = unsigned(jobs.size());
    if (threads == 0) return true;
    std::atomic<size_t> next(0);
    std::atomic<bool> stop(false);
    std::atomic<uint64_t> read(0);
    std::mutex lock;
    std::condition_variable changed;
    std::vector<size_t> finished;  // jobs done, not yet handed to hooks.done
    size_t failedJob = jobs.size();
    std::string failure;
    unsigned running = threads;

    auto work = [&](unsigned worker) {
        for (;;) {
            size_t i = next++;
            if (i >= jobs.size() || stop) break;
            std::string e;
            bool ok = RunJob(jobs[i], i, worker, hooks, read, stop, e);
            std::lock_guard<std::mutex> hold(lock);
            if (ok) {
                finished.push_back(i);
            } else {
                // Of several failures the first in job order is reported, so
                // that the message depends on the threads as little as can be.
                if (e != "stopped" && i < failedJob) {
                    failedJob = i;
                    failure = e;
                }
                stop = true;
            }
            changed.notify_all();
            if (stop) break;
        }
        std::lock_guard<std::mutex> hold(lock);
        --running;
        changed.notify_all();
    };
    std::vector<std::thread> pool;
    for (unsigned w = 0; w < threads; ++w) pool.emplace_back(work, w);

    std::unique_lock<std::mutex> hold(lock);
    for (;;) {
        changed.wait_for(hold, std::chrono::milliseconds(200));
        std::vector<size_t> ready;
        ready.swap(finished);
        bool allStopped = running == 0;
        hold.unlock();
        bar.Update(read);
        for (size_t i : ready) {
            std::string e;
            if (!stop && !hooks.done(i, e)) {
                std::lock_guard<std::mutex> again(lock);
                if (i < failedJob) {
                    failedJob = i;
                    failure = e;
                }
                stop = true;
            }
        }
        hold.lock();
        if (allStopped && finished.empty()) break;
    }
    hold.unlock();
    for (std::thread& t : pool) t.join();
    if (stop) {
        error = failure;
        return false;
    }
    return true;
}

std::string TooLargeForOneInstaller(const std::string& what, size_t files, uint64_t expanded, uint64_t atLeast,
                                    bool sure)
{
    return what + ": too large for one installer: its " + std::to_string(files) + " files of " +
           lint::GroupedNumber(expanded) + " bytes make an image of " + (sure ? "at least " : "more than ") +
           lint::GroupedNumber(atLeast) + " bytes, and Windows loads an installer of at most " +
           lint::GroupedNumber(kivpack::kMaxLoadableImage) +
           " bytes in every case.\nLay the product out on disks with 'kivpack disks', or pack fewer files"
           " in each installer.";
}
