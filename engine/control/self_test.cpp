#include "engine/control/self_test.h"

#include <algorithm>
#include <array>
#include <new>
#include <vector>

#include "engine/api/scanner_engine.h"
#include "engine/calibration/measure_reference.h"
#include "engine/calibration/reference_set.h"
#include "engine/control/operation_lines.h"
#include "engine/control/status_chain.h"
#include "engine/motion/carriage_motion.h"

namespace zrt {
namespace {

// A lit line fails when its darkest sample is below this share (in %) of
// its brightest one; an unlit line when any sample is brighter than 80.
constexpr unsigned kMinLitShare = 28;
constexpr uint8_t kMaxDarkSample = 80;

ChannelExposure CarriageRunExposure(uint16_t infrared) {
    ChannelExposure exposure;
    exposure.exposure = {800, 800, 800, infrared};
    return exposure;
}

StatusCode CarriageStrip(ScannerEngine& engine, int32_t lines, uint16_t infrared) {
    std::vector<uint8_t> strip;
    return ScanToMemory(engine, strip, static_cast<uint8_t>(engine.device.BusSpeed), 75, 24, lines, 0, 160, 1, 3,
                        CarriageRunExposure(infrared), 0, 0, 1, 0);
}

// The eight work tables of the sensor test's reference passes, taken in
// the order first list 0, second list 0, first list 1, ...
StatusCode ObtainWorkTables(std::array<ShadingTable, 4>& first, std::array<ShadingTable, 4>& second) {
    for (size_t i = 0; i < 4; ++i) {
        try {
            first[i].assign(kShadingEntries, 0);
        } catch (const std::bad_alloc&) {
            return status::SensorTestFirstBufferFailed;
        }
        try {
            second[i].assign(kShadingEntries, 0);
        } catch (const std::bad_alloc&) {
            return status::SensorTestSecondBufferFailed;
        }
    }
    return status::Ok;
}

// A lit exposure measured the way calibration does: a dark pass, then the
// white pass that searches the exposure.
StatusCode MeasureLitExposure(ScannerEngine& engine, ChannelExposure& exposure) {
    std::array<ShadingTable, 4> whiteTables;
    std::array<ShadingTable, 4> darkTables;
    ZRT_RETURN_IF_FAILED(ObtainWorkTables(whiteTables, darkTables));
    const ReferenceSet white = SetOf(whiteTables);
    const ReferenceSet dark = SetOf(darkTables);
    ZRT_RETURN_IF_FAILED(MeasureReference(engine, 4800, 1, 48, exposure, true, white, dark));
    ZRT_RETURN_IF_FAILED(MeasureReference(engine, 4800, 1, 48, exposure, false, white, dark));
    return HomeAndVerify(engine);
}

}  // namespace

StatusCode JudgeSensorLine(bool withLight, uint8_t smallest, uint8_t largest) {
    if (withLight) return smallest < kMinLitShare * largest / 100 ? status::SensorTestTooDark : status::Ok;
    return largest > kMaxDarkSample ? status::SensorTestDarkTooBright : status::Ok;
}

StatusCode SensorTest(ScannerEngine& engine, bool withLight) {
    ChannelExposure exposure;  // unlit: exposures 1, practically dark
    if (withLight) {
        ZRT_RETURN_IF_FAILED(MeasureLitExposure(engine, exposure));
    } else {
        std::array<ShadingTable, 4> first;
        std::array<ShadingTable, 4> second;
        ZRT_RETURN_IF_FAILED(ObtainWorkTables(first, second));
    }
    exposure.level = {255, 255, 255, 255};

    std::vector<uint8_t> line;
    ZRT_RETURN_IF_FAILED(ScanToMemory(engine, line, static_cast<uint8_t>(engine.device.BusSpeed), 4800, 24, 3, 0,
                                      40832, 1, 3, exposure, 0, 1, 0, 0));
    const size_t valid = std::min<size_t>(engine.progress.RawLineBytes, line.size());
    if (valid == 0) return JudgeSensorLine(withLight, 0, 0);
    const auto [smallest, largest] = std::minmax_element(line.begin(), line.begin() + static_cast<long>(valid));
    return JudgeSensorLine(withLight, *smallest, *largest);
}

StatusCode CarriageRun(ScannerEngine& engine) {
    Controller& c = engine.device;
    StatusCode lines = status::Ok;
    if (!RaiseOperationLines(c, lines)) return lines;
    ZRT_RETURN_IF_FAILED(HomeAndVerify(engine));
    ZRT_RETURN_IF_FAILED(CarriageStrip(engine, 100, 800));
    (void)LowerOperationLines(c, lines, LastLine::Ignored);
    return lines;
}

StatusCode RepeatedCarriageRun(ScannerEngine& engine, unsigned cycles) {
    Controller& c = engine.device;
    for (unsigned cycle = 0; cycle < cycles; ++cycle) {
        StatusCode lines = status::Ok;
        if (!RaiseOperationLines(c, lines)) return lines;
        // A burn-in keeps going over a bad home sensor reading; only the
        // strip scan decides.
        (void)HomeAndVerify(engine);
        ZRT_RETURN_IF_FAILED(CarriageStrip(engine, 877, 0));
        if (!LowerOperationLines(c, lines, LastLine::Required)) return lines;
    }
    return status::Ok;
}

StatusCode SensorSelfTest(ScannerEngine& engine) {
    Controller& c = engine.device;
    StatusCode lines = status::Ok;
    if (!RaiseOperationLines(c, lines)) return lines;
    ZRT_RETURN_IF_FAILED(ReturnHome(engine, 1, 0));
    ZRT_RETURN_IF_FAILED(HomeAndVerify(engine));
    ZRT_RETURN_IF_FAILED(SensorTest(engine, true));
    ZRT_RETURN_IF_FAILED(SensorTest(engine, false));
    ZRT_RETURN_IF_FAILED(ReturnHome(engine, 1, 1));
    (void)LowerOperationLines(c, lines, LastLine::Ignored);
    return lines;
}

StatusCode TestScanner(ScannerEngine& engine, uint8_t type, unsigned burnInCycles) {
    switch (type) {
    case 0: return RepeatedCarriageRun(engine, burnInCycles);
    case 4: return CarriageRun(engine);
    case 5: return SensorSelfTest(engine);
    default: return status::Ok;
    }
}

}  // namespace zrt
