#include <gtest/gtest.h>

#include "engine/api/scanner_engine.h"
#include "engine/motion/line_period.h"
#include "engine/motion/resolution_index.h"
#include "engine/motion/scan_timing.h"

namespace zrt {
namespace {

TEST(ResolutionIndexTest, MapsEveryResolutionIntoTheTables) {
    EXPECT_EQ(ResolutionIndex(0), 0u);
    EXPECT_EQ(ResolutionIndex(75), 0u);
    EXPECT_EQ(ResolutionIndex(100), 0u);
    EXPECT_EQ(ResolutionIndex(600), 3u);
    EXPECT_EQ(ResolutionIndex(4800), 6u);
    EXPECT_EQ(ResolutionIndex(9600), 7u);
    EXPECT_EQ(ResolutionIndex(65535), 7u);
}

struct PeriodCase {
    uint8_t source, bus, depth;
    uint16_t dpi;
    uint32_t period;
};

TEST(LinePeriodTest, TableSpotValues) {
    const PeriodCase cases[] = {
        {1, 2, 48, 4800, 42280},   // the one entry that breaks its row's pattern
        {1, 2, 24, 4800, 42880},
        {1, 2, 24, 300, 5600},
        {1, 1, 8, 75, 35360},
        {1, 1, 48, 9600, 174080},
        {1, 2, 24, 0, 11776},      // dpi 0 is 75 dpi
        {1, 2, 1, 150, 17680},     // odd depths use the 8-bit row
        {1, 2, 32, 150, 17680},
        {12, 1, 16, 4800, 172000},
        {12, 2, 16, 600, 7656},
        {12, 2, 48, 4800, 52480},
        {12, 1, 24, 75, 11792},
    };
    const ScannerEngine engine;
    for (const PeriodCase& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.source) << "/" << int(c.bus) << "/" << int(c.depth) << "/" << c.dpi);
        const LinePeriod line = LookupLinePeriod(engine, c.source, c.bus, c.depth, c.dpi);
        EXPECT_EQ(line.period, c.period);
        EXPECT_EQ(line.extra, 0);
    }
}

TEST(LinePeriodTest, MultiplierScalesFilmButNeverDocuments) {
    ScannerEngine engine;
    engine.ExposureMultiplier = 12288;
    EXPECT_EQ(LookupLinePeriod(engine, 12, 2, 24, 600).period, 17688u);
    EXPECT_EQ(LookupLinePeriod(engine, 1, 2, 24, 600).period, 5600u);
    // A large factor on a slow row must not wrap around.
    engine.ExposureMultiplier = 13 * 4096;
    EXPECT_EQ(LookupLinePeriod(engine, 12, 1, 8, 4800).period, 13u * 172000);
}

struct MultiplierCase {
    uint16_t exposure;
    uint16_t dpi;
    uint16_t multiplier;
};

TEST(ExposureMultiplierTest, FactorFromTheLongestExposure) {
    // Film, bus 2, 24-bit: p = 5896 at 600 dpi, 11000 at 1200 dpi.
    const MultiplierCase cases[] = {
        {5845, 600, 4096},
        {5846, 600, 8192},             // exactly p - 50 already needs a second line
        {2 * 5846, 600, 12288},
        {10950, 1200, 12288},          // f = 2 becomes 3 at 1200 dpi
        {2 * 10950, 1200, 12288},      // f = 3 stays
        {3 * 10950, 1200, 16384},
    };
    for (const MultiplierCase& c : cases) {
        SCOPED_TRACE(c.exposure);
        ScannerEngine engine;
        engine.device.BusSpeed = 2;
        engine.ExposureMultiplier = 8192;  // a stale value must not scale the lookup
        ChannelExposure exposure;
        exposure.exposure = {100, c.exposure, 100, 77};
        AGDataWords ag{};
        ag[18] = ag[19] = ag[20] = 4096;
        EXPECT_EQ(SetExposureMultiplier(engine, exposure, ag, 12, 24, c.dpi), 0);
        EXPECT_EQ(engine.ExposureMultiplier, c.multiplier);
        EXPECT_EQ(exposure.exposure[3], 77);  // infrared is not scaled
    }
}

TEST(ExposureMultiplierTest, GainsChangeTheCallersExposure) {
    ScannerEngine engine;
    engine.device.BusSpeed = 2;
    ChannelExposure exposure;
    exposure.exposure = {1000, 1000, 1000, 1};
    AGDataWords ag{};
    ag[18] = 2048;
    ag[19] = 4096;
    ag[20] = 8192;
    SetExposureMultiplier(engine, exposure, ag, 12, 24, 600);
    EXPECT_EQ(exposure.exposure[0], 500);
    EXPECT_EQ(exposure.exposure[1], 1000);
    EXPECT_EQ(exposure.exposure[2], 2000);
    EXPECT_EQ(engine.ExposureMultiplier, 4096);
}

TEST(ScanTimingTest, WorkedExampleDocument300Dpi) {
    const ScannerEngine engine;
    const MotorTiming t = LookupScanTiming(engine, 1, 2, 24, 3, 300);
    EXPECT_EQ(t.shift, 0);
    EXPECT_EQ(t.ctl10Bit1, 0);
    EXPECT_EQ(t.reg14, 124);
    EXPECT_EQ(t.reg15, 131);
    EXPECT_EQ(t.reg17, 4);
    for (unsigned k = 0; k < 16; ++k) {
        EXPECT_EQ(t.profile1[k], 10);
        EXPECT_EQ(t.profile2[k], 10);
    }
    for (unsigned i : {0u, 1u, 3u}) {
        EXPECT_EQ(t.ramp[i].len, 128);
        EXPECT_EQ(t.ramp[i].flat, 48);
    }
    for (unsigned i : {2u, 4u}) {
        EXPECT_EQ(t.ramp[i].len, 12);
        EXPECT_EQ(t.ramp[i].flat, 0);
    }
    for (const RampSpec& r : t.ramp) {
        EXPECT_EQ(r.startPeriod, 12800u);
        EXPECT_EQ(r.endPeriod, 4200u);
    }
    const std::vector<uint16_t> table0 = ComputeMotorTable(t.ramp[0], t.shift);
    ASSERT_EQ(table0.size(), 128u);
    for (unsigned d = 0; d <= 48; ++d) EXPECT_EQ(table0[d], 12800) << d;
    EXPECT_EQ(table0[49], 12476);
    EXPECT_EQ(table0[87], 6365);
    EXPECT_EQ(table0[127], 4200);
}

TEST(ScanTimingTest, RowRulesAndProfiles) {
    const ScannerEngine engine;
    // Shaped profiles: P (document bus 1 24-bit 1200), R (film bus 2 48-bit 1200).
    EXPECT_EQ(LookupScanTiming(engine, 1, 1, 24, 3, 1200).profile1[6], 11);
    EXPECT_EQ(LookupScanTiming(engine, 12, 2, 48, 3, 1200).profile2[7], 6);
    EXPECT_EQ(LookupScanTiming(engine, 1, 2, 8, 3, 2400).profile1[0], 2);  // Q
    // ctl10Bit1 at 9600 dpi and in the document 16-bit rows at 150 dpi.
    EXPECT_EQ(LookupScanTiming(engine, 12, 2, 24, 3, 9600).ctl10Bit1, 1);
    EXPECT_EQ(LookupScanTiming(engine, 1, 1, 16, 1, 150).ctl10Bit1, 1);
    EXPECT_EQ(LookupScanTiming(engine, 1, 2, 24, 1, 150).ctl10Bit1, 0);
    EXPECT_EQ(LookupScanTiming(engine, 1, 2, 8, 3, 1200).reg14, 120);
    EXPECT_EQ(LookupScanTiming(engine, 1, 1, 8, 3, 300).reg15, 134);
    EXPECT_EQ(LookupScanTiming(engine, 1, 1, 48, 3, 300).reg15, 130);
    // The minimum start period is 9600 outside the one 12800 cell.
    EXPECT_EQ(LookupScanTiming(engine, 1, 2, 8, 1, 300).ramp[0].startPeriod, 9600u);
}

TEST(ScanTimingTest, MoveWithoutResolution) {
    const ScannerEngine engine;
    const MotorTiming t = LookupScanTiming(engine, 1, 2, 24, 3, 0);
    EXPECT_EQ(t.shift, 0);
    EXPECT_EQ(t.ramp[0].len, 2);
    EXPECT_EQ(ComputeMotorTable(t.ramp[0], 0), (std::vector<uint16_t>{9600, 1}));
    const std::vector<uint16_t> table2 = ComputeMotorTable(t.ramp[2], 0);
    ASSERT_EQ(table2.size(), 12u);
    EXPECT_EQ(table2.front(), 9600);
    EXPECT_EQ(table2.back(), 1);
}

TEST(ScanTimingTest, SlowJobsShiftTheirTables) {
    const ScannerEngine engine;
    // Document bus 1 8-bit 4800 dpi, 4 channels: P = 4800 * 696320 / 4800.
    const MotorTiming t = LookupScanTiming(engine, 1, 1, 8, 4, 4800);
    EXPECT_EQ(t.ramp[0].endPeriod, 696320u);
    EXPECT_EQ(t.shift, 4);
    for (uint16_t entry : ComputeMotorTable(t.ramp[0], t.shift)) EXPECT_EQ(entry, 696320u >> 4);
    // 9600 dpi halves the resolution factor.
    EXPECT_EQ(LookupScanTiming(engine, 1, 2, 24, 3, 9600).ramp[0].endPeriod, 4800u * 3 * 42880 / 4800);
}

TEST(ScanTimingTest, FlatTableHoldsOnlyTheStartPeriod) {
    const ScannerEngine engine;
    const MotorTiming t = LookupScanTiming(engine, 1, 2, 16, 1, 300);
    EXPECT_EQ(t.ramp[0].len, 32);
    EXPECT_EQ(t.ramp[0].flat, 32);
    for (uint16_t entry : ComputeMotorTable(t.ramp[0], t.shift)) EXPECT_EQ(entry, t.ramp[0].startPeriod);
}

struct KindCase {
    uint8_t kind, source, bus;
    uint16_t xDpi, yDpi;
    uint16_t len0;
    uint32_t end0;
};

TEST(ScanTimingTest, KindAdjustments) {
    const ScannerEngine engine;
    const uint32_t doc1200 = 1200 * 3 * 10720 / 4800;   // document bus 2 48-bit at 1200
    const uint32_t film4800 = 4800 * 3 * 52480 / 4800;  // film bus 2 48-bit at 4800
    const KindCase cases[] = {
        {4, 1, 2, 1200, 1200, 24, 2 * doc1200},
        {4, 1, 1, 1200, 1200, 12, 2 * (1200 * 3 * 43520 / 4800)},
        {4, 12, 2, 4800, 4800, 24, film4800 / 2},
        {5, 1, 2, 1200, 1200, 6, doc1200},
        {9, 12, 2, 4800, 4800, 6, film4800},
        {0, 1, 2, 1200, 1200, 160, doc1200},
    };
    for (const KindCase& c : cases) {
        SCOPED_TRACE(int(c.kind));
        const MotorTiming t = LookupScanTimingForKind(engine, c.kind, c.source, c.bus, 48, 3, c.xDpi, c.yDpi);
        EXPECT_EQ(t.ramp[0].len, c.len0);
        EXPECT_EQ(t.ramp[1].len, c.len0);
        EXPECT_EQ(t.ramp[3].len, c.len0);
        EXPECT_EQ(t.ramp[2].len, 12);
        EXPECT_EQ(t.ramp[0].endPeriod, c.end0);
        EXPECT_EQ(t.shift, MotorTableShift(c.end0));
    }
    // Kinds 7 and 8 time the job as a 16-bit one.
    EXPECT_EQ(LookupScanTimingForKind(engine, 8, 1, 2, 24, 3, 600, 600).ramp[0].endPeriod, 600u * 3 * 5600 / 1200);
    EXPECT_EQ(LookupScanTimingForKind(engine, 7, 1, 2, 24, 3, 600, 75).ramp[0].len, 24);
}

}  // namespace
}  // namespace zrt
