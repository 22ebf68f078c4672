// The power-up, run once for all processes that share the scanner: the
// carriage is exercised, returned home, the scan origin is measured and the
// film adapter parked.
#pragma once

#include "engine/api/status_codes.h"

namespace zrt {

struct ScannerEngine;

// Writes SharedState().OriginOffset: 300 before the first motion, then the
// measured origin (0 when the measurement failed, so that the next
// InitializeScanner repeats the power-up).
StatusCode PowerUp(ScannerEngine& engine);

// Parks the film adapter motor next to its home sensor.
StatusCode ParkFilmAdapter(ScannerEngine& engine);

// Runs PowerUp unless some process already did; copies the origin into the
// engine. `ranPowerUp` tells whether a status was produced at all.
StatusCode InitializeScanner(ScannerEngine& engine, bool& ranPowerUp);

}  // namespace zrt
