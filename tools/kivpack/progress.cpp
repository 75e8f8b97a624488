#include "tools/kivpack/progress.h"
#include "tools/kivpack/os/os.h"
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

// The work a bar waits for before it appears: a second, or the seconds that
// KIVPACK_PROGRESS_DELAY gives (0 shows it at once). A value that is not a
// number from 0 to 3600 is ignored.
std::chrono::steady_clock::duration Delay()
{
    static const std::chrono::steady_clock::duration delay = [] {
        std::chrono::steady_clock::duration d = std::chrono::seconds(1);
        if (const char* text = std::getenv("KIVPACK_PROGRESS_DELAY")) {
            char* end = nullptr;
            double seconds = std::strtod(text, &end);
            if (*text && end && *end == 0 && std::isfinite(seconds) && seconds >= 0 && seconds <= 3600)
                d = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                    std::chrono::duration<double>(seconds));
        }
        return d;
    }();
    return delay;
}

const auto Interval = std::chrono::milliseconds(100);
const unsigned BarWidth = 30;
const std::size_t LabelWidth = 32;

} // namespace

ProgressBar::ProgressBar(std::string label, std::uint64_t total)
    : label_(std::move(label)), total_(total), enabled_(kivpack::os::IsTerminal(stderr)),
      start_(std::chrono::steady_clock::now()), lastDraw_(start_)
{
    if (label_.size() > LabelWidth) label_ = "..." + label_.substr(label_.size() - (LabelWidth - 3));
}

ProgressBar::~ProgressBar() { Finish(); }

void ProgressBar::Update(std::uint64_t done)
{
    if (!enabled_ || finished_) return;
    auto now = std::chrono::steady_clock::now();
    if (now - start_ < Delay() || (drawn_ && now - lastDraw_ < Interval)) return;
    lastDraw_ = now;
    Draw(done);
}

void ProgressBar::Draw(std::uint64_t done)
{
    char line[160];
    if (total_) {
        if (done > total_) done = total_;
        unsigned filled = (unsigned)(done * BarWidth / total_);
        char bar[BarWidth + 1];
        for (unsigned i = 0; i < BarWidth; ++i) bar[i] = i < filled ? '#' : '.';
        bar[BarWidth] = 0;
        std::snprintf(line, sizeof line, "\r%-*s [%s] %3u%%", (int)LabelWidth, label_.c_str(), bar,
                      (unsigned)(done * 100 / total_));
    } else {
        std::snprintf(line, sizeof line, "\r%-*s %llu", (int)LabelWidth, label_.c_str(),
                      (unsigned long long)done);
    }
    std::fputs(line, stderr);
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressBar::Finish()
{
    if (finished_) return;
    finished_ = true;
    if (drawn_) {
        // Blank the line so that a later message starts clean.
        std::fprintf(stderr, "\r%*s\r", (int)(LabelWidth + BarWidth + 8), "");
        std::fflush(stderr);
    }
}
