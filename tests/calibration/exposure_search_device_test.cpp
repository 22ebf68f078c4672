// The exposure search and a reference pass against a scripted controller
// whose lamp channels respond linearly to the programmed exposure.
#include <gtest/gtest.h>

#include <algorithm>

#include "calibration/calibration_fixture.h"
#include "engine/calibration/exposure_search.h"
#include "engine/calibration/measure_reference.h"
#include "engine/motion/line_period.h"
#include "support/scripted_device.h"

namespace zrt {
namespace {

class ScriptedLamp : public test::CalibrationTest {
protected:
    void SetUp() override {
        CalibrationTest::SetUp();
        ASSERT_TRUE(engine.device.OpenDevice("scripted", device.transport()));
        ASSERT_TRUE(engine.shading.Allocate());
        ASSERT_TRUE(darkBuffers.Allocate());
        ASSERT_TRUE(whiteBuffers.Allocate());
        for (uint32_t i = 0; i < kShadingEntries; ++i) darkBuffers.table[1][i] = static_cast<uint16_t>(i % 300);
        // Plenty of image data always waiting.
        device.registers[0xA5] = 0x01;
        device.registers[0xA6] = 0x00;
        device.registers[0xA7] = 0x00;
        device.onDataRead = [this](size_t n) { return Deliver(n); };
        device.clearLog();
    }

    uint16_t ProgrammedExposure(unsigned ch) const {
        return static_cast<uint16_t>(device.registers[0x52 + 2 * ch] << 8 | device.registers[0x53 + 2 * ch]);
    }

    // The 8-bit level channel `ch` shows at the programmed exposure.
    uint8_t LevelOf(unsigned ch) const {
        if (fixedLevel[ch] >= 0) return static_cast<uint8_t>(fixedLevel[ch]);
        return static_cast<uint8_t>(std::min<uint32_t>(255, uint32_t(ProgrammedExposure(ch)) * 256 / lampScale[ch]));
    }

    // Raw lines of `channels` planes, every sample of a plane at its level.
    std::vector<uint8_t> Deliver(size_t n) {
        const size_t lineBytes = engine.progress.RawLineBytes + engine.progress.RawLineExtra;
        const size_t planeBytes = lineBytes / channels;
        std::vector<uint8_t> bytes(n);
        for (size_t b = 0; b < n; ++b, ++delivered) {
            const size_t plane = (delivered % lineBytes) / planeBytes;
            const uint16_t sample = static_cast<uint16_t>(LevelOf(static_cast<unsigned>(plane)) << 8 | 0x80);
            bytes[b] = (delivered % 2 == 0) ? static_cast<uint8_t>(sample) : static_cast<uint8_t>(sample >> 8);
        }
        return bytes;
    }

    size_t Strips() const { return device.writesTo(0x03).size(); }

    test::ScriptedDevice device;
    ScannerEngine engine;
    ReferenceBuffers darkBuffers, whiteBuffers;
    ChannelExposure exposure;
    uint8_t channels = 3;
    size_t delivered = 0;
    // Exposure giving full scale, per channel; or a fixed level.
    std::array<uint32_t, 4> lampScale{5000, 6000, 4000, 5000};
    std::array<int, 4> fixedLevel{-1, -1, -1, -1};
};

TEST_F(ScriptedLamp, DocumentSearchSettlesEveryChannelNearItsTarget) {
    const uint32_t T = LinePeriodTableEntry(1, static_cast<uint8_t>(engine.device.BusSpeed), 48, 600);
    ASSERT_EQ(SearchExposure(engine, exposure, 600, 1, darkBuffers.Set()), status::Ok);
    EXPECT_LE(Strips(), 21u);
    for (unsigned ch = 0; ch < 3; ++ch) {
        const uint32_t level = uint32_t(exposure.exposure[ch]) * 256 / lampScale[ch];
        EXPECT_GE(level, 200u) << "channel " << ch;
        EXPECT_LE(level, 220u) << "channel " << ch;
    }
    EXPECT_EQ(exposure.exposure[3], T >= 0x10000 ? 58727 : T - 255);
    EXPECT_EQ(exposure.level, (std::array<uint8_t, 4>{255, 255, 255, 255}));
    // The search measured dark-corrected: gain 1.0, offset 512 - dark.
    EXPECT_EQ(engine.shading.ShadingEntryCount, 5104u);
    EXPECT_EQ(engine.shading.ShadingGain[1][0], 0x4000);
    EXPECT_EQ(engine.shading.ShadingOffset[1][299], 512 - 299);
    EXPECT_EQ(engine.shading.ShadingOffset[1][5103], 512 - 5103 % 300);
}

TEST_F(ScriptedLamp, AChannelAlreadyOnTargetKeepsTheStartExposure) {
    fixedLevel = {210, 205, 215, -1};
    const uint32_t T = LinePeriodTableEntry(1, static_cast<uint8_t>(engine.device.BusSpeed), 48, 600);
    ASSERT_EQ(SearchExposure(engine, exposure, 600, 1, darkBuffers.Set()), status::Ok);
    EXPECT_EQ(Strips(), 1u);
    const uint16_t start = T >= 0x20000 ? 58982 : static_cast<uint16_t>(T / 2);
    EXPECT_EQ(exposure.exposure[0], start);
    EXPECT_EQ(exposure.exposure[2], start);
}

TEST_F(ScriptedLamp, ADeadLampFailsAfterTwentyOneStrips) {
    fixedLevel = {-1, -1, 40, -1};  // blue never gets bright
    EXPECT_EQ(SearchExposure(engine, exposure, 600, 1, darkBuffers.Set()), status::LevelThreeChannelsFailed);
    EXPECT_EQ(Strips(), 21u);

    // Film: the infrared channel passes above 75 even when not settled.
    device.clearLog();
    channels = 4;
    delivered = 0;
    fixedLevel = {-1, -1, -1, 80};
    EXPECT_EQ(SearchExposure(engine, exposure, 1200, 12, darkBuffers.Set()), status::Ok);
    EXPECT_EQ(Strips(), 21u);
    device.clearLog();
    delivered = 0;
    fixedLevel = {-1, -1, -1, 70};
    EXPECT_EQ(SearchExposure(engine, exposure, 1200, 12, darkBuffers.Set()), status::LevelFourChannelsFailed);
}

// A 300 dpi dark pass is captured at 600 dpi and lands in sub-block 1.
TEST_F(ScriptedLamp, ADarkPassFillsTheSubBlockOfItsLinePeriod) {
    fixedLevel = {1, 2, 3, -1};
    ReferenceSet dark = darkBuffers.Set();
    for (auto& t : darkBuffers.table) std::fill(t.begin(), t.end(), 0);
    ASSERT_EQ(MeasureReference(engine, 300, 1, 48, exposure, true, ReferenceSet{}, dark), status::Ok);
    EXPECT_EQ(exposure.exposure, (std::array<uint16_t, 4>{1, 1, 1, 1}));
    for (unsigned ch = 0; ch < 3; ++ch) {
        EXPECT_EQ(dark.channel[ch][5103], 0) << "sub-block 0 untouched, channel " << ch;
        EXPECT_EQ(dark.channel[ch][5104], ((ch + 1) << 8) | 0x80) << "channel " << ch;
        EXPECT_EQ(dark.channel[ch][2 * 5104 - 1], ((ch + 1) << 8) | 0x80) << "channel " << ch;
        EXPECT_EQ(dark.channel[ch][2 * 5104], 0) << "channel " << ch;
    }
    EXPECT_EQ(dark.channel[3][5104], 0);  // documents have three channels
}

}  // namespace
}  // namespace zrt

