#include "engine/control/power_up.h"

#include "engine/api/scanner_engine.h"
#include "engine/control/operation_lines.h"
#include "engine/control/status_chain.h"
#include "engine/motion/carriage_motion.h"
#include "platform/clock.h"
#include "platform/shared_state.h"

namespace zrt {
namespace {

// A scan origin that holds until the measurement replaces it.
constexpr uint16_t kProvisionalOrigin = 300;

StatusCode MeasureOrigin(ScannerEngine& engine) {
    int16_t origin = 0;
    const StatusCode result = FindOrigin(engine, origin);
    platform::SharedState().OriginOffset = result == status::Ok ? static_cast<uint16_t>(origin) : 0;
    return result;
}

// Line 13 is switched without checking: the moves that follow fail on
// their own if the controller stopped answering.
void SetLine13(ScannerEngine& engine, unsigned value) { (void)engine.device.SetControlLine(13, value); }

// Shakes the carriage loose when the first origin search found no edge, and
// searches again.
StatusCode RecoverOrigin(ScannerEngine& engine) {
    ZRT_RETURN_IF_FAILED(HomeAndVerify(engine));
    ZRT_RETURN_IF_FAILED(WaitMotionEnd(engine, 0));
    ZRT_RETURN_IF_FAILED(WaitMotionEnd(engine, 0));
    SetLine13(engine, 1);
    ZRT_RETURN_IF_FAILED(MoveCarriage(engine, 210, 1200, 0, 0, 0, 1, 0));
    ZRT_RETURN_IF_FAILED(WaitMotionEnd(engine, 0));
    SetLine13(engine, 0);
    ZRT_RETURN_IF_FAILED(MoveCarriage(engine, 100, 600, 0, 0, 0, 1, 0));
    ZRT_RETURN_IF_FAILED(WaitMotionEnd(engine, 0));
    SetLine13(engine, 1);
    ZRT_RETURN_IF_FAILED(MoveCarriage(engine, 210, 1200, 0, 1, 0, 1, 0));
    ZRT_RETURN_IF_FAILED(WaitMotionEnd(engine, 0));
    SetLine13(engine, 0);
    ZRT_RETURN_IF_FAILED(MoveCarriage(engine, 100, 600, 0, 1, 0, 1, 0));
    ZRT_RETURN_IF_FAILED(HomeAndVerify(engine));
    ZRT_RETURN_IF_FAILED(WaitMotionEnd(engine, 0));
    return MeasureOrigin(engine);
}

// Bit 0 of register 0xC7 is the film adapter motor's home sensor.
bool FilmMotorAtHome(ScannerEngine& engine, bool fallback) {
    uint8_t value = 0;
    if (!engine.device.ReadControllerRegister(0xC7, value)) return fallback;
    return (value & 0x01) != 0;
}

// Exercises the carriage in both directions and homes it.
StatusCode ExerciseCarriage(ScannerEngine& engine) {
    ZRT_RETURN_IF_FAILED(WaitMotionEnd(engine, 0));
    SetLine13(engine, 1);
    (void)engine.device.SetControlLine(6, 1);
    ZRT_RETURN_IF_FAILED(MoveCarriage(engine, 210, 1200, 0, 0, 0, 1, 0));
    ZRT_RETURN_IF_FAILED(WaitMotionEnd(engine, 0));
    SetLine13(engine, 1);
    ZRT_RETURN_IF_FAILED(MoveCarriage(engine, 210, 1200, 0, 1, 0, 0, 0));
    ZRT_RETURN_IF_FAILED(WaitMotionEnd(engine, 0));
    SetLine13(engine, 0);
    return HomeAndVerify(engine);
}

}  // namespace

StatusCode ParkFilmAdapter(ScannerEngine& engine) {
    // A failed first read counts as "not at home": the homing run is safe
    // either way.
    const bool atHomeBefore = FilmMotorAtHome(engine, false);
    if (!atHomeBefore) {
        platform::SleepMs(250);
        ZRT_RETURN_IF_FAILED(MoveFilmAdapter(engine, 0, 2));
        platform::SleepMs(1000);
    }
    ZRT_RETURN_IF_FAILED(MoveFilmAdapter(engine, 100, 1));
    platform::SleepMs(1000);
    if (!FilmMotorAtHome(engine, atHomeBefore)) {
        ZRT_RETURN_IF_FAILED(MoveFilmAdapter(engine, 0, 2));
        platform::SleepMs(500);
    }
    return status::Ok;
}

StatusCode PowerUp(ScannerEngine& engine) {
    Controller& c = engine.device;
    StatusCode lines = status::Ok;
    if (!RaiseOperationLines(c, lines)) return lines;

    platform::SharedState().OriginOffset = kProvisionalOrigin;
    ZRT_RETURN_IF_FAILED(ExerciseCarriage(engine));

    const StatusCode origin = MeasureOrigin(engine);
    // Any other failure of the measurement leaves the origin at 0 and the
    // power-up goes on; the next InitializeScanner then tries again.
    if (origin == status::OriginNotFound) ZRT_RETURN_IF_FAILED(RecoverOrigin(engine));

    ZRT_RETURN_IF_FAILED(WaitMotionEnd(engine, 0));
    bool adapter = false;
    ZRT_RETURN_IF_FAILED(c.DetectFilmAdapter(adapter));
    if (adapter) ZRT_RETURN_IF_FAILED(ParkFilmAdapter(engine));

    (void)LowerOperationLines(c, lines, LastLine::Ignored);
    return lines;
}

StatusCode InitializeScanner(ScannerEngine& engine, bool& ranPowerUp) {
    ranPowerUp = false;
    if (platform::SharedState().OriginOffset == 0) {
        ranPowerUp = true;
        const StatusCode result = PowerUp(engine);
        if (result != status::Ok) return result;
    }
    engine.OriginOffset = platform::SharedState().OriginOffset;
    return status::Ok;
}

}  // namespace zrt
