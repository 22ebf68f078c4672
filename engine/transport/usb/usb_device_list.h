// The scanners attached to the machine, for a command that lists them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zrt {

struct AttachedScanner {
    uint8_t bus = 0;
    uint8_t address = 0;
    std::string speed;  // "low", "full", "high", "super", "super+" or "unknown"
    // The path that opens exactly this scanner: "usb:BUS:ADDR".
    std::string path;
};

// Every attached 5A17:3C42 device; empty when none is attached or USB
// cannot be reached at all.
std::vector<AttachedScanner> ListAttachedScanners();

}  // namespace zrt
