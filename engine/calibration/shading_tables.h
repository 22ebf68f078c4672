// The engine's shading tables, white copies and calibration use count.
#pragma once

#include <cstdint>

namespace zrt {

struct ShadingTables {
    uint16_t CalibrationUseCount = 0;
    uint32_t ShadingEntryCount = 0;
    // ShadingGain[4], ShadingOffset[4], ShadingWhiteCopy[4] land with calibration.
};

}  // namespace zrt
