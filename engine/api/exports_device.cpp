// Exports of device discovery, power-up, lamps, buttons, self tests and
// gamma tables.
#include "zrtl5617.h"

#include "engine/api/export_support.h"
#include "engine/api/scanner_engine.h"
#include "engine/control/film_guide.h"
#include "engine/control/find_scanner.h"
#include "engine/control/gamma_tables.h"
#include "engine/control/power_up.h"
#include "engine/control/push_buttons.h"
#include "engine/control/self_test.h"

using namespace zrt;

extern "C" {

ZRTL5617_API int32_t ZRTL5617_CALL FindScannerEx(ZrtHandle, const char* devicePath) {
    BusyLock lock;
    return FindScanner(Engine(), devicePath);
}

ZRTL5617_API int32_t ZRTL5617_CALL InitializeScanner(ZrtHandle) {
    BusyLock lock;
    bool ranPowerUp = false;
    const StatusCode result = zrt::InitializeScanner(Engine(), ranPowerUp);
    // Once the scanner is powered up the call leaves the status word alone.
    if (!ranPowerUp) return 1;
    return RecordStatus(result);
}

ZRTL5617_API int32_t ZRTL5617_CALL SetLamp(ZrtHandle, int32_t lamp) {
    BusyLock lock;
    ProcessState& process = Process();
    const int32_t result = RecordStatus(zrt::SetLamp(Engine(), process.LampSelection, static_cast<uint8_t>(lamp)));
    // The film guide check reports its finding (found or not) through the
    // status word only.
    return process.LampSelection == kFilmGuideCheck ? 0 : result;
}

ZRTL5617_API int32_t ZRTL5617_CALL GetTPUMode(ZrtHandle, uint8_t* mode) {
    BusyLock lock;
    bool present = false;
    const StatusCode result = Engine().device.DetectFilmAdapter(present);
    if (result == status::Ok && mode != nullptr) *mode = present ? 1 : 0;
    return RecordStatus(result);
}

ZRTL5617_API int32_t ZRTL5617_CALL InitialButton(ZrtHandle, ButtonDescription* description) {
    if (description != nullptr) *description = {kButtonKind, kButtonCount, kButtonMask};
    return 1;
}

ZRTL5617_API int32_t ZRTL5617_CALL ReadPushButton(ZrtHandle, uint8_t report[2]) {
    BusyLock lock;
    uint8_t code = 0;
    const StatusCode result = ReadButtonCode(Engine(), code);
    Process().LastStatus = result;
    if (result == status::Ok && report != nullptr) ButtonReport(code, report);
    return 1;
}

ZRTL5617_API int32_t ZRTL5617_CALL TestScanner(ZrtHandle, int32_t type, int32_t, int32_t, int32_t) {
    BusyLock lock;
    const uint8_t testType = static_cast<uint8_t>(type);
    // Type 1 asks how the last test went.
    if (testType == 1) return Process().LastStatus == status::Ok ? 1 : 0;
    return RecordStatus(zrt::TestScanner(Engine(), testType));
}

ZRTL5617_API int32_t ZRTL5617_CALL SetGamma(ZrtHandle, const uint16_t* table, int32_t type, int32_t) {
    switch (zrt::SetGamma(Engine().gamma, table, static_cast<uint8_t>(type))) {
    case GammaLoad::Loaded: return RecordStatus(status::Ok);
    case GammaLoad::Ignored: return Process().LastStatus == status::Ok ? 1 : 0;
    case GammaLoad::Refused: return 0;
    }
    return 0;
}

}  // extern "C"
