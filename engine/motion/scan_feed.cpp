// Pre-positioning before a page scan and the high-resolution drive.
#include "engine/api/scanner_engine.h"
#include "engine/motion/carriage_motion.h"
#include "engine/motion/scan_timing.h"
#include "platform/clock.h"

namespace zrt {
namespace {

bool FeedWanted(const ScannerEngine& engine, uint32_t distance) {
    const uint32_t bus = engine.device.BusSpeed;
    const uint16_t yDpi = engine.config.YRes;
    const uint8_t depth = engine.config.Depth;
    if (bus == 2 && yDpi == 300 && (depth == 8 || depth == 16)) return false;
    return (distance != 0 && bus == 2 && yDpi > 150) || (bus == 1 && yDpi > 75);
}

}  // namespace

StatusCode FeedToScanStart(ScannerEngine& engine, uint32_t& distance) {
    if (!FeedWanted(engine, distance)) return status::Ok;

    const bool shortFeed = distance < 1000;
    const uint16_t motionDpi = shortFeed ? 600 : 75;
    const int64_t reserve = shortFeed ? 0 : 60;
    const MotorTiming timing = LookupScanTiming(engine, 1, 2, 24, 3, motionDpi);
    const int64_t margin = engine.config.YRes >= 1200 ? 3 : 6;
    const int64_t feed = int64_t{distance} - margin - timing.ramp[2].len - timing.ramp[0].len - reserve;
    // A start closer than the ramps need is reached by the scan job itself.
    if (feed <= 0) return status::Ok;

    if (StatusCode s = MoveCarriage(engine, static_cast<int32_t>(feed), shortFeed ? 650 : 75, 0, 0, 0, 0, 0)) {
        return s;
    }
    distance = 4;
    return WaitMotionEnd(engine, 0);
}

namespace {

StatusCode MoveAndWait(ScannerEngine& engine, int32_t steps, uint16_t motionDpi, int32_t ctl10Bit3) {
    if (StatusCode s = MoveCarriage(engine, steps, motionDpi, 0, ctl10Bit3, 0, 1, 0)) return s;
    return WaitMotionEnd(engine, 0);
}

bool DriveSensorActive(ScannerEngine& engine) {
    bool active = false;
    return engine.device.ReadControlLine(4, active) && active;
}

// Walks the carriage forward in growing probe moves until the drive's
// sensor reports the mechanism caught.
StatusCode EngageDrive(ScannerEngine& engine) {
    int32_t distance = 100;
    for (unsigned probe = 0; probe <= 10; ++probe) {
        if (DriveSensorActive(engine)) {
            if (probe == 0) engine.highResDriveEngaged = 1;
            break;
        }
        if (probe == 10) break;
        const bool odd = (probe % 2) == 1;
        if (StatusCode s = MoveAndWait(engine, distance, 550, odd ? 1 : 0)) return s;
        if (odd) distance += 10;
    }
    if (StatusCode s = MoveAndWait(engine, 70, 560, 0)) return s;
    return WaitMotionEnd(engine, 0);
}

StatusCode ReleaseDrive(ScannerEngine& engine) {
    for (unsigned k = 0; k < 4; ++k) {
        if (StatusCode s = MoveAndWait(engine, 10, 600, 1)) return s;
        DriveSensorActive(engine);  // the reading is not used
    }
    engine.highResDriveEngaged = 0;
    return WaitMotionEnd(engine, 0);
}

}  // namespace

StatusCode SetHighResolutionDrive(ScannerEngine& engine, uint8_t engage) {
    if (StatusCode s = WaitMotionEnd(engine, 0)) return s;
    engine.device.SetControlLine(13, 1);
    platform::SleepMs(1000);
    if (StatusCode s = MoveAndWait(engine, 210, 1200, engage ? 0 : 1)) return s;
    engine.device.SetControlLine(13, 0);
    platform::SleepMs(500);
    return engage ? EngageDrive(engine) : ReleaseDrive(engine);
}

}  // namespace zrt
