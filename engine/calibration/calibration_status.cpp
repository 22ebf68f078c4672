#include "engine/calibration/calibration_status.h"

#include "engine/api/scanner_engine.h"
#include "engine/calibration/cache_file.h"
#include "engine/calibration/cache_names.h"
#include "engine/pipeline/scan_parameters.h"

namespace zrt {
namespace {

constexpr uint16_t kRenewAfterUses = 1000;

void WriteCount(CacheFile& counter, uint16_t count) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8)};
    if (counter.Seek(0)) counter.Write(bytes, 1, 2);
}

}  // namespace

StatusCode CheckCalibrationStatus(ScannerEngine& engine, uint16_t xResolution, uint8_t filmScan,
                                  uint8_t source, uint8_t& out) {
    uint32_t r = RoundUpToMultiple(xResolution, 600);
    if (filmScan == 0 && r == 2400) r = 4800;
    const auto calibration = static_cast<uint16_t>(r);

    out = 0;
    CacheFile reference;
    CacheFile counter;
    const bool opened = reference.Open(ShadingCacheFileName(calibration, source), "rb+") &&
                        counter.Open(UseCountFileName(source), "rb+");
    // A file that a scan start could not load is no calibration either.
    const long expected = static_cast<long>(LayoutFor(calibration, source).Bytes());
    uint8_t busSpeed = 0;
    uint8_t countBytes[2];
    if (!opened || r > 0xFFFF || reference.Length() < expected || reference.Read(&busSpeed, 1, 1) != 1 ||
        counter.Read(countBytes, 1, 2) != 2) {
        out = 2;
        return status::Ok;
    }

    uint16_t& count = engine.shading.CalibrationUseCount;
    count = static_cast<uint16_t>(countBytes[0] | (countBytes[1] << 8));
    if (busSpeed != engine.device.BusSpeed) {
        out = 2;
    } else if (engine.config.AGInUse != 0 && count >= kRenewAfterUses) {
        // An application that applies its own gains keeps the calibration
        // it calibrated them against.
        WriteCount(counter, --count);
    } else if (count >= kRenewAfterUses) {
        out = 1;
        count = 0;
        WriteCount(counter, count);
    }
    return status::Ok;
}

}  // namespace zrt
