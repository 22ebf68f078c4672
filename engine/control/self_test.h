// The self tests: carriage runs and the sensor test.
#pragma once

#include <cstdint>

#include "engine/api/status_codes.h"

namespace zrt {

struct ScannerEngine;

// A burn-in run (type 0) repeats the carriage run until a step fails or
// this many cycles have passed; the caller holds the busy lock all the
// while, so the run must end on a healthy scanner too.
inline constexpr unsigned kBurnInCycles = 20;

// The self test of `type`: 0 repeated carriage runs, 4 one carriage run,
// 5 the sensor test, any other type nothing (status 0). Type 1, which only
// reports the last status, is the export's business.
StatusCode TestScanner(ScannerEngine& engine, uint8_t type, unsigned burnInCycles = kBurnInCycles);

// One carriage run: 100 lines at 75 dpi.
StatusCode CarriageRun(ScannerEngine& engine);

// Up to `cycles` runs of 877 lines; the status of the first failing step,
// else 0.
StatusCode RepeatedCarriageRun(ScannerEngine& engine, unsigned cycles);

// The full sensor test: home, a lit and an unlit line, home again.
StatusCode SensorSelfTest(ScannerEngine& engine);

// One line across the full width at 4800 dpi, lit (with a freshly measured
// exposure) or unlit.
StatusCode SensorTest(ScannerEngine& engine, bool withLight);

// The verdict on the smallest and largest byte of the line.
StatusCode JudgeSensorLine(bool withLight, uint8_t smallest, uint8_t largest);

}  // namespace zrt
