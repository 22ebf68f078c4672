// The resolution index used by every per-resolution table of the scan
// programming: 75 dpi -> 0, 150 -> 1, ... 4800 -> 6, 9600 -> 7.
#pragma once

#include <cstdint>

namespace zrt {

// floor(log2(dpi / 75)); resolutions below 75 (only 0 occurs) give 0 and
// resolutions beyond 9600 give 7, so a table lookup can never leave its row.
constexpr unsigned ResolutionIndex(uint32_t dpi) {
    uint32_t ratio = dpi / 75;
    unsigned index = 0;
    while (ratio > 1 && index < 7) {
        ratio >>= 1;
        ++index;
    }
    return index;
}

}  // namespace zrt
