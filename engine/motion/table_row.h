// Row selection shared by the per-resolution timing tables: 16 rows of 8
// resolutions, ordered document/other, then bus speed 1/2, then depth class.
#pragma once

#include <cstdint>

#include "engine/motion/resolution_index.h"

namespace zrt::motion_detail {

// Depth class 0-3 for 8, 16, 24, 48; every other depth uses the 8-bit class.
constexpr unsigned DepthClass(uint8_t depth) {
    switch (depth) {
    case 16: return 1;
    case 24: return 2;
    case 48: return 3;
    default: return 0;
    }
}

// Bus speeds other than 1 (only 2 occurs) use the high-speed rows.
constexpr unsigned TableRow(uint8_t source, uint8_t busSpeed, uint8_t depth) {
    const unsigned other = (source & 0x01) ? 0 : 1;
    const unsigned bus = busSpeed == 1 ? 0 : 1;
    return other * 8 + bus * 4 + DepthClass(depth);
}

}  // namespace zrt::motion_detail
