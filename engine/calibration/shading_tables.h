// The engine's shading tables, white copies and calibration use count.
//
// ShadingGain and ShadingOffset hold the per-pixel correction that the
// controller applies (or, between a cache load and ComputeShading, the raw
// white and dark references); ShadingWhiteCopy keeps the raw white reference
// of the last cache load so that a scan start can rebuild the tables after a
// fresh dark pass.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace zrt {

// Entries of one shading table: enough for a 4800 dpi document line
// (40832 pixels) and for the four 600 dpi dark sub-blocks (4 x 5104).
inline constexpr size_t kShadingEntries = 65536;

using ShadingTable = std::vector<uint16_t>;

struct ShadingTables {
    std::array<ShadingTable, 4> ShadingGain;
    std::array<ShadingTable, 4> ShadingOffset;
    uint32_t ShadingEntryCount = 0;
    uint16_t CalibrationUseCount = 0;
    std::array<ShadingTable, 4> ShadingWhiteCopy;

    // Allocates the twelve tables (gain, offset and white copy of channel 0,
    // then of channel 1, ...). On failure the tables obtained so far stay
    // and the others stay missing; false is returned.
    bool Allocate() noexcept {
        for (size_t ch = 0; ch < 4; ++ch) {
            if (!AllocateTable(ShadingGain[ch])) return false;
            if (!AllocateTable(ShadingOffset[ch])) return false;
            if (!AllocateTable(ShadingWhiteCopy[ch])) return false;
        }
        return true;
    }

    void Release() noexcept {
        for (size_t ch = 0; ch < 4; ++ch) {
            ShadingTable().swap(ShadingGain[ch]);
            ShadingTable().swap(ShadingOffset[ch]);
            ShadingTable().swap(ShadingWhiteCopy[ch]);
        }
    }

    static bool Present(const ShadingTable& table) noexcept { return table.size() == kShadingEntries; }

    // Gain and offset tables of every channel exist.
    bool CorrectionTablesPresent() const noexcept {
        for (size_t ch = 0; ch < 4; ++ch)
            if (!Present(ShadingGain[ch]) || !Present(ShadingOffset[ch])) return false;
        return true;
    }

    bool AllPresent() const noexcept {
        if (!CorrectionTablesPresent()) return false;
        for (const auto& table : ShadingWhiteCopy)
            if (!Present(table)) return false;
        return true;
    }

private:
    static bool AllocateTable(ShadingTable& table) noexcept {
        if (Present(table)) return true;
        try {
            table.assign(kShadingEntries, 0);
        } catch (const std::bad_alloc&) {
            ShadingTable().swap(table);
            return false;
        }
        return true;
    }
};

}  // namespace zrt
