// The start of a scan: control lines, a fresh dark reference and shading,
// carriage and film positioning, the controller job, and the reader thread.
#pragma once

#include <cstdint>

#include "engine/api/scanner_engine.h"
#include "engine/api/status_codes.h"
#include "engine/motion/channel_exposure.h"

namespace zrt {

// The line counts of a scan: Lines, RawLinesLeft and Split (step 6).
struct ScanLineCounts {
    uint32_t lines = 0;
    uint32_t rawLinesLeft = 0;
    uint32_t split = 0;
};
ScanLineCounts ComputeLineCounts(const ScanConfig& config);

// Carriage steps from home to the point where the feed for the first line
// begins; `tableLength` is the length of motor table 0.
uint32_t StartDistance(const ScanConfig& config, uint16_t tableLength, uint16_t originOffset);

// Filter kind and strength of a scan.
struct FilterChoice {
    uint8_t kind = 0;
    uint8_t strength = 0;
};
FilterChoice ChooseFilter(const ScanConfig& config);

// The work of the StartScanEx export (the caller holds the busy lock).
StatusCode StartScan(ScannerEngine& engine);

}  // namespace zrt
