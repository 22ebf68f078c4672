// Positioning the film with the film adapter's own motor before a film scan.
#pragma once

#include <cstdint>

#include "engine/api/scanner_engine.h"
#include "engine/api/status_codes.h"

namespace zrt {

// The target position t (motor steps) and the first move m of a window
// that starts at originY (1/4800 inch); `home` when homing alone reaches it.
struct FilmTarget {
    int32_t k = 0;        // whole film motor steps from the film area's top
    int32_t target = 0;
    int32_t firstMove = 0;
    bool forward = false;
    bool homeOnly = false;
};

FilmTarget ComputeFilmTarget(uint32_t originY);

StatusCode PositionFilm(ScannerEngine& engine);

}  // namespace zrt
