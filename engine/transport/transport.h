// The five operations that any way of reaching the scanner's controller
// provides. Everything above (register frames, memory transfers) is built
// from bulk write and bulk read; the engine never asks which implementation
// it has.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zrt {

class Transport {
public:
    virtual ~Transport() = default;

    // Opens the scanner named by the caller's string. Fails cleanly (false)
    // when it does not exist or is in exclusive use.
    virtual bool open(const std::string& path) = 0;

    // The 18-byte standard USB device descriptor of the opened device.
    virtual bool deviceDescriptor(uint8_t descriptor[18]) = 0;

    // Optional device release summary (vendor, product, bcdDevice, language,
    // four little-endian u16). Transports without one return false.
    virtual bool deviceSummary(uint8_t summary[8]) { (void)summary; return false; }

    // One transfer on the bulk-out endpoint; `written` receives the count.
    virtual bool bulkWrite(const uint8_t* data, size_t count, size_t& written) = 0;

    // One transfer of up to `count` bytes from the bulk-in endpoint.
    virtual bool bulkRead(uint8_t* buffer, size_t count, size_t& read) = 0;

    // Releases the device. Safe on a closed transport.
    virtual void close() = 0;
};

// Chooses the implementation for a device path: "sim" and "sim:..." the
// virtual scanner, "usb..." and "/dev/bus/usb/..." the USB layer of the
// platform. Never returns null; the returned transport is closed.
std::unique_ptr<Transport> CreateTransport(const std::string& path);

}  // namespace zrt
