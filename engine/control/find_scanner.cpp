#include "engine/control/find_scanner.h"

#include <string>

#include "engine/api/export_support.h"
#include "engine/api/scanner_engine.h"
#include "engine/control/device_setup.h"

namespace zrt {
namespace {

int32_t CloseAfterFailure(ScannerEngine& engine) {
    engine.device.CloseDevice();
    Process().DeviceOpened = 0;
    return 0;
}

}  // namespace

int32_t FindScanner(ScannerEngine& engine, const char* path, std::unique_ptr<Transport> transport) {
    ProcessState& process = Process();
    if (process.DeviceOpened) return 1;

    const std::string devicePath = path != nullptr ? path : "";
    const bool opened = path != nullptr && (transport ? engine.device.OpenDevice(devicePath, std::move(transport))
                                                      : engine.device.OpenDevice(devicePath));
    if (!opened) {
        process.LastStatus = status::OpenFailed;
        return 0;
    }
    process.DeviceOpened = 1;

    bool busy = false;
    process.LastStatus = engine.device.ReadMotionBusy(busy, 0);
    if (process.LastStatus != status::Ok) return CloseAfterFailure(engine);
    if (busy) {
        process.LastStatus = status::DeviceActive;
        return CloseAfterFailure(engine);
    }
    process.LastStatus = SetUpDevice(engine);
    if (process.LastStatus != status::Ok) return CloseAfterFailure(engine);
    return 1;
}

}  // namespace zrt
