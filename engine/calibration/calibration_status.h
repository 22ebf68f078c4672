// Whether a usable calibration exists for the scan the caller set up.
#pragma once

#include <cstdint>

#include "engine/api/status_codes.h"

namespace zrt {

struct ScannerEngine;

// `out`: 0 a valid calibration exists; 1 it has been used 1000 times and
// should be renewed (its counter restarts); 2 none is usable (files missing
// or short, or calibrated over a bus of another speed). `xResolution` and
// `filmScan` come from the caller's last scan parameters, `source` is the
// selected light source. Always status 0.
StatusCode CheckCalibrationStatus(ScannerEngine& engine, uint16_t xResolution, uint8_t filmScan,
                                  uint8_t source, uint8_t& out);

}  // namespace zrt
