#include "tools/zrtscan/atomic_output.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace zrtscan {

static std::string TemporaryNameFor(const std::string& path) {
    // Keep the extension last so writers that look at it still see it.
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const std::string tag = ".partial-" + std::to_string(::getpid());
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + tag;
    return path.substr(0, dot) + tag + path.substr(dot);
}

AtomicOutput::AtomicOutput(std::string finalPath)
    : final_(std::move(finalPath)), temporary_(TemporaryNameFor(final_)) {}

AtomicOutput::~AtomicOutput() {
    if (!committed_) std::remove(temporary_.c_str());
}

bool AtomicOutput::commit() {
    if (std::rename(temporary_.c_str(), final_.c_str()) != 0) return false;
    committed_ = true;
    return true;
}

}  // namespace zrtscan
