#include "engine/calibration/run_calibration.h"

#include <vector>

#include "engine/api/scanner_engine.h"
#include "engine/calibration/cache_names.h"
#include "engine/calibration/measure_reference.h"
#include "engine/calibration/shading_cache.h"
#include "engine/motion/carriage_motion.h"
#include "engine/pipeline/scan_parameters.h"

namespace zrt {
namespace {

constexpr uint8_t kDocumentSource = 1;
constexpr uint8_t kFilmSource = 12;
constexpr uint8_t kCalibrationDepth = 48;
constexpr int32_t kFilmWhiteStripSteps = 3156;
constexpr uint16_t kFilmSet[] = {600, 1200, 2400, 4800};
constexpr uint16_t kDocumentSet[] = {600, 1200, 4800};
// The dark passes of a 600 dpi document calibration, in sub-block order.
constexpr uint16_t kDocumentDarkPasses600[] = {600, 300, 150, 75};

// Resolutions beyond 16 bits saturate, so that they fail as uncalibratable
// instead of wrapping round to some small resolution.
uint16_t ToResolution(int64_t value) {
    if (value < 0) return 0xFFFF;
    return static_cast<uint16_t>(value > 0xFFFF ? 0xFFFF : value);
}

bool IsFilm(uint8_t source) { return (source & 0x0C) != 0; }

std::vector<uint16_t> ResolutionsOf(uint16_t resolution, uint8_t source) {
    if (IsFilm(source) && resolution == 0) return {std::begin(kFilmSet), std::end(kFilmSet)};
    return {resolution};
}

// Every pass of the calibration stays inside the shading tables.
bool Calibratable(const std::vector<uint16_t>& resolutions, uint8_t source) {
    for (uint16_t r : resolutions) {
        const ShadingFileLayout layout = LayoutFor(r, source);
        if (layout.P == 0 || layout.P > kShadingEntries || layout.Q > kShadingEntries) return false;
    }
    return true;
}

StatusCode CalibrateFilm(ScannerEngine& engine, const std::vector<uint16_t>& resolutions, uint8_t source,
                         const ReferenceSet& white, const ReferenceSet& dark) {
    uint8_t sensor = 0;
    if (engine.device.ReadControllerRegister(0xC7, sensor) && (sensor & 1) == 0)
        (void)MoveFilmAdapter(engine, 0, 2);
    if (StatusCode st = CheckFilmLamp(engine); st != status::Ok) return st;
    if (StatusCode st = HomeAndVerify(engine); st != status::Ok) return st;

    ChannelExposure exposure;
    for (size_t n = 0; n < resolutions.size(); ++n) {
        const uint16_t r = resolutions[n];
        if (StatusCode st = MeasureReference(engine, r, source, kCalibrationDepth, exposure, true, white, dark);
            st != status::Ok)
            return st;
        if (StatusCode st = MoveCarriage(engine, kFilmWhiteStripSteps, 75, 0, 0, 0, 0, 0); st != status::Ok)
            return st;
        if (StatusCode st = WaitMotionEnd(engine, 0); st != status::Ok) return st;
        if (StatusCode st = MeasureReference(engine, r, source, kCalibrationDepth, exposure, false, white, dark);
            st != status::Ok)
            return st;
        if (!SaveShadingCache(engine, r, source, exposure, white, dark)) return status::CalibrationComputeFailed;
        if (StatusCode st = ReturnHome(engine, 1, 0); st != status::Ok) return st;
        if (n + 1 == resolutions.size()) break;
        if (StatusCode st = HomeAndVerify(engine); st != status::Ok) return st;
    }
    return status::Ok;
}

// Measures where HomeAndVerify left the carriage; each pass moves it on by
// the lines it captures.
StatusCode CalibrateDocument(ScannerEngine& engine, uint16_t resolution, uint8_t source,
                             const ReferenceSet& white, const ReferenceSet& dark) {
    ChannelExposure exposure;
    std::vector<uint16_t> darkPasses{resolution};
    if (resolution == 600) darkPasses.assign(std::begin(kDocumentDarkPasses600), std::end(kDocumentDarkPasses600));
    for (uint16_t r : darkPasses)
        if (StatusCode st = MeasureReference(engine, r, source, kCalibrationDepth, exposure, true, white, dark);
            st != status::Ok)
            return st;
    if (StatusCode st = MeasureReference(engine, resolution, source, kCalibrationDepth, exposure, false, white, dark);
        st != status::Ok)
        return st;
    if (!SaveShadingCache(engine, resolution, source, exposure, white, dark)) return status::CalibrationComputeFailed;
    return ReturnHome(engine, 1, 1);
}

StatusCode Calibrate(ScannerEngine& engine, uint16_t resolution, uint8_t source) {
    const std::vector<uint16_t> resolutions = ResolutionsOf(resolution, source);
    ReferenceBuffers whiteBuffers;
    ReferenceBuffers darkBuffers;
    if (!whiteBuffers.Allocate() || !darkBuffers.Allocate()) return status::OutOfMemory;
    const ReferenceSet white = whiteBuffers.Set();
    const ReferenceSet dark = darkBuffers.Set();

    if (StatusCode st = HomeAndVerify(engine); st != status::Ok) return st;
    if (IsFilm(source)) return CalibrateFilm(engine, resolutions, source, white, dark);
    return CalibrateDocument(engine, resolution, source, white, dark);
}

}  // namespace

StatusCode RunCalibration(ScannerEngine& engine, uint16_t resolution, uint8_t source) {
    if (!Calibratable(ResolutionsOf(resolution, source), source)) return status::CalibrationComputeFailed;
    Controller& device = engine.device;
    // Nothing has been calibrated when the scanner cannot even be prepared;
    // that must not read as success.
    if (!device.SetControlLine(11, 1)) return status::Register60Failed;
    if (!device.SetRegisterField(0x60, 0, 0, 1)) return status::Register60Failed;
    if (!device.SetControlLine(15, 1)) return status::Register60Failed;

    if (StatusCode st = Calibrate(engine, resolution, source); st != status::Ok) return st;

    // The calibration is saved; a line that does not drop is no failure of it.
    if (!device.SetControlLine(15, 0)) return status::Ok;
    if (!device.SetRegisterField(0x60, 0, 0, 0)) return status::Register60Failed;
    (void)device.SetControlLine(11, 0);
    return status::Ok;
}

bool CalibrateForRequest(ScannerEngine& engine, int32_t type, int32_t mode, int32_t resolution,
                         uint16_t lastXResolution, StatusCode& result) {
    const uint8_t kind = static_cast<uint8_t>(mode);
    switch (kind) {
        case 0:
        case 1:
            result = RunCalibration(engine, ToResolution(resolution), type != 0 ? kFilmSource : kDocumentSource);
            return true;
        case 2:
            if (type == 0) {
                for (uint16_t r : kDocumentSet) {
                    result = RunCalibration(engine, r, kDocumentSource);
                    if (result != status::Ok) break;
                }
                return true;
            }
            if (type == 1 || type == 3) {
                result = RunCalibration(engine, 0, kFilmSource);
                return true;
            }
            return false;
        case 3: {
            uint32_t r = RoundUpToMultiple(lastXResolution, 600);
            if (type == 0) {
                if (r == 2400) r = 4800;
                result = RunCalibration(engine, ToResolution(r), kDocumentSource);
                return true;
            }
            if (type == 1 || type == 3) {
                result = RunCalibration(engine, ToResolution(r), kFilmSource);
                return true;
            }
            return false;
        }
        default:
            return false;
    }
}

}  // namespace zrt
