// Where and how the calibration passes look: the strip of the document
// glass or of the film area that holds the white reference.
#pragma once

#include <cstdint>

namespace zrt {

struct CalibrationGeometry {
    uint8_t channels;    // 3 for documents, 4 (with infrared) for film
    int32_t xStart;      // 1/4800 inch
    int32_t width;       // 1/4800 inch
};

inline constexpr uint16_t kDarkPassLines = 32;
inline constexpr uint16_t kWhitePassLines = 48;

// The film area moves left when the film adapter sits in scan position 2.
CalibrationGeometry GeometryFor(uint8_t source, uint8_t fauScanPosition);

}  // namespace zrt
