// Turning a white and a dark reference into the controller's per-pixel
// correction: offset first, then gain (16384 = 1.0).
#pragma once

#include <array>
#include <cstdint>

namespace zrt {

// In place for all four tables and the first `count` entries: white[t]
// becomes the gain, dark[t] the offset. Document sources (bit 0 set) and
// film sources aim at different white levels per channel.
void ComputeShading(uint32_t count, uint8_t source, const std::array<uint16_t*, 4>& white,
                    const std::array<uint16_t*, 4>& dark);

}  // namespace zrt
