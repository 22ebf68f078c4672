// Which attached USB device a caller's device path names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zrt {

constexpr uint16_t kScannerUsbVendorId = 0x5A17;
constexpr uint16_t kScannerUsbProductId = 0x3C42;

struct UsbDeviceSelector {
    bool any = true;  // "usb": the first scanner found
    uint8_t bus = 0;
    uint8_t address = 0;
};

// std::nullopt when the path is not a USB path or is malformed.
std::optional<UsbDeviceSelector> ParseUsbDevicePath(const std::string& path);

}  // namespace zrt
