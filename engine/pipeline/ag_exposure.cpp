#include "engine/pipeline/ag_exposure.h"

#include "engine/calibration/shading_cache.h"
#include "engine/motion/line_period.h"
#include "engine/pipeline/scan_parameters.h"

namespace zrt {

StatusCode PrepareAGExposure(ScannerEngine& engine, const ScanParameters& p, uint8_t lampSelection) {
    ChannelExposure exposure;
    if (!LoadShadingCache(engine, p.XResolution, lampSelection, exposure, false)) {
        return status::ShadingPrepareFailed;
    }
    uint32_t dpi = RoundUpToMultiple(p.XResolution, 600);
    return SetExposureMultiplier(engine, exposure, Request().AGData, lampSelection, p.BitDepth,
                                 static_cast<uint16_t>(dpi));
}

uint32_t LineTimePeriod(ScannerEngine& engine, uint8_t lampSelection, uint8_t depth, uint16_t xResolution) {
    return LookupLinePeriod(engine, lampSelection, static_cast<uint8_t>(engine.device.BusSpeed), depth,
                            xResolution)
        .period;
}

}  // namespace zrt
