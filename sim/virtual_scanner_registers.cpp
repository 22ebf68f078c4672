// What the controller's registers mean to the model: status and sensor
// inputs that reads compute, commands and control lines that writes act on.
#include "sim/virtual_scanner.h"

namespace zrt::sim {
namespace {

constexpr uint8_t kStatusBusy = 0x01;        // register 0x46
constexpr uint8_t kStatusScanning = 0x02;
constexpr uint8_t kStatusHome = 0x08;
constexpr uint8_t kStatusMotor = 0x40;
constexpr uint64_t kIndirectBusyNs = 200'000;

// Sensor resolution of the mode chosen by the number of line 14 pulses;
// film modes add 4 (film area at 4809) or 8 (at 9968) pulses.
int ModeResolution(int basePulses) {
    switch (basePulses) {
    case 1: return 600;
    case 2: return 1200;
    case 3: return 2400;
    default: return 4800;
    }
}

}  // namespace

uint8_t VirtualScanner::readRegister(uint8_t reg) const {
    uint8_t pinned = 0;
    if (faults_.pinned(reg, pinned)) return pinned;
    uint8_t written = registers_.get(reg);
    switch (reg) {
    case 0x03: return 0;
    case 0x46: {
        uint8_t v = carriage_.atHome() ? kStatusHome : 0;
        if (job_.active()) v |= kStatusBusy | kStatusScanning;
        if (job_.motorRunning()) v |= kStatusMotor;
        if (faults_.options().busy) v |= kStatusBusy | kStatusScanning | kStatusMotor;
        return v;
    }
    case 0x4A: return uint8_t(job_.rowsLeft() >> 16);
    case 0x4B: return uint8_t(job_.rowsLeft() >> 8);
    case 0x4C: return uint8_t(job_.rowsLeft());
    case 0x8B: return nowNs_ < indirectBusyUntilNs_ ? 0x01 : 0x00;
    case 0x90: return uint8_t((written & ~0x08) | (scene_.adapterPresent() ? 0 : 0x08));
    case 0x91: return uint8_t((written & 0xE0) | buttons_ | (carriage_.highResEngaged() ? 0x10 : 0));
    case 0xA4: return uint8_t((written & 0xFE) | (job_.captureComplete() ? 1 : 0));
    case 0xA5: return uint8_t((memory_.imageBytes() / 2) >> 16);
    case 0xA6: return uint8_t((memory_.imageBytes() / 2) >> 8);
    case 0xA7: return uint8_t(memory_.imageBytes() / 2);
    case 0xC7: {
        bool home = scene_.adapterPresent() && filmMotor_.atHome();
        return uint8_t((written & 0xFE) | (home ? 1 : 0));
    }
    case 0xC8: return uint8_t(filmMotor_.counter() >> 8);
    case 0xC9: return uint8_t(filmMotor_.counter());
    case 0xD0: return options_.usb == 2 ? 0x01 : 0x00;
    default: return written;
    }
}

void VirtualScanner::writeRegister(uint8_t reg, uint8_t value) {
    uint8_t before = registers_.get(reg);
    registers_.set(reg, value);
    if (reg >= 0x71 && reg <= 0x76) accessOffset_ = 0;
    switch (reg) {
    case 0x02:
        if (value & 1) resetController();
        break;
    case 0x03:
        if (value == 1) startJob();
        if (value == 4) job_.stop();
        break;
    case 0x88:
        indirectBusyUntilNs_ = nowNs_ + kIndirectBusyNs;
        break;
    case 0x90:
    case 0x9B:
        trackSensorMode(reg, before);
        break;
    case 0xC0:
        if (!(value & 1)) filmMotor_.stop();
        break;
    case 0xC2:
        writeFilmMotorControl();
        break;
    default:
        break;
    }
}

void VirtualScanner::resetController() {
    job_.stop();
    memory_.clearImage();
    memory_.resetGammaToIdentity();
    filmMotor_.stop();
    registers_.reset();
    pending_.clear();
    accessOffset_ = 0;
    modePulses_ = 0;
    sensorResolution_ = 600;
    sensorShift_ = 0;
}

// Control line 9 (0x90 bit 4) low opens a pulse train on line 14 (0x9B bit
// 1); line 9 rising selects the sensor mode by the number of pulses.
void VirtualScanner::trackSensorMode(uint8_t reg, uint8_t before) {
    uint8_t now = registers_.get(reg);
    if (reg == 0x9B) {
        bool line9Low = !registers_.bit(0x90, 4);
        if (line9Low && !(before & 0x02) && (now & 0x02)) ++modePulses_;
        return;
    }
    bool fell = (before & 0x10) && !(now & 0x10);
    bool rose = !(before & 0x10) && (now & 0x10);
    if (fell) modePulses_ = 0;
    if (!rose || modePulses_ == 0) return;
    int base = modePulses_;
    sensorShift_ = 0;
    if (modePulses_ >= 9) {
        base -= 8;
        sensorShift_ = 9968 + kLeadInElements;
    } else if (modePulses_ >= 5) {
        base -= 4;
        sensorShift_ = 4809 + kLeadInElements;
    }
    sensorResolution_ = ModeResolution(base);
    modePulses_ = 0;
}

// Register 0xC2 bits 2-0: 1 forward, 2 backward start the motor when it is
// enabled (0xC0 bit 0); a homing run when 0xC0 bit 1 is set, else a counted
// move of registers 0xC4-0xC5. Any other value stops it.
void VirtualScanner::writeFilmMotorControl() {
    uint8_t direction = registers_.get(0xC2) & 0x07;
    bool enabled = registers_.bit(0xC0, 0);
    if ((direction != 1 && direction != 2) || !enabled || !scene_.adapterPresent()) {
        filmMotor_.stop();
        return;
    }
    if (registers_.bit(0xC0, 1)) {
        filmMotor_.startHoming();
        return;
    }
    filmMotor_.startMove(uint16_t(registers_.pair(0xC4)), direction == 1);
}

}  // namespace zrt::sim
