#include "engine/control/film_guide.h"

#include "engine/api/scanner_engine.h"
#include "engine/control/operation_lines.h"
#include "engine/motion/carriage_motion.h"

namespace zrt {
namespace {

constexpr unsigned kStripLines = 180;
constexpr unsigned kPlaneBytes = 220;
constexpr unsigned kLineBytes = 3 * kPlaneBytes;
// The guide sits in the second half of the strip.
constexpr unsigned kFirstKeptLine = 90;
constexpr unsigned kBandLines = 35;
constexpr unsigned kBandA = 5;    // kept lines 5-39
constexpr unsigned kBandB = 50;   // kept lines 50-84
constexpr unsigned kPatchWidth = 45;
constexpr unsigned kLeftPatch = 5;
constexpr unsigned kRightPatch = 60;
constexpr unsigned kColumnOffsets[] = {0, 110};
constexpr int kMinContrast = 150;

// Average of one patch over a band's lines and all three planes.
int PatchAverage(const std::vector<uint8_t>& strip, unsigned firstKept, unsigned column) {
    uint32_t sum = 0;
    for (unsigned line = 0; line < kBandLines; ++line) {
        const size_t lineStart = static_cast<size_t>(kFirstKeptLine + firstKept + line) * kLineBytes;
        for (unsigned plane = 0; plane < 3; ++plane) {
            const size_t start = lineStart + plane * kPlaneBytes + column;
            for (unsigned i = 0; i < kPatchWidth; ++i) sum += strip[start + i];
        }
    }
    return static_cast<int>(sum / (kBandLines * 3 * kPatchWidth));
}

StatusCode RequireFilmAdapter(ScannerEngine& engine, StatusCode absent) {
    bool present = false;
    const StatusCode detect = engine.device.DetectFilmAdapter(present);
    if (detect != status::Ok) return detect;
    return present ? status::Ok : absent;
}

}  // namespace

unsigned CountFilmGuideComparisons(const std::vector<uint8_t>& strip) {
    if (strip.size() < static_cast<size_t>(kStripLines) * kLineBytes) return 0;
    unsigned held = 0;
    for (unsigned column : kColumnOffsets) {
        // Upper band: the right patch is the bright one; lower band: the left.
        const int upperLeft = PatchAverage(strip, kBandA, column + kLeftPatch);
        const int upperRight = PatchAverage(strip, kBandA, column + kRightPatch);
        const int lowerLeft = PatchAverage(strip, kBandB, column + kLeftPatch);
        const int lowerRight = PatchAverage(strip, kBandB, column + kRightPatch);
        if (upperRight - upperLeft > kMinContrast) ++held;
        if (lowerLeft - lowerRight > kMinContrast) ++held;
    }
    return held;
}

StatusCode CheckFilmGuide(ScannerEngine& engine) {
    Controller& c = engine.device;
    StatusCode lines = status::Ok;
    if (!RaiseOperationLines(c, lines)) return lines;

    const StatusCode home = HomeAndVerify(engine);
    if (home != status::Ok) return home;

    ChannelExposure exposure;
    exposure.exposure = {6000, 7000, 3700, 1};
    std::vector<uint8_t> strip;
    const StatusCode scan = ScanToMemory(engine, strip, 2, 150, 24, kStripLines, 8960, 7040, 1, 3, exposure,
                                         0, 0, 1, 0);
    if (scan != status::Ok) return scan;
    const unsigned held = CountFilmGuideComparisons(strip);
    std::vector<uint8_t>().swap(strip);

    if (!LowerOperationLines(c, lines, LastLine::Required)) return lines;
    return held == 4 ? status::FilmGuideFound : status::FilmGuideNotFound;
}

StatusCode SetLamp(ScannerEngine& engine, uint8_t& selection, uint8_t lamp) {
    // Recorded first: the selection stands even when a check below fails.
    selection = lamp == 4 ? 12 : lamp;

    bool busy = false;
    const StatusCode motion = engine.device.ReadMotionBusy(busy, 0);
    if (motion != status::Ok) return motion;
    if (busy) return status::DeviceActive;

    if (selection == kFilmGuideCheck) {
        const StatusCode adapter = RequireFilmAdapter(engine, status::NoFilmAdapterForGuideCheck);
        if (adapter != status::Ok) return adapter;
        return CheckFilmGuide(engine);
    }
    if (selection & 0x0C) return RequireFilmAdapter(engine, status::NoFilmAdapterForFilmSource);
    return status::Ok;
}

}  // namespace zrt
