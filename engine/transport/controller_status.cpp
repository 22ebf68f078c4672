// The status register and control-line predicates polled by the motion,
// lamp and scan operations.
#include "engine/transport/controller.h"

#include "platform/clock.h"

namespace zrt {
namespace {

constexpr uint8_t kStatusRegister = 0x46;
constexpr uint8_t kMotionActiveMask = 0x43;
constexpr uint8_t kScanStopActivityMask = 0x02;
constexpr uint8_t kControllerBusyBit = 0x01;
constexpr uint8_t kHomeSensorBit = 0x08;

constexpr uint8_t kFilmAdapterRegister = 0x90;  // control line 8
constexpr uint8_t kFilmAdapterBit = 0x08;

constexpr unsigned kImageTransferLine = 6;
// The home sensor needs this long to settle once the transfer line is low.
constexpr uint32_t kHomeSensorSettleMs = 20;

}  // namespace

StatusCode Controller::ReadMotionBusy(bool& busy, unsigned selector) {
    busy = false;
    uint8_t value = 0;
    if (!ReadControllerRegister(kStatusRegister, value)) return status::StatusRegisterReadFailed;
    const uint8_t mask = selector == 1 ? kScanStopActivityMask : kMotionActiveMask;
    busy = (value & mask) != 0;
    return status::Ok;
}

StatusCode Controller::ReadControllerBusy(bool& busy) {
    busy = false;
    uint8_t value = 0;
    if (!ReadControllerRegister(kStatusRegister, value)) return status::StatusRegisterReadFailed;
    busy = (value & kControllerBusyBit) != 0;
    return status::Ok;
}

bool Controller::ReadHomeSensor(bool& atHome) {
    atHome = false;
    if (!SetControlLine(kImageTransferLine, 0)) return false;
    platform::SleepMs(kHomeSensorSettleMs);
    uint8_t value = 0;
    if (ReadStableRegister(kStatusRegister, kHomeSensorBit, value) != StableReadResult::Ok) return false;
    atHome = (value & kHomeSensorBit) != 0;
    return true;
}

StatusCode Controller::DetectFilmAdapter(bool& present) {
    present = false;
    uint8_t value = 0;
    switch (ReadStableRegister(kFilmAdapterRegister, kFilmAdapterBit, value)) {
        case StableReadResult::FirstReadFailed: return status::FilmAdapterFirstReadFailed;
        case StableReadResult::LaterReadFailed: return status::FilmAdapterLaterReadFailed;
        case StableReadResult::NoAgreement: return status::FilmAdapterUnstable;
        case StableReadResult::Ok: break;
    }
    // The adapter pulls the line low while it is plugged in.
    present = (value & kFilmAdapterBit) == 0;
    return status::Ok;
}

}  // namespace zrt
