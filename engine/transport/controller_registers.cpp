// Register frames with their retries, the register shadow, multi-byte
// registers, control lines and the stable read.
#include "engine/transport/controller.h"

#include <iterator>

#include "platform/clock.h"

namespace zrt {
namespace {

constexpr uint8_t kRegisterWrite = 0x00;
constexpr uint8_t kRegisterRead = 0x01;
constexpr uint8_t kHighRegisterWrite = 0x02;

constexpr int kRegisterAttempts = 5;
constexpr uint32_t kRetrySleepMs = 10;
constexpr int kStableRereads = 5;

struct ControlLineBit {
    uint8_t reg;
    uint8_t bit;
};

// Sixteen single control bits spread over three registers.
constexpr ControlLineBit kControlLines[16] = {
    {0x91, 0}, {0x91, 1}, {0x91, 2}, {0x91, 3}, {0x91, 4},
    {0x90, 0}, {0x90, 1}, {0x90, 2}, {0x90, 3}, {0x90, 4}, {0x90, 5}, {0x90, 6}, {0x90, 7},
    {0x9B, 0}, {0x9B, 1}, {0x9B, 2},
};

uint8_t Low8(uint32_t value) { return static_cast<uint8_t>(value & 0xFF); }

}  // namespace

bool Controller::readRegisterOnce(uint8_t reg, uint8_t& value) {
    const uint8_t request[4] = {kRegisterRead, reg, 0x01, 0x00};
    // The request and its answer are one exchange: no other thread's
    // transfer may land between them and take our answer.
    std::lock_guard<std::recursive_mutex> lock(exchangeLock_);
    if (!WritePipe(request, sizeof request)) return false;
    uint8_t answer = 0;
    size_t got = 0;
    if (!ReadPipe(&answer, 1, &got)) return false;
    // An empty answer carries no value; counting it as a success would hand
    // the caller whatever its variable held before.
    if (got != 1) return false;
    value = answer;
    return true;
}

bool Controller::ReadControllerRegister(uint32_t reg, uint8_t& value) {
    // Without a device there is nothing to retry.
    if (!IsOpen()) return false;
    for (int attempt = 0; attempt < kRegisterAttempts; ++attempt) {
        if (readRegisterOnce(Low8(reg), value)) return true;
        platform::SleepMs(kRetrySleepMs);
    }
    return false;
}

bool Controller::writeRegisterFrame(const uint8_t (&frame)[5]) {
    if (!IsOpen()) return false;
    for (int attempt = 0; attempt < kRegisterAttempts; ++attempt) {
        if (WritePipe(frame, sizeof frame)) return true;
        platform::SleepMs(kRetrySleepMs);
    }
    return false;
}

bool Controller::WriteControllerRegister(uint32_t reg, uint32_t value) {
    const uint8_t frame[5] = {kRegisterWrite, Low8(reg), 0x01, 0x00, Low8(value)};
    // Held across the retries so that the shadow always ends up holding the
    // value of the write that reached the device last.
    std::lock_guard<std::recursive_mutex> lock(exchangeLock_);
    if (!writeRegisterFrame(frame)) return false;
    RegisterShadow[Low8(reg)] = Low8(value);
    return true;
}

bool Controller::WriteHighRegister(uint32_t reg, uint32_t value) {
    const uint8_t frame[5] = {kHighRegisterWrite, Low8(reg), 0x01, 0x00, Low8(value)};
    return writeRegisterFrame(frame);
}

bool Controller::SetRegisterField(uint32_t reg, unsigned hi, unsigned lo, uint32_t value) {
    if (hi > 7 || lo > hi) return false;
    const uint8_t mask = Low8(((1u << (hi - lo + 1)) - 1u) << lo);
    // The shadow update and the write form one unit: a field write of the
    // same register on another thread must see our bits and keep them.
    std::lock_guard<std::recursive_mutex> lock(exchangeLock_);
    uint8_t& shadow = RegisterShadow[Low8(reg)];
    shadow = static_cast<uint8_t>((shadow & ~mask) | ((value << lo) & mask));
    return WriteControllerRegister(reg, shadow);
}

bool Controller::ReadRegisterPair(uint32_t reg, uint16_t& value) {
    uint8_t high = 0;
    uint8_t low = 0;
    if (!ReadControllerRegister(reg, high)) return false;
    if (!ReadControllerRegister(Low8(reg + 1), low)) return false;
    value = static_cast<uint16_t>((high << 8) | low);
    return true;
}

bool Controller::ReadRegisterTriple(uint32_t reg, uint32_t& value) {
    uint8_t bytes[3] = {};
    for (uint32_t i = 0; i < 3; ++i) {
        if (!ReadControllerRegister(Low8(reg + i), bytes[i])) return false;
    }
    value = (uint32_t{bytes[0]} << 16) | (uint32_t{bytes[1]} << 8) | bytes[2];
    return true;
}

bool Controller::WriteRegisterPair(uint32_t reg, uint32_t value) {
    return WriteControllerRegister(reg, (value >> 8) & 0xFF) &&
           WriteControllerRegister(Low8(reg + 1), value & 0xFF);
}

bool Controller::WriteRegisterTriple(uint32_t reg, uint32_t value) {
    return WriteControllerRegister(reg, (value >> 16) & 0xFF) &&
           WriteControllerRegister(Low8(reg + 1), (value >> 8) & 0xFF) &&
           WriteControllerRegister(Low8(reg + 2), value & 0xFF);
}

bool Controller::ReadAllRegisters() {
    // 0xFF is left out on purpose; reading it is not part of the set-up.
    for (uint32_t reg = 0x00; reg <= 0xFE; ++reg) {
        uint8_t value = 0;
        if (ReadControllerRegister(reg, value)) RegisterShadow[reg] = value;
    }
    return true;
}

bool Controller::SetControlLine(unsigned line, uint32_t value) {
    if (line >= std::size(kControlLines)) return false;
    const ControlLineBit where = kControlLines[line];
    return SetRegisterField(where.reg, where.bit, where.bit, value);
}

bool Controller::ReadControlLine(unsigned line, bool& state) {
    if (line >= std::size(kControlLines)) return false;
    const ControlLineBit where = kControlLines[line];
    uint8_t value = 0;
    if (!ReadControllerRegister(where.reg, value)) return false;
    state = (value & (1u << where.bit)) != 0;
    return true;
}

Controller::StableReadResult Controller::ReadStableRegister(uint32_t reg, uint8_t bitsOfInterest,
                                                            uint8_t& value) {
    uint8_t previous = 0;
    if (!ReadControllerRegister(reg, previous)) return StableReadResult::FirstReadFailed;
    for (int i = 0; i < kStableRereads; ++i) {
        uint8_t current = 0;
        if (!ReadControllerRegister(reg, current)) return StableReadResult::LaterReadFailed;
        if (((current ^ previous) & bitsOfInterest) == 0) {
            value = current;
            return StableReadResult::Ok;
        }
        previous = current;
    }
    return StableReadResult::NoAgreement;
}

}  // namespace zrt
