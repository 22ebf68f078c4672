// The sensor mode and the horizontal window of a job.
#include <algorithm>
#include <array>

#include "engine/api/scanner_engine.h"
#include "engine/motion/resolution_index.h"
#include "engine/motion/scan_programming.h"
#include "platform/clock.h"
#include "platform/shared_state.h"

namespace zrt {
namespace {

// Per resolution index 0-6 (75 ... 4800 dpi); index 5 differs for film.
struct SensorGeometry {
    uint8_t modePulses;
    uint8_t pixelReduction;  // register 0xB0 bits 3..0
    uint32_t resolution;     // sensor pixels per inch
    uint32_t windowStart;    // first sensor pixel of the window
};
constexpr std::array<SensorGeometry, 7> kDocumentGeometry{{
    {1, 3, 600, 388}, {1, 2, 600, 388}, {1, 1, 600, 388}, {1, 0, 600, 388},
    {2, 0, 1200, 389}, {4, 1, 4800, 556}, {4, 0, 4800, 556},
}};
constexpr SensorGeometry kFilmGeometry2400{3, 0, 2400, 556};

// Film sits this far (1/4800 inch) right of the document origin, by the
// film adapter's scan position.
constexpr uint32_t kFilmOffsetPosition2 = 4809;
constexpr uint32_t kFilmOffsetOther = 9968;

SensorGeometry GeometryFor(uint16_t dpi, uint8_t source) {
    // 9600 dpi and beyond run on the 4800 dpi sensor set-up.
    const unsigned index = std::min(ResolutionIndex(dpi), 6u);
    if (index == 5 && source != 1) {
        return kFilmGeometry2400;
    }
    return kDocumentGeometry[index];
}

bool FilmAdapterAtPosition2() {
    return platform::SharedState().FAUScanPosition == 2;
}

}  // namespace

StatusCode SetSensorMode(ScannerEngine& engine, uint16_t xDpi, uint8_t source) {
    if (xDpi == 0) {
        return status::Ok;
    }
    const SensorGeometry geometry = GeometryFor(xDpi, source);
    unsigned pulses = geometry.modePulses;
    if ((source & 0x0C) != 0) {
        pulses += FilmAdapterAtPosition2() ? 4 : 8;
    }
    Controller& device = engine.device;
    // The pulse train is clocked blind: the sensor has no way to report it.
    device.SetControlLine(9, 0);
    for (unsigned n = 0; n < pulses; ++n) {
        device.SetControlLine(14, 1);
        platform::SleepMs(1);
        device.SetControlLine(14, 0);
        platform::SleepMs(1);
    }
    device.SetControlLine(9, 1);
    if (!device.SetRegisterField(0xB0, 3, 0, geometry.pixelReduction)) {
        return status::RegB0Failed;
    }
    return status::Ok;
}

StatusCode SetScanWindow(ScannerEngine& engine, uint16_t xDpi, uint8_t source, uint32_t xStart,
                         uint32_t width, ScanWindow& window) {
    const uint16_t dpi = xDpi == 0 ? 600 : xDpi;
    const SensorGeometry geometry = GeometryFor(dpi, source);
    const uint32_t step = 4800 / geometry.resolution;
    const uint32_t reduction = std::max<uint32_t>(1, geometry.resolution / dpi);

    // Document windows skip the 2 mm of the sensor before the glass.
    const uint32_t margin = (source & 0x01) ? static_cast<uint32_t>(2.0 * geometry.resolution / 25.4) : 0;
    window.shadingIndex = geometry.windowStart + margin;

    uint32_t x = xStart;
    if (source == 12) {
        // A window left of the film area is clamped to its edge instead of
        // wrapping around to the far end of the sensor.
        const uint32_t offset = FilmAdapterAtPosition2() ? kFilmOffsetPosition2 : kFilmOffsetOther;
        x = xStart > offset ? xStart - offset : 0;
    }
    const uint32_t start = x / step + window.shadingIndex;

    uint32_t w = width / step;
    w -= w % reduction;
    const uint32_t outputPixels = w / reduction;
    window.padPixels = (16 - outputPixels % 16) % 16;
    const uint32_t end = start + w + window.padPixels * reduction - 1;

    Controller& device = engine.device;
    const bool written = device.SetRegisterField(0x07, 3, 2, (end >> 16) & 0x03) &&
                         device.SetRegisterField(0x07, 1, 0, (start >> 16) & 0x03) &&
                         device.WriteRegisterPair(0x08, start & 0xFFFF) &&
                         device.WriteRegisterPair(0x0A, end & 0xFFFF);
    return written ? status::Ok : status::WindowRegistersFailed;
}

}  // namespace zrt
