#include "engine/motion/line_period.h"

#include <algorithm>
#include <array>

#include "engine/api/scanner_engine.h"
#include "engine/motion/table_row.h"

namespace zrt {
namespace {

using Row = std::array<uint32_t, 8>;

// Rows: document bus 1 (8, 16, 24, 48), document bus 2, other bus 1, other
// bus 2; columns 75 ... 9600 dpi.
constexpr std::array<Row, 16> kLinePeriods{{
    {35360, 24000, 10880, 21760, 43520, 174080, 174080, 174080},
    {21760, 43520, 10880, 21760, 43520, 174080, 174080, 174080},
    {11776, 7840, 10880, 21760, 43520, 174080, 174080, 174080},
    {11776, 10880, 21760, 43520, 43520, 174080, 174080, 174080},
    {35360, 17680, 8840, 5600, 10720, 42880, 42880, 42880},
    {5600, 11200, 5600, 5600, 10720, 42880, 42880, 42880},
    {11776, 5896, 5600, 5600, 10720, 42880, 42880, 42880},
    {11776, 5896, 5600, 5600, 10720, 42880, 42280, 42880},
    {25712, 12856, 10744, 21496, 43000, 86000, 172000, 172000},
    {25712, 12856, 10744, 21496, 43000, 86000, 172000, 172000},
    {11792, 7840, 10744, 21496, 43000, 86000, 172000, 172000},
    {11776, 10880, 5280, 5280, 10496, 20992, 52480, 52480},
    {25712, 12856, 6424, 5896, 11000, 44000, 44000, 44000},
    {25712, 12856, 6424, 7656, 15312, 44000, 61256, 61256},
    {11792, 5896, 5896, 5896, 11000, 44000, 44000, 44000},
    {11776, 5896, 5280, 5280, 10496, 20992, 52480, 52480},
}};

}  // namespace

uint32_t LinePeriodTableEntry(uint8_t source, uint8_t busSpeed, uint8_t depth, uint16_t dpi) {
    const uint32_t d = dpi == 0 ? 75 : dpi;
    return kLinePeriods[motion_detail::TableRow(source, busSpeed, depth)][ResolutionIndex(d)];
}

LinePeriod LookupLinePeriod(const ScannerEngine& engine, uint8_t source, uint8_t busSpeed,
                            uint8_t depth, uint16_t dpi) {
    LinePeriod result;
    result.period = LinePeriodTableEntry(source, busSpeed, depth, dpi);
    // Film exposures can outlast a line; the multiplier stretches the line.
    // The product is formed in 64 bits: large factors on the slow rows
    // would wrap a 32-bit product into a far too short period.
    if ((source & 0x01) == 0) {
        result.period = static_cast<uint32_t>(
            (uint64_t{engine.ExposureMultiplier} * result.period) >> 12);
    }
    return result;
}

StatusCode SetExposureMultiplier(ScannerEngine& engine, ChannelExposure& exposure,
                                 const AGDataWords& agData, uint8_t source, uint8_t depth,
                                 uint16_t dpi) {
    engine.ExposureMultiplier = 4096;
    uint32_t longest = 0;
    for (unsigned k = 0; k < 3; ++k) {
        const uint32_t scaled = (uint32_t{exposure.exposure[k]} * agData[18 + k]) >> 12;
        exposure.exposure[k] = static_cast<uint16_t>(scaled);
        longest = std::max<uint32_t>(longest, exposure.exposure[k]);
    }
    const uint32_t period =
        LookupLinePeriod(engine, source, static_cast<uint8_t>(engine.device.BusSpeed), depth, dpi).period;
    // Every table period is far above 50, so the divisor cannot reach 0.
    const uint8_t factor = static_cast<uint8_t>(longest / (period - 50) + 1);
    engine.ExposureMultiplier = factor > 1 ? static_cast<uint16_t>(factor * 4096) : 4096;
    // A factor of 2 is not used at 1200 dpi; the next one up is taken.
    if (dpi == 1200 && engine.ExposureMultiplier == 8192) {
        engine.ExposureMultiplier = 12288;
    }
    return status::Ok;
}

}  // namespace zrt
