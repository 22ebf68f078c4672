// Programming of one controller job (a carriage move, a strip scan into
// host memory, a calibration pass or a page scan) from a ScanSetup record,
// and the start of the programmed job.
#pragma once

#include <cstdint>

#include "engine/api/status_codes.h"
#include "engine/motion/channel_exposure.h"

namespace zrt {

struct ScannerEngine;

// One controller job. Positions and widths in 1/4800 inch.
struct ScanSetup {
    uint16_t xDpi = 0;          // 0 for moves: counts as 600 where an index is needed
    uint16_t yDpi = 0;          // selects the motor timing
    uint8_t depth = 24;         // 8, 16, 24 or 48
    uint8_t source = 1;         // 1 document, 4 film lamp, 8 infrared replay, 12 film + infrared
    int32_t feedSteps = 0;      // carriage travel before the first line; the whole move for moves
    uint32_t xStart = 0;
    uint32_t width = 0;
    uint32_t lines = 0;
    uint8_t channels = 3;       // 1, 3 or 4
    uint8_t busSpeed = 2;       // 1 = USB 1.1, 2 = USB 2.0
    const ChannelExposure* exposure = nullptr;  // nullptr programs a dark exposure
    uint32_t shadingOn = 0;
    uint32_t ctl10Bit4 = 0;
    uint32_t timingVariant = 0; // carried, never used by the lookup
    uint32_t gammaOn = 0;       // engine gamma (else identity) for 8- and 24-bit jobs
    uint32_t ctl10Bit3 = 0;
    uint32_t reverse = 0;
    uint32_t homeStop = 0;
    uint32_t ctl11Bit1 = 0;
    uint32_t ctl11Bit6 = 0;
};

// Scan kinds: 0 normal; 1-3 / 11-13 / 21-23 line period of xDpi >> (kind
// mod 10) (depth as set / 24 / 8); 10 and 20 depth 24 / 8 at xDpi; 4 the
// white calibration timing; 5, 9, 15 short motor tables; 7, 8 the timing
// of a 16-bit job. Any other value is normal.
StatusCode ProgramScan(ScannerEngine& engine, const ScanSetup& setup, uint8_t kind);

// Starts the programmed job; it then runs in the controller until
// WaitMotionEnd observes its end.
StatusCode StartEngine(ScannerEngine& engine);

// --- Steps of ProgramScan ----------------------------------------------

StatusCode SetSensorMode(ScannerEngine& engine, uint16_t xDpi, uint8_t source);

struct ScanWindow {
    uint32_t shadingIndex = 0;  // shading table position of the window's first pixel
    uint32_t padPixels = 0;     // output pixels added to make a multiple of 16
};

// Film windows (source 12) that begin left of the film offset are clamped
// to start at the offset rather than wrapping around.
StatusCode SetScanWindow(ScannerEngine& engine, uint16_t xDpi, uint8_t source, uint32_t xStart,
                         uint32_t width, ScanWindow& window);

StatusCode SetExposure(ScannerEngine& engine, uint8_t channels, const ChannelExposure& exposure,
                       uint8_t source, uint8_t busSpeed, uint8_t depth, uint16_t dpi);

StatusCode SetReadoutRegisters(ScannerEngine& engine, uint8_t source);

StatusCode UploadGammaTables(ScannerEngine& engine, uint32_t gammaOn);

StatusCode UploadShadingForChannels(ScannerEngine& engine, uint8_t channels, uint32_t shadingIndex);

}  // namespace zrt
