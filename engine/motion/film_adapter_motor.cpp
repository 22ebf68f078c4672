// The film adapter's own motor, driven through registers 0xC0-0xC9.
#include "engine/api/scanner_engine.h"
#include "engine/motion/carriage_motion.h"
#include "platform/clock.h"

namespace zrt {
namespace {

constexpr unsigned kHomePolls = 600;
// Bounds the loops that the motor itself ends (moving off the home sensor,
// waiting for the counter to settle), so a stuck sensor cannot hang the
// caller.
constexpr unsigned kSettleLimit = 600;

bool HomeSensorSet(Controller& device, bool& set) {
    uint8_t value = 0;
    if (!device.ReadControllerRegister(0xC7, value)) return false;
    set = (value & 0x01) != 0;
    return true;
}

// Moves off the home sensor in 2-step moves until it clears.
StatusCode StepOffHomeSensor(ScannerEngine& engine) {
    for (unsigned k = 0; k < kSettleLimit; ++k) {
        platform::SleepMs(250);
        if (StatusCode s = MoveFilmAdapter(engine, 2, 1)) return s;
        platform::SleepMs(100);
        bool atHome = false;
        if (!HomeSensorSet(engine.device, atHome)) return status::FilmMotorC7ReadFailed;
        if (!atHome) return status::Ok;
    }
    return status::FilmAdapterNotReady;
}

StatusCode ArmMotor(Controller& device, int32_t steps) {
    const bool homing = steps == 0;
    if (!device.SetRegisterField(0xC0, 0, 0, 1)) return status::FilmMotorC0Bit0Failed;
    if (!device.SetRegisterField(0xC2, 2, 0, 4)) return status::FilmMotorC2Failed;
    if (!device.SetRegisterField(0xC0, 1, 1, homing ? 1 : 0)) return status::FilmMotorC0Bit1Failed;
    if (!device.SetRegisterField(0xC0, 2, 2, 0)) return status::FilmMotorC0Bit2Failed;
    if (!device.WriteControllerRegister(0xC1, homing ? 0xE9 : 0xF0)) return status::FilmMotorC1Failed;
    if (!device.SetRegisterField(0xC3, 6, 6, homing ? 0 : 1)) return status::FilmMotorC3Bit6Failed;
    if (homing) return status::Ok;
    if (!device.WriteRegisterPair(0xC4, static_cast<uint32_t>(steps) & 0xFFFF)) return status::FilmMotorC4C5Failed;
    if (!device.SetRegisterField(0xC3, 5, 5, 1)) return status::FilmMotorC3Bit5SetFailed;
    if (!device.SetRegisterField(0xC3, 5, 5, 0)) return status::FilmMotorC3Bit5ClearFailed;
    if (!device.SetRegisterField(0xC7, 7, 7, 0)) return status::FilmMotorC7Bit7Failed;
    return status::Ok;
}

StatusCode RunMotor(Controller& device, int32_t direction) {
    if (!device.SetRegisterField(0xC3, 7, 7, 0)) return status::FilmMotorC3Bit7Failed;
    if (!device.SetRegisterField(0xC2, 2, 0, static_cast<uint32_t>(direction) & 0x07)) {
        return status::FilmMotorDirectionFailed;
    }
    return status::Ok;
}

// Waits until two consecutive counter readings agree, then checks that a
// real request moved the motor at all.
StatusCode AwaitCounter(Controller& device, int32_t steps) {
    uint16_t previous = 0;
    platform::SleepMs(200);
    if (!device.ReadRegisterPair(0xC8, previous)) return status::FilmMotorPositionReadFailed;
    for (unsigned k = 0; k < kSettleLimit; ++k) {
        platform::SleepMs(200);
        uint16_t reading = 0;
        if (!device.ReadRegisterPair(0xC8, reading)) return status::FilmMotorPositionReadFailed;
        const bool settled = reading == previous;
        previous = reading;
        if (settled) break;
    }
    const int32_t position = steps < 0 ? -int32_t{previous} : int32_t{previous};
    if ((position & 0xFFFF) == 0 && steps > 10 && steps < 65526) {
        if (!device.SetRegisterField(0xC0, 0, 0, 0)) return status::FilmMotorEndFailed;
        return status::FilmMotorDidNotMove;
    }
    return status::Ok;
}

StatusCode AwaitHome(ScannerEngine& engine, int32_t direction) {
    bool atHome = false;
    for (unsigned poll = 0; poll < kHomePolls && !atHome; ++poll) {
        platform::SleepMs(100);
        if (!HomeSensorSet(engine.device, atHome)) return status::FilmMotorHomeReadFailed;
    }
    if (!atHome) return status::FilmAdapterNotReady;
    return direction == 2 ? status::Ok : StepOffHomeSensor(engine);
}

}  // namespace

StatusCode MoveFilmAdapter(ScannerEngine& engine, int32_t steps, int32_t direction) {
    Controller& device = engine.device;
    bool present = false;
    if (StatusCode s = device.DetectFilmAdapter(present)) return s;
    if (!present) return status::FilmAdapterNotReady;

    if (steps == 0) {
        bool atHome = false;
        if (!HomeSensorSet(device, atHome)) return status::FilmMotorC7ReadFailed;
        if (atHome) return direction == 2 ? status::Ok : StepOffHomeSensor(engine);
    }
    if (StatusCode s = ArmMotor(device, steps)) return s;
    if (StatusCode s = RunMotor(device, direction)) return s;
    const StatusCode moved = steps != 0 ? AwaitCounter(device, steps) : AwaitHome(engine, direction);
    if (moved != status::Ok) return moved;
    if (!device.SetRegisterField(0xC0, 0, 0, 0)) return status::FilmMotorEndFailed;
    return status::Ok;
}

}  // namespace zrt
