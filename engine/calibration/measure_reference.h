// One calibration pass: a dark reference (lamp exposures at their minimum)
// or a white reference (the white strip at the searched exposure),
// averaged per sensor pixel over a few lines.
#pragma once

#include <cstdint>

#include "engine/api/status_codes.h"
#include "engine/calibration/reference_set.h"
#include "engine/motion/channel_exposure.h"

namespace zrt {

struct ScannerEngine;

// The controller job of a pass: the scan kind and the capture resolution.
// Dark passes at 300, 150 and 75 dpi are captured at 600 dpi with the line
// period of their own resolution (kinds 1-3); `depth` (the caller's job
// depth) shifts the kind by 10 (24 bits) or 20 (8 bits).
struct PassJob {
    uint8_t kind;
    uint16_t resolution;
};
PassJob PassJobFor(uint16_t resolution, bool dark, uint8_t depth);

// Measures one pass into `darkSet` (dark) or `whiteSet` (white, after
// SearchExposure sets `exposure`). A document dark pass captured at 600 dpi
// lands in the sub-block of its line period.
StatusCode MeasureReference(ScannerEngine& engine, uint16_t resolution, uint8_t source, uint8_t depth,
                            ChannelExposure& exposure, bool dark, const ReferenceSet& whiteSet,
                            const ReferenceSet& darkSet);

}  // namespace zrt
