#include "engine/calibration/exposure_search.h"

#include <algorithm>
#include <vector>

#include "engine/api/scanner_engine.h"
#include "engine/calibration/cache_names.h"
#include "engine/calibration/calibration_geometry.h"
#include "engine/motion/carriage_motion.h"
#include "engine/motion/line_period.h"
#include "platform/shared_state.h"

namespace zrt {
namespace {

constexpr unsigned kMaxIterations = 21;
constexpr uint8_t kTolerance = 10;
constexpr uint8_t kSearchKind = 9;

// Per channel: red, green, blue, infrared.
constexpr std::array<uint8_t, 4> kTargetLevel{210, 210, 210, 150};
constexpr std::array<uint16_t, 4> kDocumentLowerBound{1400, 800, 550, 0};
constexpr std::array<uint16_t, 4> kFilmLowerBound{400, 200, 170, 550};
// Lowest last level that still passes when the search did not settle.
constexpr std::array<uint8_t, 4> kAcceptAbove{100, 100, 100, 75};

// The document line period at full speed is fixed for the low resolutions.
constexpr uint32_t kFullSpeedDocumentPeriod = 7840;

uint16_t Clamp16(uint32_t value) { return static_cast<uint16_t>(std::min<uint32_t>(value, 0xFFFF)); }

uint16_t Halve(uint16_t a, uint16_t b) { return static_cast<uint16_t>((uint32_t(a) + b) / 2); }

// The brightest sample of each channel's plane in the second line, as an
// 8-bit level.
std::array<uint8_t, 4> MeasureLevels(const std::vector<uint8_t>& strip, uint32_t lineBytes, uint8_t channels) {
    std::array<uint8_t, 4> levels{};
    const uint32_t planeBytes = lineBytes / channels;
    for (uint8_t ch = 0; ch < channels; ++ch) {
        const size_t start = size_t(lineBytes) + size_t(ch) * planeBytes;
        uint16_t brightest = 0;
        for (uint32_t b = 0; b + 1 < planeBytes && start + b + 1 < strip.size(); b += 2)
            brightest = std::max<uint16_t>(brightest, uint16_t(strip[start + b] | (strip[start + b + 1] << 8)));
        levels[ch] = static_cast<uint8_t>(brightest >> 8);
    }
    return levels;
}

}  // namespace

StatusCode SetDarkExposure(ChannelExposure& exposure) {
    exposure.level = {255, 255, 255, 255};
    exposure.exposure = {1, 1, 1, 1};
    return status::Ok;
}

void StepExposure(ExposureBounds& bounds, uint8_t level, uint8_t target, unsigned iteration) {
    if (level < target - kTolerance) {
        if (bounds.upper > bounds.current) {
            bounds.lower = bounds.current;
        } else if (iteration >= 2) {
            // An exposure above 16 bits cannot be programmed; the bound
            // stops growing there instead of wrapping round to a small value.
            bounds.upper = Clamp16(12u * bounds.current / 10);
        }
        bounds.current = Halve(bounds.current, bounds.upper);
        return;
    }
    if (level > target + kTolerance) {
        if (bounds.lower < bounds.current) {
            bounds.upper = bounds.current;
        } else {
            bounds.lower = static_cast<uint16_t>(8u * bounds.lower / 10);
        }
        bounds.current = Halve(bounds.lower, bounds.current);
        return;
    }
    bounds.accepted = true;
}

StatusCode SearchExposure(ScannerEngine& engine, ChannelExposure& exposure, uint16_t resolution,
                          uint8_t source, const ReferenceSet& darkSet) {
    const bool document = (source & 1) != 0;
    const uint32_t busSpeed = engine.device.BusSpeed;
    const CalibrationGeometry geometry = GeometryFor(source, platform::SharedState().FAUScanPosition);
    const uint8_t searched = geometry.channels;

    exposure.level = {255, 255, 255, 255};
    uint32_t T = LookupLinePeriod(engine, source, static_cast<uint8_t>(busSpeed), 48, resolution).period;
    if (document && busSpeed == 1 && resolution <= 600) T = kFullSpeedDocumentPeriod;
    const uint16_t start = T >= 0x20000 ? 58982 : static_cast<uint16_t>(T / 2);
    const uint16_t upper = T >= 0x10000 ? 58727 : static_cast<uint16_t>(T > 305 ? T - 305 : 0);
    const uint16_t unsearchedExposure = T >= 0x10000 ? 58727 : static_cast<uint16_t>(T > 255 ? T - 255 : 0);
    exposure.exposure = {start, start, start, start};

    std::array<ExposureBounds, 4> bounds;
    const auto& lower = document ? kDocumentLowerBound : kFilmLowerBound;
    for (uint8_t ch = 0; ch < searched; ++ch) bounds[ch] = {start, lower[ch], upper, false};

    // Gain 1.0 and the dark reference as offset: the search measures the
    // white strip dark-corrected.
    const uint32_t pixels = CalibrationPixels(resolution, source);
    ShadingTables& tables = engine.shading;
    if (pixels > kShadingEntries || !tables.CorrectionTablesPresent()) return status::OutOfMemory;
    for (uint8_t ch = 0; ch < searched; ++ch)
        if (darkSet.channel[ch] == nullptr) return status::OutOfMemory;
    tables.ShadingEntryCount = pixels;
    const uint16_t offsetBase = document ? 512 : 0;
    for (uint8_t ch = 0; ch < searched; ++ch) {
        for (uint32_t i = 0; i < pixels; ++i) {
            tables.ShadingGain[ch][i] = 0x4000;
            tables.ShadingOffset[ch][i] = static_cast<uint16_t>(offsetBase - darkSet.channel[ch][i]);
        }
    }

    std::array<uint8_t, 4> levels{};
    for (unsigned iteration = 1; iteration <= kMaxIterations; ++iteration) {
        std::vector<uint8_t> strip;
        const StatusCode st = ScanToMemory(engine, strip, static_cast<uint8_t>(busSpeed), resolution, 48, 2,
                                           geometry.xStart, geometry.width, source, geometry.channels,
                                           exposure, 1, 1, 0, kSearchKind);
        if (st != status::Ok) return st;
        levels = MeasureLevels(strip, engine.progress.RawLineBytes, geometry.channels);

        bool allAccepted = true;
        for (uint8_t ch = 0; ch < searched; ++ch) {
            if (!bounds[ch].accepted) StepExposure(bounds[ch], levels[ch], kTargetLevel[ch], iteration);
            exposure.exposure[ch] = bounds[ch].current;
            allAccepted = allAccepted && bounds[ch].accepted;
        }
        if (document) exposure.exposure[3] = unsearchedExposure;
        if (allAccepted) return status::Ok;
    }

    for (uint8_t ch = 0; ch < searched; ++ch)
        if (levels[ch] <= kAcceptAbove[ch])
            return document ? status::LevelThreeChannelsFailed : status::LevelFourChannelsFailed;
    return status::Ok;
}

}  // namespace zrt
