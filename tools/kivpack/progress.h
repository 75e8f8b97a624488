// A progress bar for long work, drawn on standard error only when it is a
// terminal (a console window on Windows) and only once the work has taken more than a second
// (KIVPACK_PROGRESS_DELAY sets another wait), so that short runs and redirected output stay quiet.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>

class ProgressBar {
public:
    // `label` is shown before the bar (a file name, say); `total` is the
    // amount of work in any unit, 0 when unknown.
    ProgressBar(std::string label, std::uint64_t total);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void SetTotal(std::uint64_t total) { total_ = total; }
    // Reports the amount done so far; cheap enough to call often.
    void Update(std::uint64_t done);
    // Clears the bar if one was drawn; further updates draw nothing.
    void Finish();

private:
    void Draw(std::uint64_t done);

    std::string label_;
    std::uint64_t total_;
    bool enabled_;
    bool drawn_ = false;
    bool finished_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
};
