// The controller's line period per source, bus speed, depth and resolution,
// and the exposure multiplier that stretches film line periods so the
// longest channel exposure fits into one line.
#pragma once

#include <cstdint>

#include "engine/api/status_codes.h"
#include "engine/motion/channel_exposure.h"
#include "engine/pipeline/scan_state.h"

namespace zrt {

struct ScannerEngine;

struct LinePeriod {
    uint32_t period = 0;  // controller clock units
    uint16_t extra = 0;   // always 0; written to registers 0x64-0x65
};

// The table entry for (source bit 0, bus speed, depth class, idx(dpi));
// dpi 0 counts as 75, depths other than 16, 24 and 48 use the 8-bit row.
// Film periods (source bit 0 clear) are scaled by the engine's
// ExposureMultiplier; document periods never are.
LinePeriod LookupLinePeriod(const ScannerEngine& engine, uint8_t source, uint8_t busSpeed,
                            uint8_t depth, uint16_t dpi);

// The unscaled table entry, as above without the multiplier.
uint32_t LinePeriodTableEntry(uint8_t source, uint8_t busSpeed, uint8_t depth, uint16_t dpi);

// Applies the red, green and blue gains (words 18-20 of `agData`) to
// `exposure` in place and sets ExposureMultiplier so that the longest of the
// three fits into the line period of (source, BusSpeed, depth, dpi).
// Always returns 0.
StatusCode SetExposureMultiplier(ScannerEngine& engine, ChannelExposure& exposure,
                                 const AGDataWords& agData, uint8_t source, uint8_t depth,
                                 uint16_t dpi);

}  // namespace zrt
