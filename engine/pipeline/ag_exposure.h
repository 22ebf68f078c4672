// The scan parameters' links to the exposure and line-period tables.
#pragma once

#include <cstdint>

#include "engine/api/scanner_engine.h"
#include "engine/api/status_codes.h"
#include "engine/pipeline/scan_state.h"

namespace zrt {

// Loads the shading cache entry of the scan's resolution and light source
// and scales its exposure by the AG gains (sets ExposureMultiplier).
StatusCode PrepareAGExposure(ScannerEngine& engine, const ScanParameters& p, uint8_t lampSelection);

// The line period of the current light source, bus speed, depth and
// resolution (scaled by ExposureMultiplier for sources other than documents).
uint32_t LineTimePeriod(ScannerEngine& engine, uint8_t lampSelection, uint8_t depth, uint16_t xResolution);

}  // namespace zrt
