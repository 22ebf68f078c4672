// An output file that appears under its name only once it is complete: the
// data go to a temporary name beside it, renamed on commit and removed
// otherwise, so an interrupted scan never leaves a half-written image.
#pragma once

#include <string>

namespace zrtscan {

class AtomicOutput {
public:
    explicit AtomicOutput(std::string finalPath);
    ~AtomicOutput();
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;

    const std::string& temporaryPath() const { return temporary_; }
    const std::string& finalPath() const { return final_; }
    bool commit();

private:
    std::string final_;
    std::string temporary_;
    bool committed_ = false;
};

}  // namespace zrtscan
