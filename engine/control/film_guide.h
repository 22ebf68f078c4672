// The light source selection and the film guide check of the film adapter.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/api/status_codes.h"

namespace zrt {

struct ScannerEngine;

// The selection value that asks for the film guide check instead of
// naming a light source.
inline constexpr uint8_t kFilmGuideCheck = 255;

// Records `lamp` (4 is kept as 12) in `selection` before any check, then
// checks that the controller is idle and, for film sources, that the film
// adapter is connected. With kFilmGuideCheck the result is that of
// CheckFilmGuide (0xA700 when the pattern was found).
StatusCode SetLamp(ScannerEngine& engine, uint8_t& selection, uint8_t lamp);

// A short strip scan of the film guide; 0xA700 when its pattern was found,
// 0xA600 when not, or the status of a failed step.
StatusCode CheckFilmGuide(ScannerEngine& engine);

// How many of the four patch comparisons hold on the 180-line strip of the
// check (660 bytes a line, three 220-byte planes).
unsigned CountFilmGuideComparisons(const std::vector<uint8_t>& strip);

}  // namespace zrt
