// The per-channel exposure of one controller job: four levels (registers
// 0x5A-0x5D) and four exposure times (register pairs 0x52-0x59), channels
// red, green, blue and infrared. Stored verbatim in the shading cache files,
// hence the fixed 12-byte layout.
#pragma once

#include <array>
#include <cstdint>

namespace zrt {

struct ChannelExposure {
    std::array<uint8_t, 4> level{255, 255, 255, 255};
    std::array<uint16_t, 4> exposure{1, 1, 1, 1};  // 1 is practically dark
};
static_assert(sizeof(ChannelExposure) == 12);

}  // namespace zrt
