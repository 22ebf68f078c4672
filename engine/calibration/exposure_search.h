// Finding the exposure time per channel that brings the white strip to its
// target level: a bisection between growing and shrinking bounds.
#pragma once

#include <array>
#include <cstdint>

#include "engine/api/status_codes.h"
#include "engine/calibration/reference_set.h"
#include "engine/motion/channel_exposure.h"

namespace zrt {

struct ScannerEngine;

// Levels 255, exposures 1: the lamp practically dark.
StatusCode SetDarkExposure(ChannelExposure& exposure);

// One channel's search state; all values are exposure times.
struct ExposureBounds {
    uint16_t current = 0;
    uint16_t lower = 0;
    uint16_t upper = 0;
    bool accepted = false;
};

// One search step for a channel measured at `level` (8-bit) in iteration
// `iteration` (from 1): bisect towards `target` ± 10, widening a bound by
// 20 % when the exposure already sits on it.
void StepExposure(ExposureBounds& bounds, uint8_t level, uint8_t target, unsigned iteration);

// Searches the exposure of every channel (film: four, documents: three,
// the fourth then kept just below the line period) with dark-corrected
// measurements, using `darkSet` as the dark reference. Overwrites the
// engine's shading gain (1.0) and offset tables for the calibration pixels.
StatusCode SearchExposure(ScannerEngine& engine, ChannelExposure& exposure, uint16_t resolution,
                          uint8_t source, const ReferenceSet& darkSet);

}  // namespace zrt
