// Failures the tool reports: the message for the user and the exit code.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace zrtscan {

class ToolError : public std::runtime_error {
public:
    explicit ToolError(const std::string& message, int exitCode = 1)
        : std::runtime_error(message), exitCode_(exitCode) {}
    int exitCode() const { return exitCode_; }

private:
    int exitCode_;
};

// "0x9712 film: x origin outside the film area"
std::string DescribeStatus(uint16_t status);

}  // namespace zrtscan
