// The controller's frames: register read, register write, high register
// write, data write into prepared memory, data read of image data. A frame
// that a controller would not accept fails the transfer and changes nothing.
#include <algorithm>

#include "sim/virtual_scanner.h"

namespace zrt::sim {
namespace {

constexpr uint8_t kRegisterWrite = 0x00;
constexpr uint8_t kRegisterRead = 0x01;
constexpr uint8_t kHighRegisterWrite = 0x02;
constexpr uint8_t kDataWrite = 0x04;
constexpr uint8_t kDataRead = 0x05;
constexpr uint8_t kDataPort = 0x70;
constexpr size_t kMaxDataBytes = 0xEFF0;

// Memory access control byte (register 0x71).
constexpr uint8_t kAccessGamma = 0x02;
constexpr uint8_t kAccessHostToController = 0x04;
constexpr uint8_t kAccessImage = 0x08;
constexpr uint8_t kAccessEnable = 0x10;

uint32_t Length(const uint8_t* frame) { return uint32_t(frame[2]) | (uint32_t(frame[3]) << 8); }

uint32_t RoundUp(uint32_t n, uint32_t step) { return (n + step - 1) / step * step; }

}  // namespace

bool VirtualScanner::handleFrame(const uint8_t* data, size_t count) {
    if (count < 4) return false;
    uint8_t command = data[0];
    bool registerFrame = command == kRegisterWrite || command == kRegisterRead || command == kHighRegisterWrite;
    if (registerFrame && Length(data) != 1) return false;
    switch (command) {
    case kRegisterWrite:
        if (count != 5 || faults_.registerWriteFails(data[1])) return false;
        writeRegister(data[1], data[4]);
        return true;
    case kRegisterRead:
        if (count != 4) return false;
        pending_.assign(1, readRegister(data[1]));
        return true;
    case kHighRegisterWrite:
        if (count != 5 || faults_.registerWriteFails(0x100u + data[1])) return false;
        registers_.setHigh(data[1], data[4]);
        return true;
    case kDataWrite:
        return data[1] == kDataPort && dataWrite(data, count);
    case kDataRead:
        return data[1] == kDataPort && count == 4 && dataRead(data, count);
    default:
        return false;
    }
}

bool VirtualScanner::dataWrite(const uint8_t* data, size_t count) {
    uint8_t control = registers_.get(0x71);
    uint8_t needed = kAccessHostToController | kAccessEnable;
    if ((control & needed) != needed || (control & kAccessImage)) return false;
    bool gamma = (control & kAccessGamma) != 0;
    uint32_t n = Length(data);
    uint32_t padded = RoundUp(n, gamma ? 8 : 16);
    if (n == 0 || n > kMaxDataBytes || count != 4 + size_t(padded)) return false;
    uint32_t prepared = registers_.pair(0x72);
    if (uint64_t(accessOffset_) + padded > prepared) return false;
    uint32_t address = registers_.triple(0x74) + accessOffset_ / 2;
    bool stored = gamma ? memory_.writeGamma(address, data + 4, padded) : memory_.writeTable(address, data + 4, padded);
    if (!stored) return false;
    accessOffset_ += padded;
    return true;
}

bool VirtualScanner::dataRead(const uint8_t* data, size_t) {
    uint8_t control = registers_.get(0x71);
    if (!(control & kAccessImage) || !(control & kAccessEnable) || (control & kAccessHostToController)) return false;
    uint32_t n = Length(data);
    if (n == 0 || n % 16 != 0 || n != registers_.pair(0x72)) return false;
    uint64_t available = std::min<uint64_t>(n, memory_.imageBytes());
    uint64_t admitted = faults_.admitImageBytes(available);
    pending_.resize(admitted);
    memory_.popImage(pending_.data(), admitted);
    return true;
}

}  // namespace zrt::sim
