// Exports of the calibration: running one and asking whether one is due.
#include "zrtl5617.h"

#include "engine/api/export_support.h"
#include "engine/api/scanner_engine.h"
#include "engine/calibration/calibration_status.h"
#include "engine/calibration/run_calibration.h"
#include "engine/pipeline/scan_state.h"

using namespace zrt;

extern "C" {

ZRTL5617_API int32_t ZRTL5617_CALL DoCalibration(ZrtHandle, int32_t type, int32_t mode, int32_t resolution) {
    BusyLock lock;
    StatusCode result = status::Ok;
    const uint16_t lastXResolution = Request().StoredParameters.XResolution;
    // A request that calibrates nothing succeeds and leaves the status word alone.
    if (!CalibrateForRequest(Engine(), type, mode, resolution, lastXResolution, result)) return 1;
    return RecordStatus(result);
}

ZRTL5617_API int32_t ZRTL5617_CALL GetCalibrationStatus(ZrtHandle, uint8_t* status) {
    if (status == nullptr) return 0;
    const ScanRequest& request = Request();
    return RecordStatus(CheckCalibrationStatus(Engine(), request.StoredParameters.XResolution,
                                               request.StoredParameters.FilmScan, Process().LampSelection,
                                               *status));
}

}  // extern "C"
