#include "engine/motion/scan_timing.h"

#include <algorithm>
#include <new>

#include "engine/api/scanner_engine.h"
#include "engine/motion/line_period.h"
#include "engine/motion/scan_timing_tables.h"
#include "engine/motion/table_row.h"

namespace zrt {
namespace {

using namespace motion_detail;

std::array<uint8_t, 16> ProfileFor(uint8_t code) {
    switch (code) {
    case 'P': return kProfileP;
    case 'Q': return kProfileQ;
    case 'R': return kProfileR;
    default: {
        std::array<uint8_t, 16> uniform{};
        uniform.fill(code);
        return uniform;
    }
    }
}

// Motor step period of one captured line. The product is formed in 64 bits
// because film periods stretched by the exposure multiplier overflow 32 bits
// at the highest resolutions.
uint32_t StepPeriod(uint32_t linePeriod, uint16_t extra, uint8_t channels, uint16_t yDpi) {
    const uint64_t dpi = yDpi >= 9600 ? yDpi / 2 : yDpi;
    const uint64_t divisor = yDpi < 1200 ? 1200 : 4800;
    return static_cast<uint32_t>(dpi * (uint64_t{linePeriod} * channels + extra) / divisor);
}

}  // namespace

uint8_t MotorTableShift(uint32_t period) {
    uint8_t shift = 0;
    while (period > 0xFFFF) {
        period >>= 1;
        ++shift;
    }
    return shift;
}

MotorTiming LookupScanTiming(const ScannerEngine& engine, uint8_t source, uint8_t busSpeed,
                             uint8_t depth, uint8_t channels, uint16_t yDpi) {
    const unsigned row = TableRow(source, busSpeed, depth);
    const unsigned index = ResolutionIndex(yDpi);
    const LinePeriod line = LookupLinePeriod(engine, source, busSpeed, depth, yDpi);

    uint32_t period = StepPeriod(line.period, line.extra, channels, yDpi);
    uint16_t length = kRampLength[row][index];
    uint16_t flat = kRampFlat[row][index];
    if (yDpi == 0) {  // a pure move: no line to wait for
        period = 1;
        length = 2;
        flat = 0;
    }

    MotorTiming timing;
    timing.shift = MotorTableShift(period);
    timing.ctl10Bit1 = Ctl10Bit1(row, index);
    timing.profile1 = ProfileFor(kProfileCodes[row][index]);
    timing.profile2 = timing.profile1;
    timing.reg14 = kReg14[row][index];
    timing.reg15 = kReg15[row][index];
    timing.reg17 = kReg17;
    const uint32_t start = std::max(period, MinStartPeriod(row, index));
    for (unsigned i = 0; i < timing.ramp.size(); ++i) {
        const bool accelerating = i == 0 || i == 1 || i == 3;
        timing.ramp[i] = RampSpec{accelerating ? length : uint16_t{12},
                                  accelerating ? flat : uint16_t{0}, start, period};
    }
    return timing;
}

MotorTiming LookupScanTimingForKind(const ScannerEngine& engine, uint8_t kind, uint8_t source,
                                    uint8_t busSpeed, uint8_t depth, uint8_t channels,
                                    uint16_t xDpi, uint16_t yDpi) {
    const uint8_t lookupDepth = (kind == 7 || kind == 8) ? 16 : depth;
    MotorTiming timing = LookupScanTiming(engine, source, busSpeed, lookupDepth, channels, yDpi);
    if (kind == 4) {
        RampSpec& first = timing.ramp[0];
        if (xDpi == 1200) {
            first.startPeriod *= 2;
            first.endPeriod *= 2;
        } else if ((source & 0x0C) != 0 && xDpi == 4800) {
            first.startPeriod >>= 1;
            first.endPeriod >>= 1;
        }
        timing.shift = MotorTableShift(first.endPeriod);
        const uint16_t length = ((source & 0x01) != 0 && busSpeed != 2) ? 12 : 24;
        timing.ramp[0].len = timing.ramp[1].len = timing.ramp[3].len = length;
    }
    if (kind == 5 || kind == 9 || kind == 15) {
        timing.ramp[0].len = timing.ramp[1].len = timing.ramp[3].len = 6;
    }
    return timing;
}

std::vector<uint16_t> ComputeMotorTable(const RampSpec& ramp, uint8_t shift) {
    std::vector<uint16_t> entries(ramp.len);
    const unsigned flat = std::min<unsigned>(ramp.flat, ramp.len);
    for (unsigned d = 0; d < flat; ++d) {
        entries[d] = static_cast<uint16_t>(ramp.startPeriod >> shift);
    }
    const double inverseStart = 1.0 / ramp.startPeriod;
    const double difference = inverseStart - 1.0 / ramp.endPeriod;
    // A ramp of one entry has no slope; it holds the start period.
    const double steps = ramp.len > ramp.flat + 1 ? double(ramp.len - ramp.flat - 1) : 1.0;
    for (unsigned d = flat; d < ramp.len; ++d) {
        const double x = (double(d - flat) * difference) / steps;
        const auto period = static_cast<int64_t>(1.0 / (inverseStart - x));
        entries[d] = static_cast<uint16_t>(period >> shift);
    }
    return entries;
}

bool BuildMotorTable(ScannerEngine& engine, unsigned i, const RampSpec& ramp, uint8_t shift) {
    if (i >= engine.device.MotorTableAddress.size() || ramp.startPeriod == 0 || ramp.endPeriod == 0) {
        return false;
    }
    std::vector<uint8_t> bytes;
    try {
        const std::vector<uint16_t> entries = ComputeMotorTable(ramp, shift);
        bytes.resize(entries.size() * 2);
        for (size_t k = 0; k < entries.size(); ++k) {
            bytes[2 * k] = static_cast<uint8_t>(entries[k] & 0xFF);
            bytes[2 * k + 1] = static_cast<uint8_t>(entries[k] >> 8);
        }
    } catch (const std::bad_alloc&) {
        return false;  // the controller keeps its previous table
    }
    return engine.device.WriteTableMemory(engine.device.MotorTableAddress[i],
                                          static_cast<uint32_t>(bytes.size()), bytes.data());
}

}  // namespace zrt
