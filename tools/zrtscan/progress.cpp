#include "tools/zrtscan/progress.h"

#include <unistd.h>

#include <cstdio>

namespace zrtscan {

Progress::Progress(std::string label, uint64_t total, bool quiet)
    : label_(std::move(label)),
      total_(total),
      enabled_(!quiet && ::isatty(STDERR_FILENO)),
      start_(std::chrono::steady_clock::now()),
      lastDraw_(start_) {}

Progress::~Progress() { finish(); }

void Progress::update(uint64_t done) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (done < total_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? done / seconds : 0.0;
    const double left = rate > 0 && total_ > done ? (total_ - done) / rate : 0.0;
    std::fprintf(stderr, "\r%s: %llu/%llu lines, %.0f lines/s, %.0f s left   ", label_.c_str(),
                 static_cast<unsigned long long>(done), static_cast<unsigned long long>(total_), rate,
                 left);
    std::fflush(stderr);
}

void Progress::finish() {
    if (!enabled_ || finished_) return;
    finished_ = true;
    std::fprintf(stderr, "\n");
}

}  // namespace zrtscan
