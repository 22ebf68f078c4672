#include "engine/transport/transport.h"

#include "sim/sim_transport.h"

#if defined(ZRT_HAVE_LIBUSB)
#include "engine/transport/usb/libusb_transport.h"
#endif
#if defined(_WIN32)
#include "engine/transport/win32/still_image_transport.h"
#endif

namespace zrt {
namespace {

// Transport for paths that no implementation claims: every open fails.
class UnavailableTransport final : public Transport {
public:
    bool open(const std::string&) override { return false; }
    bool deviceDescriptor(uint8_t*) override { return false; }
    bool bulkWrite(const uint8_t*, size_t, size_t& written) override { written = 0; return false; }
    bool bulkRead(uint8_t*, size_t, size_t& read) override { read = 0; return false; }
    void close() override {}
};

bool IsSimPath(const std::string& path) {
    return path == "sim" || path.rfind("sim:", 0) == 0;
}

#if defined(ZRT_HAVE_LIBUSB)
bool IsUsbPath(const std::string& path) {
    return path.rfind("usb", 0) == 0 || path.rfind("/dev/bus/usb/", 0) == 0;
}
#endif

}  // namespace

std::unique_ptr<Transport> CreateTransport(const std::string& path) {
    if (IsSimPath(path)) {
        return sim::CreateSimTransport();
    }
#if defined(ZRT_HAVE_LIBUSB)
    if (IsUsbPath(path)) {
        return CreateLibusbTransport();
    }
#endif
#if defined(_WIN32)
    // Any other path names a device file of the still-image driver.
    if (!path.empty()) return CreateStillImageTransport();
#endif
    return std::make_unique<UnavailableTransport>();
}

}  // namespace zrt
