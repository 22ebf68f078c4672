#include <gtest/gtest.h>

#include "engine/motion/carriage_motion.h"
#include "engine/motion/scan_programming.h"
#include "engine/motion/scan_timing.h"
#include "platform/shared_state.h"
#include "tests/motion/motion_fixture.h"

namespace zrt::test {
namespace {

class ScanProgrammingTest : public MotionTest {
protected:
    void SetUp() override {
        MotionTest::SetUp();
        platform::SharedState().FAUScanPosition = 3;
    }
    // The window registers written, in order.
    std::vector<RegisterWriteRecord> windowWrites() const {
        std::vector<RegisterWriteRecord> out;
        for (const auto& w : device.registerWrites)
            if (w.reg >= 0x07 && w.reg <= 0x0B) out.push_back(w);
        return out;
    }
};

struct WindowCase {
    const char* name;
    uint16_t dpi;
    uint8_t source;
    uint32_t xStart, width;
    uint32_t start, end, shadingIndex, pad;
    uint8_t reg07;
};

TEST_F(ScanProgrammingTest, WindowArithmeticAndRegisters) {
    const WindowCase cases[] = {
        {"600 dpi document from 0, 1000 pixels", 600, 1, 0, 8000, 435, 435 + 1008 - 1, 435, 8, 0x00},
        {"1024 pixels need no pad", 600, 1, 0, 8192, 435, 435 + 1024 - 1, 435, 0, 0x00},
        {"film at its offset starts at S", 600, 12, 9968, 8000, 388, 388 + 1008 - 1, 388, 8, 0x00},
        {"film left of its offset is clamped", 600, 12, 100, 8000, 388, 388 + 1008 - 1, 388, 8, 0x00},
        {"300 dpi halves the sensor pixels", 300, 1, 800, 8000, 435 + 100, 535 + 1000 + 12 * 2 - 1, 435, 12, 0x00},
        {"4800 dpi uses the high address bits", 4800, 1, 200000, 40832, 200933, 241764, 933, 0, 0x0F},
    };
    for (const WindowCase& c : cases) {
        SCOPED_TRACE(c.name);
        device.clearLog();
        engine.device.RegisterShadow[0x07] = 0;
        ScanWindow window;
        ASSERT_EQ(SetScanWindow(engine, c.dpi, c.source, c.xStart, c.width, window), 0);
        EXPECT_EQ(window.shadingIndex, c.shadingIndex);
        EXPECT_EQ(window.padPixels, c.pad);
        const std::vector<RegisterWriteRecord> expected = {
            {0x07, static_cast<uint8_t>(c.reg07 & 0x0C)}, {0x07, c.reg07},
            {0x08, static_cast<uint8_t>(c.start >> 8)}, {0x09, static_cast<uint8_t>(c.start)},
            {0x0A, static_cast<uint8_t>(c.end >> 8)}, {0x0B, static_cast<uint8_t>(c.end)},
        };
        EXPECT_EQ(windowWrites(), expected);
    }
}

TEST_F(ScanProgrammingTest, FilmWindowAtAdapterPosition2) {
    platform::SharedState().FAUScanPosition = 2;
    ScanWindow window;
    ASSERT_EQ(SetScanWindow(engine, 600, 12, 4809 + 80, 8000, window), 0);
    EXPECT_EQ(last(0x09), (388u + 10) & 0xFF);
}

struct SensorCase {
    uint16_t dpi;
    uint8_t source;
    uint8_t fauPosition;
    unsigned pulses;
    uint8_t reduction;
};

TEST_F(ScanProgrammingTest, SensorModePulsesAndReduction) {
    const SensorCase cases[] = {
        {75, 1, 3, 1, 3}, {600, 1, 3, 1, 0}, {1200, 1, 3, 2, 0}, {2400, 1, 3, 4, 1},
        {2400, 12, 3, 3 + 8, 0}, {2400, 12, 2, 3 + 4, 0}, {4800, 1, 3, 4, 0}, {300, 4, 2, 1 + 4, 1},
    };
    for (const SensorCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dpi << " dpi, source " << int(c.source));
        platform::SharedState().FAUScanPosition = c.fauPosition;
        clock.slept = 0;
        device.clearLog();
        ASSERT_EQ(SetSensorMode(engine, c.dpi, c.source), 0);
        EXPECT_EQ(clock.slept, 2u * c.pulses);  // 1 ms high, 1 ms low per pulse
        EXPECT_EQ(last(0xB0) & 0x0F, c.reduction);
    }
    device.clearLog();
    EXPECT_EQ(SetSensorMode(engine, 0, 1), 0);
    EXPECT_TRUE(device.registerWrites.empty());
}

TEST_F(ScanProgrammingTest, ExposureRegisters) {
    ChannelExposure exposure;
    exposure.level = {255, 254, 253, 252};
    exposure.exposure = {0x1234, 0x0102, 0x0A0B, 1};
    ASSERT_EQ(SetExposure(engine, 3, exposure, 1, 2, 24, 300), 0);
    EXPECT_EQ(device.writesTo(0x64), std::vector<uint8_t>{0});
    EXPECT_EQ(device.writesTo(0x65), std::vector<uint8_t>{0});
    EXPECT_EQ(lastTriple(0x61), 5600u);
    EXPECT_EQ(last(0x50), 0x04u);
    EXPECT_EQ(last(0x51), 0x07u);
    EXPECT_EQ(last(0x5A), 255u);
    EXPECT_EQ(last(0x5D), 252u);
    EXPECT_EQ(last(0x52), 0x12u);
    EXPECT_EQ(last(0x53), 0x34u);
    EXPECT_EQ(last(0x57), 0x0Bu);
    EXPECT_EQ(last(0x59), 1u);
    EXPECT_EQ(device.writesTo(0x5E), std::vector<uint8_t>{2});
    EXPECT_EQ(device.writesTo(0x5F), (std::vector<uint8_t>{0, 3}));
    EXPECT_EQ(device.writesTo(0x60).size(), 4u);

    // Film periods carry the multiplier; one channel selects green alone.
    device.clearLog();
    engine.ExposureMultiplier = 12288;
    ASSERT_EQ(SetExposure(engine, 1, exposure, 12, 2, 24, 600), 0);
    EXPECT_EQ(lastTriple(0x61), 17688u);
    EXPECT_EQ(last(0x51), 0x02u);
}

TEST_F(ScanProgrammingTest, KindTwoTakesTheLowerLinePeriodOnTheSameWindow) {
    const ChannelExposure exposure;
    ScanSetup setup;
    setup.xDpi = 600;
    setup.yDpi = 600;
    setup.depth = 24;
    setup.width = 8000;
    setup.lines = 4;
    setup.exposure = &exposure;
    ASSERT_EQ(ProgramScan(engine, setup, 2), 0);
    EXPECT_EQ(lastTriple(0x61), 5896u);  // the 150 dpi period
    EXPECT_EQ(last(0x09), 435u & 0xFF);
    EXPECT_EQ(engine.progress.RawLineBytes, 3000u);
    EXPECT_EQ(engine.progress.RawLineExtra, 24u);
    EXPECT_EQ(lastTriple(0xA1), (3000u + 24) * 2 + 16);
    EXPECT_EQ(lastTriple(0x66), 12u);  // lines x channels
}

TEST_F(ScanProgrammingTest, SixteenBitJobsUploadNoGamma) {
    const ChannelExposure exposure;
    ScanSetup setup;
    setup.xDpi = setup.yDpi = 300;
    setup.width = 4800;
    setup.lines = 1;
    setup.exposure = &exposure;
    for (uint8_t depth : {uint8_t{16}, uint8_t{48}, uint8_t{8}}) {
        SCOPED_TRACE(int(depth));
        device.clearLog();
        setup.depth = depth;
        ASSERT_EQ(ProgramScan(engine, setup, 0), 0);
        const bool byteDepth = depth == 8;
        EXPECT_EQ(device.dataWrites.size(), byteDepth ? 3u + 5u : 5u);
        EXPECT_EQ(engine.device.RegisterShadow[0x01] & 0x01, byteDepth ? 1 : 0);
        if (byteDepth) {
            EXPECT_EQ(device.dataWrites[0][200], 200);  // identity gamma
        }
    }
}

TEST_F(ScanProgrammingTest, WorkedExampleTimingRegistersAndTable) {
    ASSERT_TRUE(engine.device.SelectMemoryLayout(0));
    device.clearLog();
    const MotorTiming t = LookupScanTiming(engine, 1, 2, 24, 3, 300);
    ASSERT_EQ(WriteScanTiming(engine, 100, 30, 0, 0, 0, 0, t), 0);
    EXPECT_EQ(last(0x12), 64u);
    EXPECT_EQ(last(0x13), 64u);
    EXPECT_EQ(last(0x16), 64u);
    EXPECT_EQ(last(0x21), 6u);
    EXPECT_EQ(last(0x20), 6u);
    EXPECT_EQ(last(0x14), 124u);
    EXPECT_EQ(last(0x15), 131u);
    EXPECT_EQ(last(0x17), 2u);
    EXPECT_EQ(last(0x18), 0u);
    EXPECT_EQ(lastTriple(0x1D), 100u);
    EXPECT_EQ(lastTriple(0x66), 30u);
    EXPECT_EQ(lastTriple(0x1A), 2u);
    EXPECT_EQ(last(0x43), 0x1Cu);
    EXPECT_EQ((last(0x44) << 8) | last(0x45), 0x9C38u);
    for (uint32_t reg = 0x23; reg <= 0x42; ++reg) EXPECT_EQ(last(reg), 10u) << reg;
    EXPECT_EQ(engine.device.RegisterShadow[0x11], 0x81);  // runs forward, no home stop
    EXPECT_EQ(engine.device.RegisterShadow[0x10] & 0x06, 0x04);

    ASSERT_EQ(device.dataWrites.size(), 5u);
    EXPECT_EQ(device.writesTo(0x75), (std::vector<uint8_t>{0x00, 0x02, 0x04, 0x06, 0x08}));
    const std::vector<uint8_t>& table0 = device.dataWrites[0];
    ASSERT_GE(table0.size(), 256u);
    const auto entry = [&](unsigned d) { return table0[2 * d] | (table0[2 * d + 1] << 8); };
    EXPECT_EQ(entry(0), 12800);
    EXPECT_EQ(entry(48), 12800);
    EXPECT_EQ(entry(49), 12476);
    EXPECT_EQ(entry(87), 6365);
    EXPECT_EQ(entry(127), 4200);

    // Strip scans into memory run with the fixed motor control values.
    device.clearLog();
    ASSERT_EQ(WriteScanTiming(engine, 4, 6, 0, 0, 0, 1, t), 0);
    EXPECT_EQ(last(0x13), 0u);
    EXPECT_EQ(last(0x14), 1u);
    EXPECT_EQ(last(0x15), 1u);
    EXPECT_EQ(last(0x17), 1u);
}

TEST_F(ScanProgrammingTest, MoveWithoutResolution) {
    ASSERT_EQ(MoveCarriage(engine, 2, 0, 0, 0, 0, 1, 1), 0);
    EXPECT_EQ(clock.slept, 0u);                // no sensor mode pulses
    EXPECT_EQ(last(0x09), 435u & 0xFF);        // the 600 dpi window
    EXPECT_EQ(lastTriple(0x1D), 2u);
    EXPECT_EQ(last(0x12), 1u);
    EXPECT_EQ(last(0x16), 1u);
    EXPECT_EQ(last(0x22), 1u);
    EXPECT_EQ(last(0x21), 6u);
    EXPECT_EQ(last(0x18), 0u);
    EXPECT_EQ(engine.device.RegisterShadow[0x10] & 0x10, 0x10);  // ctl10Bit4
    ASSERT_GE(device.dataWrites.size(), 5u);
    const std::vector<uint8_t>& table0 = device.dataWrites[device.dataWrites.size() - 5];
    EXPECT_EQ(std::vector<uint8_t>(table0.begin(), table0.begin() + 4), (std::vector<uint8_t>{0x80, 0x25, 0x01, 0x00}));
    const std::vector<uint8_t>& table2 = device.dataWrites[device.dataWrites.size() - 3];
    EXPECT_EQ(table2[0] | (table2[1] << 8), 9600);
    EXPECT_EQ(table2[22] | (table2[23] << 8), 1);
    EXPECT_EQ(device.writesTo(0x03), std::vector<uint8_t>{1});
}

TEST_F(ScanProgrammingTest, StartEngineWaitsForTheCounter) {
    auto model = device.onRegisterRead;
    for (unsigned zeroOnRead : {10u, 11u}) {
        SCOPED_TRACE(zeroOnRead);
        device.clearLog();
        clock.slept = 0;
        auto reads = std::make_shared<unsigned>(0);
        device.onRegisterRead = [=](uint8_t reg, unsigned n) -> std::optional<uint8_t> {
            if (reg == 0x4C) return ++*reads >= zeroOnRead ? 0 : 1;
            return model(reg, n);
        };
        const StatusCode s = StartEngine(engine);
        if (zeroOnRead == 10) {
            EXPECT_EQ(s, 0);
            EXPECT_EQ(clock.slept, 9u * 50);
            EXPECT_EQ(device.writesTo(0x03), std::vector<uint8_t>{1});
            EXPECT_EQ(engine.device.RegisterShadow[0x11] & 0x10, 0x10);
        } else {
            EXPECT_EQ(s, status::StartCounterWaitFailed);
            EXPECT_TRUE(device.writesTo(0x03).empty());
        }
    }
}

TEST_F(ScanProgrammingTest, StartCommandFailureDisarms) {
    device.failRegisterWrites(0x03);
    EXPECT_EQ(StartEngine(engine), status::StartCommandFailed);
    EXPECT_EQ(engine.device.RegisterShadow[0x11] & 0x10, 0);
    EXPECT_EQ(last(0x80) & 0x02, 0x02u);
}

struct FailureCase {
    uint32_t reg;
    StatusCode expected;
};

TEST_F(ScanProgrammingTest, FailedWriteNamesItsStep) {
    const FailureCase cases[] = {
        {0x01, status::MemoryLayoutFailed}, {0xB0, status::RegB0Failed},
        {0x08, status::WindowRegistersFailed}, {0xA2, status::RegA0Failed},
        {0x64, status::Reg64Failed}, {0x62, status::Reg61Failed},
        {0x5B, status::ExposureRegistersFailed}, {0x5E, status::Reg5EFailed},
        {0x60, status::Reg60BitsFailed}, {0x81, status::Reg81Failed}, {0x84, status::Reg83Failed},
        {0x10, status::Reg10Bit4Failed}, {0x11, status::Reg11Bit7Failed},
        {0x13, status::Reg13Failed}, {0x20, status::Reg20Failed}, {0x1E, status::Reg1DFailed},
        {0x68, status::Reg66Failed}, {0x17, status::Reg17Failed}, {0x45, status::Reg43Failed},
        {0x18, status::Reg18Failed},
        {0x30, status::Ok},  // profile writes are not reported
    };
    const ChannelExposure exposure;
    ScanSetup setup;
    setup.xDpi = setup.yDpi = 600;
    setup.width = 8000;
    setup.lines = 2;
    setup.exposure = &exposure;
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.reg);
        ScriptedDevice failing;
        ScannerEngine failingEngine;
        ASSERT_TRUE(failingEngine.device.OpenDevice("scripted", failing.transport()));
        failing.failRegisterWrites(c.reg);
        EXPECT_EQ(ProgramScan(failingEngine, setup, 0), c.expected);
        if (c.reg == 0x30) {
            EXPECT_TRUE(failing.writesTo(0x18).empty());
        }
    }
}

}  // namespace
}  // namespace zrt::test
