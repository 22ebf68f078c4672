#include "engine/transport/usb/libusb_transport.h"

#include <libusb.h>

#include <climits>
#include <cstring>

#include "engine/transport/usb/usb_device_list.h"
#include "engine/transport/usb_paths.h"

namespace zrt {
namespace {

// The library sets no time-out of its own; a transfer that blocks for this
// long means the scanner stopped answering, and failing it lets the caller's
// retries and status codes take over instead of hanging for ever. Thirty
// seconds is far beyond the longest legitimate transfer (a 0xEFF0-byte
// chunk at full speed takes well under a second).
constexpr unsigned kTransferTimeoutMs = 30000;

bool IsScanner(libusb_device* device) {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != 0) return false;
    return descriptor.idVendor == kScannerUsbVendorId && descriptor.idProduct == kScannerUsbProductId;
}

bool Matches(libusb_device* device, const UsbDeviceSelector& selector) {
    if (!IsScanner(device)) return false;
    if (selector.any) return true;
    return libusb_get_bus_number(device) == selector.bus &&
           libusb_get_device_address(device) == selector.address;
}

struct BulkEndpoints {
    int interfaceNumber = -1;
    uint8_t in = 0;
    uint8_t out = 0;
};

// The first interface of the active configuration that offers a bulk-in and
// a bulk-out endpoint.
BulkEndpoints FindBulkEndpoints(libusb_device* device) {
    BulkEndpoints found;
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0) return found;
    for (uint8_t i = 0; i < config->bNumInterfaces && found.interfaceNumber < 0; ++i) {
        const libusb_interface& interface = config->interface[i];
        if (interface.num_altsetting < 1) continue;
        const libusb_interface_descriptor& setting = interface.altsetting[0];
        uint8_t in = 0, out = 0;
        for (uint8_t e = 0; e < setting.bNumEndpoints; ++e) {
            const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
            if ((endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) continue;
            uint8_t& slot = (endpoint.bEndpointAddress & LIBUSB_ENDPOINT_IN) ? in : out;
            if (slot == 0) slot = endpoint.bEndpointAddress;
        }
        if (in != 0 && out != 0) found = {setting.bInterfaceNumber, in, out};
    }
    libusb_free_config_descriptor(config);
    return found;
}

const char* SpeedName(int speed) {
    switch (speed) {
        case LIBUSB_SPEED_LOW: return "low";
        case LIBUSB_SPEED_FULL: return "full";
        case LIBUSB_SPEED_HIGH: return "high";
        case LIBUSB_SPEED_SUPER: return "super";
        case LIBUSB_SPEED_SUPER_PLUS: return "super+";
        default: return "unknown";
    }
}

class LibusbTransport final : public Transport {
public:
    ~LibusbTransport() override { close(); }

    bool open(const std::string& path) override {
        close();
        const auto selector = ParseUsbDevicePath(path);
        if (!selector || libusb_init(&context_) != 0) {
            context_ = nullptr;
            return false;
        }
        if (!openMatching(*selector)) {
            close();
            return false;
        }
        return true;
    }

    bool deviceDescriptor(uint8_t out[18]) override {
        if (!handle_) return false;
        libusb_device_descriptor d{};
        if (libusb_get_device_descriptor(libusb_get_device(handle_), &d) != 0) return false;
        const uint8_t bytes[18] = {
            d.bLength, d.bDescriptorType,
            static_cast<uint8_t>(d.bcdUSB & 0xFF), static_cast<uint8_t>(d.bcdUSB >> 8),
            d.bDeviceClass, d.bDeviceSubClass, d.bDeviceProtocol, d.bMaxPacketSize0,
            static_cast<uint8_t>(d.idVendor & 0xFF), static_cast<uint8_t>(d.idVendor >> 8),
            static_cast<uint8_t>(d.idProduct & 0xFF), static_cast<uint8_t>(d.idProduct >> 8),
            static_cast<uint8_t>(d.bcdDevice & 0xFF), static_cast<uint8_t>(d.bcdDevice >> 8),
            d.iManufacturer, d.iProduct, d.iSerialNumber, d.bNumConfigurations};
        std::memcpy(out, bytes, sizeof bytes);
        return true;
    }

    bool bulkWrite(const uint8_t* data, size_t count, size_t& written) override {
        written = 0;
        if (!handle_ || count > INT_MAX) return false;
        int transferred = 0;
        const int rc = libusb_bulk_transfer(handle_, endpoints_.out, const_cast<uint8_t*>(data),
                                            static_cast<int>(count), &transferred, kTransferTimeoutMs);
        written = static_cast<size_t>(transferred > 0 ? transferred : 0);
        // A frame that did not go out whole is not a frame the controller took.
        return rc == 0 && written == count;
    }

    bool bulkRead(uint8_t* buffer, size_t count, size_t& read) override {
        read = 0;
        if (!handle_ || count > INT_MAX) return false;
        int transferred = 0;
        const int rc = libusb_bulk_transfer(handle_, endpoints_.in, buffer, static_cast<int>(count),
                                            &transferred, kTransferTimeoutMs);
        if (rc != 0) return false;
        read = static_cast<size_t>(transferred > 0 ? transferred : 0);
        return true;
    }

    void close() override {
        if (handle_) {
            if (claimed_) libusb_release_interface(handle_, endpoints_.interfaceNumber);
            libusb_close(handle_);
        }
        if (context_) libusb_exit(context_);
        handle_ = nullptr;
        context_ = nullptr;
        claimed_ = false;
        endpoints_ = {};
    }

private:
    bool openMatching(const UsbDeviceSelector& selector) {
        libusb_device** list = nullptr;
        const ssize_t count = libusb_get_device_list(context_, &list);
        if (count < 0) return false;
        bool ok = false;
        for (ssize_t i = 0; i < count && !ok; ++i) {
            if (!Matches(list[i], selector)) continue;
            ok = claim(list[i]);
            // A named device that cannot be claimed is the answer; only "usb"
            // goes on to the next scanner.
            if (!selector.any) break;
        }
        libusb_free_device_list(list, 1);
        return ok;
    }

    bool claim(libusb_device* device) {
        endpoints_ = FindBulkEndpoints(device);
        if (endpoints_.interfaceNumber < 0) return false;
        if (libusb_open(device, &handle_) != 0) {
            handle_ = nullptr;
            return false;
        }
        // Lets the claim take the interface from a kernel driver and hand it
        // back on release; not every platform supports it, which is harmless.
        libusb_set_auto_detach_kernel_driver(handle_, 1);
        // Another process holding the interface gives LIBUSB_ERROR_BUSY at
        // once: fail the open instead of waiting for it.
        if (libusb_claim_interface(handle_, endpoints_.interfaceNumber) != 0) {
            libusb_close(handle_);
            handle_ = nullptr;
            return false;
        }
        claimed_ = true;
        return true;
    }

    libusb_context* context_ = nullptr;
    libusb_device_handle* handle_ = nullptr;
    BulkEndpoints endpoints_;
    bool claimed_ = false;
};

}  // namespace

std::unique_ptr<Transport> CreateLibusbTransport() { return std::make_unique<LibusbTransport>(); }

std::vector<AttachedScanner> ListAttachedScanners() {
    std::vector<AttachedScanner> scanners;
    libusb_context* context = nullptr;
    if (libusb_init(&context) != 0) return scanners;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    for (ssize_t i = 0; i < count; ++i) {
        if (!IsScanner(list[i])) continue;
        AttachedScanner scanner;
        scanner.bus = libusb_get_bus_number(list[i]);
        scanner.address = libusb_get_device_address(list[i]);
        scanner.speed = SpeedName(libusb_get_device_speed(list[i]));
        scanner.path = "usb:" + std::to_string(scanner.bus) + ":" + std::to_string(scanner.address);
        scanners.push_back(std::move(scanner));
    }
    if (count >= 0) libusb_free_device_list(list, 1);
    libusb_exit(context);
    return scanners;
}

}  // namespace zrt
