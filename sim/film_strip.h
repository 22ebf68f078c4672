// The built-in 35 mm strip in the film adapter: six 24 x 36 mm frames at
// 38 mm pitch, a few dust specks that show in the infrared channel. All
// coordinates are in 1/4800 inch on the glass: x from the document x origin,
// y from the glass origin (the first line of a scan with YOrigin 0).
#pragma once

#include <cstdint>
#include <vector>

#include "sim/sim_options.h"

namespace zrt::sim {

struct Rect4800 {
    double left = 0, top = 0, right = 0, bottom = 0;   // right and bottom exclusive
    bool contains(double x, double y) const { return x >= left && x < right && y >= top && y < bottom; }
};

struct DustSpeck {
    double x = 0, y = 0, radius = 0;
};

struct FilmStripGeometry {
    bool present = false;
    bool negative = true;
    Rect4800 strip;                    // the whole strip, sprocket margins included
    std::vector<Rect4800> frames;      // six exposed frames, in order along y
    std::vector<DustSpeck> dust;       // opaque specks, visible in every channel
    double filmAreaLeft = 9968;        // left edge of the adapter's film area (x)
};

constexpr double kMm = 4800.0 / 25.4;                   // 1/4800 inch per mm
constexpr double kFilmAreaTop = 9222;                   // y where film windows begin
constexpr double kFilmAreaWidth = 6400;
constexpr double kStripTop = 14000;                     // leaves the calibration window clear
constexpr double kFrameLeader = 150;

FilmStripGeometry BuiltInFilmStrip(const SimOptions& options);

// Light let through at (x, y) for channel 0-3 (red, green, blue, infrared),
// 0..1; only meaningful inside `strip`.
double StripTransmission(const FilmStripGeometry& strip, double x, double y, int channel);

}  // namespace zrt::sim
