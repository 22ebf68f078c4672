// Opening and closing the scanner and the two raw pipe operations that every
// controller exchange is built from.
#include "engine/transport/controller.h"

namespace zrt {
namespace {

constexpr uint16_t kScannerVendorId = 0x5A17;
constexpr uint16_t kScannerProductId = 0x3C42;
constexpr uint8_t kBusSpeedRegister = 0xD0;

uint16_t LittleEndian16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

bool IsSupportedScanner(const uint8_t (&descriptor)[18]) {
    return LittleEndian16(descriptor + 8) == kScannerVendorId &&
           LittleEndian16(descriptor + 10) == kScannerProductId;
}

}  // namespace

bool Controller::OpenDevice(const std::string& path) {
    return OpenDevice(path, CreateTransport(path));
}

bool Controller::OpenDevice(const std::string& path, std::unique_ptr<Transport> transport) {
    std::lock_guard<std::recursive_mutex> lock(exchangeLock_);
    CloseDevice();
    if (!transport) return false;
    transport_ = std::move(transport);
    if (!transport_->open(path)) {
        CloseDevice();
        return false;
    }

    // The release number is informative only; a transport without the
    // summary request is as good as one with it.
    uint8_t summary[8] = {};
    if (transport_->deviceSummary(summary)) DeviceRevision = LittleEndian16(summary + 4);

    uint8_t descriptor[18] = {};
    if (!transport_->deviceDescriptor(descriptor) || !IsSupportedScanner(descriptor)) {
        CloseDevice();
        return false;
    }

    opened_ = true;
    uint8_t speed = 0;
    if (!ReadControllerRegister(kBusSpeedRegister, speed)) {
        CloseDevice();
        return false;
    }
    BusSpeed = (speed & 0x01) ? 2 : 1;
    return true;
}

void Controller::CloseDevice() {
    std::lock_guard<std::recursive_mutex> lock(exchangeLock_);
    if (transport_) transport_->close();
    transport_.reset();
    opened_ = false;
}

bool Controller::WritePipe(const uint8_t* bytes, size_t count, size_t* written) {
    std::lock_guard<std::recursive_mutex> lock(exchangeLock_);
    size_t done = 0;
    const bool ok = IsOpen() && transport_->bulkWrite(bytes, count, done);
    if (written) *written = ok ? done : 0;
    return ok;
}

bool Controller::ReadPipe(uint8_t* buffer, size_t count, size_t* read) {
    std::lock_guard<std::recursive_mutex> lock(exchangeLock_);
    size_t done = 0;
    const bool ok = IsOpen() && transport_->bulkRead(buffer, count, done);
    // A transport that claims more than it was asked for cannot have put
    // that much into the buffer; never let the caller walk past it.
    if (done > count) done = count;
    if (read) *read = ok ? done : 0;
    return ok;
}

}  // namespace zrt
