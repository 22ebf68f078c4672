// Three 65536-entry gamma tables, slot i for channel i.
#pragma once

#include <cstdint>
#include <vector>

namespace zrt {

struct GammaSlots {
    std::vector<uint16_t> slot[3];
};

}  // namespace zrt
