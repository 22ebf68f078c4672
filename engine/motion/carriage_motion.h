// Carriage and film adapter motion: waits for the end of a move, single
// moves, homing, the high-resolution drive, and short strip scans that
// capture a few lines into host memory. Callers hold the busy lock.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/api/status_codes.h"
#include "engine/motion/channel_exposure.h"

namespace zrt {

struct ScannerEngine;

// Full carriage travel in motor steps (1/1200 inch).
inline constexpr int32_t kFullTravelSteps = 14032;

// Polls register 0x46 (mode 1: bit 1 only; else bits 0, 1, 6) every 100 ms,
// at most 600 times, then disarms the engine.
StatusCode WaitMotionEnd(ScannerEngine& engine, uint8_t mode);

// Polls register 0x46 bit 0 every 100 ms, at most 600 times.
StatusCode WaitControllerIdle(ScannerEngine& engine);

// Programs and starts one move; it runs on in the controller. motionDpi is
// a resolution or one of the speed codes 350, 650, 550, 560.
StatusCode MoveCarriage(ScannerEngine& engine, int32_t steps, uint16_t motionDpi, uint8_t reverse,
                        int32_t ctl10Bit3, uint8_t homeStop, uint8_t ctl11Bit1, int32_t ctl10Bit4);

// Drives the carriage to its home sensor; with verify 0 it returns while
// the run is still going.
StatusCode ReturnHome(ScannerEngine& engine, int32_t verify, uint8_t fast);

// Moves the film adapter motor by `steps` (direction 1 or 2), or homes it
// when steps is 0.
StatusCode MoveFilmAdapter(ScannerEngine& engine, int32_t steps, int32_t direction);

// Homes and checks the home sensor with two test moves; the carriage ends
// 1000 steps from home.
StatusCode HomeAndVerify(ScannerEngine& engine);

// Fast pre-positioning before a page scan; on a feed, `distance` becomes the
// 4 steps left for the job itself.
StatusCode FeedToScanStart(ScannerEngine& engine, uint32_t& distance);

StatusCode SetHighResolutionDrive(ScannerEngine& engine, uint8_t engage);

// Captures `lines` lines into `out` (set once all data are read): each line
// holds `channels` planes of data bytes / channels bytes, 16-bit samples
// little-endian. Never reads more than the strip holds.
StatusCode ScanToMemory(ScannerEngine& engine, std::vector<uint8_t>& out, uint8_t busSpeed,
                        uint16_t dpi, uint8_t depth, int32_t lines, int32_t xStart, int32_t width,
                        uint8_t source, uint8_t channels, const ChannelExposure& exposure,
                        int32_t shadingOn, uint8_t ctl10Bit4, int32_t homeAfter, uint8_t scanKind);

// Measures the scan origin (1/1200 inch from home) from a light-to-dark edge
// near the home position. `out` is 0 unless the edge was found.
StatusCode FindOrigin(ScannerEngine& engine, int16_t& out);

// Checks that the film lamp lights the film area (0xB601 when too dark).
StatusCode CheckFilmLamp(ScannerEngine& engine);

}  // namespace zrt
