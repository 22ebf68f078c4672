// Loading the caller's gamma tables into the engine's slots.
#pragma once

#include <cstdint>

namespace zrt {

struct GammaSlots;

enum class GammaLoad : uint8_t {
    Loaded,      // the slots for `type` received the table
    Ignored,     // a type without slots: nothing happens
    Refused,     // no table, or no slots to write into: nothing happens
};

// Type 0 loads all three slots, types 1-3 slot type - 1. `table` is trusted
// to hold GammaSlots::kEntries values when it is not null.
GammaLoad SetGamma(GammaSlots& slots, const uint16_t* table, uint8_t type);

}  // namespace zrt
