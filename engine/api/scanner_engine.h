// The one engine object of the process. Each group of fields belongs to the
// subsystem whose header declares it; the operations are the methods and
// functions of those subsystems.
#pragma once

#include <cstdint>

#include "engine/calibration/shading_tables.h"
#include "engine/control/gamma_slots.h"
#include "engine/pipeline/scan_state.h"
#include "engine/transport/controller.h"

namespace zrt {

struct ScannerEngine {
    // Device access, register shadow, bus speed and the controller memory map.
    Controller device;
    // Objects of the running scan (ring, filter, infrared file).
    ScanObjects scan;
    // Exposure factor, 4096 = 1.0.
    uint16_t ExposureMultiplier = 4096;
    // This process's copy of the shared origin offset.
    uint16_t OriginOffset = 0;
    // The high-resolution drive is engaged.
    uint32_t highResDriveEngaged = 0;
    ScanConfig config;
    ScanProgress progress;
    ShadingTables shading;
    GammaSlots gamma;
};

// The process's engine, constructed before any export can run.
ScannerEngine& Engine();

}  // namespace zrt
