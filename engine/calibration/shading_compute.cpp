#include "engine/calibration/shading_compute.h"

#include <algorithm>

namespace zrt {
namespace {

// White level each channel is corrected to (red, green, blue, infrared).
constexpr std::array<uint32_t, 4> kDocumentTarget{64448, 63933, 61908, 61440};
constexpr std::array<uint32_t, 4> kFilmTarget{65792, 66585, 66560, 43520};

}  // namespace

void ComputeShading(uint32_t count, uint8_t source, const std::array<uint16_t*, 4>& white,
                    const std::array<uint16_t*, 4>& dark) {
    const auto& target = (source & 1) ? kDocumentTarget : kFilmTarget;
    for (size_t t = 0; t < 4; ++t) {
        if (white[t] == nullptr || dark[t] == nullptr) continue;
        const uint32_t T = target[t];
        for (uint32_t i = 0; i < count; ++i) {
            const uint16_t w = white[t][i];
            const uint16_t d = dark[t][i];
            const int32_t difference = int32_t(w) - int32_t(d);
            if (difference <= 0) {
                dark[t][i] = static_cast<uint16_t>(512 - d);
                white[t][i] = 16384;
                continue;
            }
            const auto diff = static_cast<uint32_t>(difference);
            dark[t][i] = static_cast<uint16_t>(diff * 512 / T - d);
            white[t][i] = static_cast<uint16_t>(std::min<uint32_t>(T * 16384 / diff, 65535));
        }
    }
}

}  // namespace zrt
