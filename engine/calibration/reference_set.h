// Dark and white references: per channel, the averaged sample of every
// sensor pixel of a calibration pass.
#pragma once

#include <array>
#include <cstdint>

#include "engine/calibration/shading_tables.h"

namespace zrt {

// Four arrays of kShadingEntries samples (red, green, blue, infrared), not
// owned. A set whose arrays are null stands for "no set" (a scan start's
// dark pass has no white set).
struct ReferenceSet {
    std::array<uint16_t*, 4> channel{};

    bool Present() const {
        for (uint16_t* array : channel)
            if (array == nullptr) return false;
        return true;
    }
};

// The arrays of one calibration, owned for its duration.
struct ReferenceBuffers {
    std::array<ShadingTable, 4> table;

    // false when memory ran out (the set is then not Present).
    bool Allocate() noexcept {
        try {
            for (auto& t : table) t.assign(kShadingEntries, 0);
        } catch (const std::bad_alloc&) {
            for (auto& t : table) ShadingTable().swap(t);
            return false;
        }
        return true;
    }

    ReferenceSet Set() {
        ReferenceSet set;
        for (size_t ch = 0; ch < 4; ++ch)
            set.channel[ch] = ShadingTables::Present(table[ch]) ? table[ch].data() : nullptr;
        return set;
    }
};

// A view of four engine tables as a reference set (missing tables give null).
inline ReferenceSet SetOf(std::array<ShadingTable, 4>& tables) {
    ReferenceSet set;
    for (size_t ch = 0; ch < 4; ++ch)
        set.channel[ch] = ShadingTables::Present(tables[ch]) ? tables[ch].data() : nullptr;
    return set;
}

}  // namespace zrt
