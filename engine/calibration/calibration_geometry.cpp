#include "engine/calibration/calibration_geometry.h"

namespace zrt {

CalibrationGeometry GeometryFor(uint8_t source, uint8_t fauScanPosition) {
    if (source & 1) return {3, 0, 40832};
    return {4, fauScanPosition == 2 ? 4809 : 9968, 6400};
}

}  // namespace zrt
