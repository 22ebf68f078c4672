// The scanning exports: parameters and AG data (no lock), start, line
// delivery and stop (locking).
#include <cstring>

#include "engine/api/export_support.h"
#include "engine/api/scanner_engine.h"
#include "engine/pipeline/line_assembly.h"
#include "engine/pipeline/scan_parameters.h"
#include "engine/pipeline/scan_start.h"
#include "engine/pipeline/scan_stop.h"
#include "zrtl5617.h"

using namespace zrt;

extern "C" {

ZRTL5617_API int32_t ZRTL5617_CALL SetScanParameter(ZrtHandle, const ::ScanParameters* parameters) {
    if (parameters == nullptr) {
        return RecordStatus(status::FlatbedXOrigin);
    }
    zrt::ScanParameters copy;
    std::memcpy(&copy, parameters, sizeof copy);
    return RecordStatus(zrt::SetScanParameter(Engine(), copy));
}

ZRTL5617_API int32_t ZRTL5617_CALL SetAGData(ZrtHandle, const ::AGData* data) {
    if (data != nullptr) {
        std::memcpy(Request().AGData.data(), data, sizeof(::AGData));
    }
    return 1;
}

ZRTL5617_API int32_t ZRTL5617_CALL GetAGData(ZrtHandle, ::AGData* data) {
    if (data == nullptr) {
        return 1;
    }
    AGDataWords words;
    std::memcpy(words.data(), data, sizeof(::AGData));
    WriteDefaultAGData(words);
    std::memcpy(data, words.data(), sizeof(::AGData));
    return 1;
}

ZRTL5617_API int32_t ZRTL5617_CALL GetDataStatus(ZrtHandle, ::DataStatus* out) {
    if (out == nullptr) {
        return 1;
    }
    zrt::DataStatus status{};
    zrt::GetDataStatus(Engine(), status);
    std::memcpy(out, &status, sizeof status);
    return 1;
}

ZRTL5617_API int32_t ZRTL5617_CALL StartScanEx(ZrtHandle, int32_t) {
    return LockedExport([] { return StartScan(Engine()); });
}

ZRTL5617_API int32_t ZRTL5617_CALL ReadScan(ZrtHandle, int32_t, uint8_t* data, uint32_t byteCount) {
    return LockedExport([&] { return zrt::ReadScan(Engine(), data, byteCount); });
}

ZRTL5617_API int32_t ZRTL5617_CALL StopScanEx(ZrtHandle, int32_t mode) {
    return LockedExport([&] { return StopScan(Engine(), mode); });
}

}  // extern "C"
