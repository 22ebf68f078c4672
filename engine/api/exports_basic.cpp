// The exports that need nothing above the registers: status queries, the
// fixed answers, the device close and direct register access.
#include "engine/api/export_support.h"
#include "engine/api/scanner_engine.h"
#include "zrtl5617.h"

using zrt::Engine;
using zrt::Process;

namespace {
constexpr uint16_t kAbilityBufferSize = ZRTL5617_ABILITY_BUFFER_SIZE;
}

// A null output pointer is a caller fault the library cannot store into; it
// is answered with 0 rather than a crash or a false success.

extern "C" ZRTL5617_API int32_t ZRTL5617_CALL GetScannerStatus(ZrtHandle, uint16_t* status) {
    if (!status) return 0;
    *status = Process().LastStatus;
    return 1;
}

extern "C" ZRTL5617_API int32_t ZRTL5617_CALL GetADFMode(ZrtHandle, uint8_t* mode) {
    if (!mode) return 0;
    *mode = 0;  // no document feeder
    return 1;
}

extern "C" ZRTL5617_API int32_t ZRTL5617_CALL GetKelvoAPIVersion(ZrtHandle, uint32_t* version) {
    if (!version) return 0;
    *version = 0;
    return 1;
}

extern "C" ZRTL5617_API int32_t ZRTL5617_CALL GetScannerAbilitySize(ZrtHandle, uint16_t* size) {
    if (!size) return 0;
    *size = kAbilityBufferSize;
    return 1;
}

// Powers nothing down and keeps the engine's buffers: the next FindScannerEx
// starts from an allocated engine.
extern "C" ZRTL5617_API int32_t ZRTL5617_CALL TerminateScanner(ZrtHandle) {
    zrt::BusyLock lock;
    Process().LastStatus = zrt::status::Ok;
    if (Process().DeviceOpened) {
        Process().DeviceOpened = 0;
        Engine().device.CloseDevice();
    }
    return 1;
}

extern "C" ZRTL5617_API int32_t ZRTL5617_CALL ReadRegister(int32_t reg, uint8_t* value) {
    if (!value) return 0;
    const uint32_t number = static_cast<uint32_t>(reg) & 0xFF;
    return Engine().device.ReadControllerRegister(number, *value) ? 1 : 0;
}

extern "C" ZRTL5617_API int32_t ZRTL5617_CALL WriteRegister(int32_t reg, int32_t value) {
    const uint32_t number = static_cast<uint32_t>(reg) & 0xFF;
    const uint32_t byte = static_cast<uint32_t>(value) & 0xFF;
    return Engine().device.WriteControllerRegister(number, byte) ? 1 : 0;
}
