#include "engine/motion/carriage_motion.h"

#include "engine/api/scanner_engine.h"
#include "engine/motion/scan_programming.h"
#include "platform/clock.h"

namespace zrt {
namespace {

constexpr unsigned kMotionPolls = 600;
constexpr uint32_t kMotionPollMs = 100;

// How a motion dpi becomes the job's resolutions and scan kind: four speed
// codes, everything else is a resolution used for both axes.
struct MotionSpeed {
    uint16_t xDpi;
    uint16_t yDpi;
    uint8_t kind;
};

MotionSpeed SpeedFor(uint16_t motionDpi) {
    switch (motionDpi) {
    case 350: return {300, 300, 8};
    case 650: return {600, 600, 8};
    case 550: return {600, 150, 8};
    case 560: return {600, 75, 7};
    default: return {motionDpi, motionDpi, 0};
    }
}

}  // namespace

StatusCode WaitMotionEnd(ScannerEngine& engine, uint8_t mode) {
    Controller& device = engine.device;
    bool busy = true;
    for (unsigned poll = 0; poll < kMotionPolls && busy; ++poll) {
        if (StatusCode s = device.ReadMotionBusy(busy, mode == 1 ? 1 : 0)) return s;
        if (busy) platform::SleepMs(kMotionPollMs);
    }
    if (busy) return status::MotionTimeout;
    // Disarm the engine so the next job starts from a clean state.
    if (!device.SetRegisterField(0x80, 1, 1, 1)) return status::MotionEndSet80Failed;
    if (!device.SetRegisterField(0x11, 4, 4, 0)) return status::MotionEndClear11Failed;
    return status::Ok;
}

StatusCode WaitControllerIdle(ScannerEngine& engine) {
    for (unsigned poll = 0; poll < kMotionPolls; ++poll) {
        bool busy = true;
        if (StatusCode s = engine.device.ReadControllerBusy(busy)) return s;
        if (!busy) return status::Ok;
        platform::SleepMs(kMotionPollMs);
    }
    return status::ControllerIdleTimeout;
}

StatusCode MoveCarriage(ScannerEngine& engine, int32_t steps, uint16_t motionDpi, uint8_t reverse,
                        int32_t ctl10Bit3, uint8_t homeStop, uint8_t ctl11Bit1, int32_t ctl10Bit4) {
    if (StatusCode s = WaitMotionEnd(engine, 0)) return s;
    // Direction is a flag of its own; a negative count would reach the
    // 24-bit travel register as a move across the whole bed.
    if (steps <= 0) return status::Ok;

    const MotionSpeed speed = SpeedFor(motionDpi);
    const ChannelExposure dark;
    ScanSetup setup;
    setup.xDpi = speed.xDpi;
    setup.yDpi = speed.yDpi;
    setup.depth = 24;
    setup.source = 1;
    setup.feedSteps = steps;
    setup.xStart = 0;
    setup.width = 256;
    setup.lines = 2;
    setup.channels = 3;
    setup.busSpeed = 2;
    setup.exposure = &dark;
    setup.ctl10Bit4 = static_cast<uint32_t>(ctl10Bit4);
    setup.ctl10Bit3 = static_cast<uint32_t>(ctl10Bit3);
    setup.reverse = reverse;
    setup.homeStop = homeStop;
    setup.ctl11Bit1 = ctl11Bit1;
    // A partly programmed move is still started: the start reports for both.
    ProgramScan(engine, setup, speed.kind);
    return StartEngine(engine);
}

StatusCode ReturnHome(ScannerEngine& engine, int32_t verify, uint8_t fast) {
    Controller& device = engine.device;
    if (StatusCode s = WaitMotionEnd(engine, 0)) return s;

    bool driveSensor = false;
    if (device.ReadControlLine(4, driveSensor) && driveSensor) {
        // The high-resolution drive holds the carriage; release it first.
        if (StatusCode s = WaitMotionEnd(engine, 0)) return s;
        device.SetControlLine(13, 1);
        if (StatusCode s = MoveCarriage(engine, 210, 1200, 0, 1, 0, 1, 0)) return s;
        if (StatusCode s = WaitMotionEnd(engine, 0)) return s;
        device.SetControlLine(13, 0);
        if (StatusCode s = MoveCarriage(engine, 100, 600, 0, 1, 0, 1, 0)) return s;
        if (StatusCode s = WaitMotionEnd(engine, 0)) return s;
    }

    bool atHome = false;
    if (!device.ReadHomeSensor(atHome)) return status::HomeSensorBeforeMoveFailed;
    if (atHome) return status::Ok;

    if (StatusCode s = MoveCarriage(engine, kFullTravelSteps, fast ? 300 : 75, 1, 0, 1, 0, 0)) return s;
    if (verify == 0) return status::Ok;
    if (StatusCode s = WaitMotionEnd(engine, 0)) return s;
    if (!device.ReadHomeSensor(atHome)) return status::HomeSensorAfterMoveFailed;
    return atHome ? status::Ok : status::NotAtHomeAfterMove;
}

StatusCode HomeAndVerify(ScannerEngine& engine) {
    Controller& device = engine.device;
    if (!device.SetControlLine(6, 0)) return status::ResetControllerFailed;
    if (StatusCode s = ReturnHome(engine, 1, 0)) return s;

    bool atHome = false;
    if (StatusCode s = MoveCarriage(engine, 2, 0, 0, 0, 0, 1, 1)) return s;
    if (!device.ReadHomeSensor(atHome)) return status::HomeVerifyFirstReadFailed;
    if (!atHome) return status::HomeSensorWrongState;

    if (StatusCode s = MoveCarriage(engine, 1000, 350, 0, 0, 0, 1, 0)) return s;
    if (StatusCode s = WaitMotionEnd(engine, 0)) return s;
    if (!device.ReadHomeSensor(atHome)) return status::HomeVerifySecondReadFailed;
    if (atHome) return status::HomeSensorWrongState;

    if ((engine.config.Source & 0x04) != 0) {
        uint8_t motor = 0;
        if (device.ReadControllerRegister(0xC7, motor) && (motor & 0x01) == 0) {
            MoveFilmAdapter(engine, 0, 2);  // a film motor off its home is parked; best effort
        }
    }
    return status::Ok;
}

}  // namespace zrt
