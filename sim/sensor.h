// The contact image sensor: 41216 elements at 4800 dpi (the 8.5-inch
// document width plus the 2 mm lead-in before the document x origin), each
// with a fixed, seeded gain and dark offset, read out in the controller's
// sensor modes (600, 1200, 2400 or 4800 dpi) and corrected by the shading
// tables in controller memory.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "sim/controller_memory.h"
#include "sim/scene.h"
#include "sim/sim_options.h"

namespace zrt::sim {

constexpr int kSensorElements = 41216;
constexpr int kLeadInElements = 377;          // 2 mm: element of document x = 0

// Light reaching a white target per clock unit of exposure, in 16-bit
// counts, for red, green, blue, infrared.
constexpr double kDocumentLamp[4] = {17.9, 24.4, 29.9, 2.0};
constexpr double kFilmLamp[4] = {13.5, 13.5, 13.5, 13.5};
constexpr double kDarkLevel = 2500;           // mean dark output, 16-bit counts
constexpr double kLeakingDarkLevel = 24000;
// A dead document lamp gives no light left of this x (1/4800 inch): the
// origin search and the calibration still work, the sensor test sees it.
constexpr double kDeadLampSegmentEnd = 8000;

// How the controller reads one plane row.
struct RowReadout {
    int channel = 0;              // 0-3
    double y = 0;                 // glass y of the row (1/4800 inch)
    bool filmLamp = false;
    double darkBelowX = -1e9;     // no light left of this x (dead lamp segment)
    double filmSteps = 0;         // film motor position (film lamp band)
    double exposure = 0;          // clock units the lamp is on
    int resolution = 600;         // sensor mode
    int modeShift = 0;            // elements skipped before the readout (film modes)
    uint32_t start = 0, end = 0;  // window in sensor pixels, end inclusive
    int reduction = 1;            // sensor pixels averaged into one sample
    bool shading = false;
    uint32_t shadingBase = 0;     // word address of this channel's shading table
    bool eightBit = false;
    int gammaTable = -1;          // -1: identity
};

class Sensor {
public:
    Sensor(const SimOptions& options, const Scene& scene);
    void setLeak(bool leak) { leak_ = leak; }

    // Appends one plane row (samples of 1 or 2 bytes) to `out`.
    void readRow(const RowReadout& r, const ControllerMemory& memory, std::vector<uint8_t>& out);

    // Sensor-pixel window start of a mode, the pixel of element 0.
    static int windowStart(int resolution);

private:
    struct ModeTable {
        std::vector<float> gain, dark, x;   // per sensor pixel
    };
    const ModeTable& mode(int resolution, int shift);
    double noise(double signal);

    const Scene& scene_;
    std::vector<float> gain_, dark_;
    std::map<std::pair<int, int>, ModeTable> modes_;
    uint64_t rng_;
    double noiseScale_;
    bool leak_;
};

}  // namespace zrt::sim
