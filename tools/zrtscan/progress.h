// Progress of long work on stderr, only when stderr is a terminal.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace zrtscan {

class Progress {
public:
    Progress(std::string label, uint64_t total, bool quiet);
    ~Progress();
    void update(uint64_t done);
    void finish();

private:
    std::string label_;
    uint64_t total_;
    bool enabled_;
    bool finished_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace zrtscan
