// The scanner through the still-image USB class driver: the device file,
// two device-control requests for the descriptors, and synchronous reads
// and writes that the driver sends to the bulk pipes.
#include "engine/transport/win32/still_image_transport.h"

#include <windows.h>

#include <cstring>

namespace zrt {
namespace {

constexpr DWORD kGetDeviceDescriptor = 0x80002018;  // vendor, product, release, language
constexpr DWORD kGetUsbDescriptor = 0x80002020;     // a standard USB descriptor

class StillImageTransport final : public Transport {
public:
    ~StillImageTransport() override { close(); }

    bool open(const std::string& path) override {
        close();
        handle_ = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_SYSTEM | FILE_FLAG_SEQUENTIAL_SCAN,
                                nullptr);
        return handle_ != INVALID_HANDLE_VALUE;
    }

    bool deviceSummary(uint8_t summary[8]) override {
        uint8_t buffer[8] = {};
        DWORD returned = 0;
        if (!control(kGetDeviceDescriptor, buffer, sizeof buffer, buffer, sizeof buffer, returned)) return false;
        std::memcpy(summary, buffer, sizeof buffer);
        return true;
    }

    bool deviceDescriptor(uint8_t descriptor[18]) override {
        uint8_t request[4] = {1, 0, 0, 0};  // device descriptor, index 0, language 0
        uint8_t buffer[18] = {};
        DWORD returned = 0;
        if (!control(kGetUsbDescriptor, request, sizeof request, buffer, sizeof buffer, returned)) return false;
        std::memcpy(descriptor, buffer, sizeof buffer);
        return true;
    }

    bool bulkWrite(const uint8_t* data, size_t count, size_t& written) override {
        DWORD n = 0;
        const bool ok = handle_ != INVALID_HANDLE_VALUE &&
                        ::WriteFile(handle_, data, static_cast<DWORD>(count), &n, nullptr);
        written = n;
        return ok;
    }

    bool bulkRead(uint8_t* buffer, size_t count, size_t& read) override {
        DWORD n = 0;
        const bool ok = handle_ != INVALID_HANDLE_VALUE &&
                        ::ReadFile(handle_, buffer, static_cast<DWORD>(count), &n, nullptr);
        read = n;
        return ok;
    }

    void close() override {
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    bool control(DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD& returned) {
        return handle_ != INVALID_HANDLE_VALUE &&
               ::DeviceIoControl(handle_, code, in, inSize, out, outSize, &returned, nullptr);
    }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::unique_ptr<Transport> CreateStillImageTransport() { return std::make_unique<StillImageTransport>(); }

}  // namespace zrt
