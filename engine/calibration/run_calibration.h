// The calibration procedure: for one resolution and light source, the dark
// and white references with the exposure search, saved in the shading
// cache; and the choice of what to calibrate for a caller's request.
#pragma once

#include <cstdint>

#include "engine/api/status_codes.h"

namespace zrt {

struct ScannerEngine;

// One complete calibration. A film source with resolution 0 calibrates the
// whole film set (600, 1200, 2400, 4800 dpi). Documents at 600 dpi also
// measure the dark references of the 300, 150 and 75 dpi line periods.
StatusCode RunCalibration(ScannerEngine& engine, uint16_t resolution, uint8_t source);

// What the caller asked for with (type, mode, resolution); `lastXResolution`
// is the XResolution of the caller's last scan parameters. Returns false
// when the request calibrates nothing (the status is then not to be
// recorded); otherwise `result` is that of the last calibration run.
bool CalibrateForRequest(ScannerEngine& engine, int32_t type, int32_t mode, int32_t resolution,
                         uint16_t lastXResolution, StatusCode& result);

}  // namespace zrt
