#include <gtest/gtest.h>

#include "engine/motion/carriage_motion.h"
#include "tests/motion/motion_fixture.h"

namespace zrt::test {
namespace {

using CarriageMotionTest = MotionTest;

TEST_F(CarriageMotionTest, WaitMotionEndPollsSixHundredTimes) {
    for (unsigned idleOnRead : {600u, 601u}) {
        SCOPED_TRACE(idleOnRead);
        device.clearLog();
        clock.slept = 0;
        auto reads = std::make_shared<unsigned>(0);
        device.onRegisterRead = [=](uint8_t reg, unsigned) -> std::optional<uint8_t> {
            if (reg != 0x46) return std::nullopt;
            return ++*reads >= idleOnRead ? 0x00 : 0x02;
        };
        const StatusCode s = WaitMotionEnd(engine, 0);
        EXPECT_EQ(*reads, 600u);
        EXPECT_EQ(s, idleOnRead == 600 ? status::Ok : status::MotionTimeout);
        EXPECT_EQ(clock.slept, 599u * 100 + (idleOnRead == 600 ? 0 : 100));
        EXPECT_EQ(device.writesTo(0x80).size(), idleOnRead == 600 ? 1u : 0u);
    }
}

TEST_F(CarriageMotionTest, WaitMotionEndModesAndDisarm) {
    device.registers[0x46] = 0x41;  // bit 1 clear: the stop's wait is over
    engine.device.RegisterShadow[0x11] = 0x10;
    EXPECT_EQ(WaitMotionEnd(engine, 1), 0);
    EXPECT_EQ(engine.device.RegisterShadow[0x80] & 0x02, 0x02);
    EXPECT_EQ(engine.device.RegisterShadow[0x11] & 0x10, 0);

    device.registers[0x46] = 0x40;
    EXPECT_EQ(WaitMotionEnd(engine, 0), status::MotionTimeout);

    device.registers[0x46] = 0;
    device.failRegisterWrites(0x11);
    EXPECT_EQ(WaitMotionEnd(engine, 0), status::MotionEndClear11Failed);
    device.failRegisterWrites(0x80);
    EXPECT_EQ(WaitMotionEnd(engine, 0), status::MotionEndSet80Failed);
    device.failRegisterReads(0x46);
    EXPECT_EQ(WaitMotionEnd(engine, 0), status::StatusRegisterReadFailed);
}

TEST_F(CarriageMotionTest, WaitControllerIdle) {
    device.registers[0x46] = 0x02;
    EXPECT_EQ(WaitControllerIdle(engine), 0);
    device.registers[0x46] = 0x01;
    EXPECT_EQ(WaitControllerIdle(engine), status::ControllerIdleTimeout);
    EXPECT_EQ(clock.slept, 600u * 100);
}

struct SpeedCase {
    uint16_t motionDpi;
    uint8_t reg12;     // half the motor table 0 length
    uint32_t period;   // line period programmed
    uint8_t ctl10Bit1;
};

TEST_F(CarriageMotionTest, SpeedCodesSelectResolutionAndKind) {
    const SpeedCase cases[] = {
        {350, 16, 5600, 0},    // 300 x 300, timed as 16-bit
        {650, 12, 5600, 0},    // 600 x 600, timed as 16-bit
        {550, 12, 5600, 1},    // 600 x 150, timed as 16-bit
        {560, 12, 5600, 0},    // 600 x 75, kind 7
        {75, 125, 11776, 0},
        {1200, 80, 10720, 0},
    };
    for (const SpeedCase& c : cases) {
        SCOPED_TRACE(c.motionDpi);
        device.clearLog();
        ASSERT_EQ(MoveCarriage(engine, 1234, c.motionDpi, 0, 0, 0, 0, 0), 0);
        EXPECT_EQ(lastTriple(0x1D), 1234u);
        EXPECT_EQ(last(0x12), c.reg12);
        EXPECT_EQ(lastTriple(0x61), c.period);
        EXPECT_EQ(engine.device.RegisterShadow[0x10] & 0x02, c.ctl10Bit1 << 1);
    }
}

TEST_F(CarriageMotionTest, MoveOfNoStepsOnlyWaits) {
    for (int32_t steps : {0, -5}) {
        device.clearLog();
        EXPECT_EQ(MoveCarriage(engine, steps, 600, 0, 0, 0, 0, 0), 0);
        EXPECT_TRUE(device.registerWrites.empty() || device.writesTo(0x12).empty());
        EXPECT_FALSE(device.registerReads.empty());  // the wait still ran
    }
    EXPECT_EQ(carriage.starts, 0u);
}

TEST_F(CarriageMotionTest, ReturnHomeRunsToTheSensor) {
    carriage.position = 0;
    EXPECT_EQ(ReturnHome(engine, 1, 0), 0);
    EXPECT_EQ(carriage.starts, 0u);

    carriage.position = 5000;
    EXPECT_EQ(ReturnHome(engine, 1, 0), 0);
    EXPECT_EQ(carriage.moves, std::vector<int32_t>{kFullTravelSteps});
    EXPECT_EQ(engine.device.RegisterShadow[0x11] & 0xA4, 0x24);  // reverse, home stop
    EXPECT_EQ(lastTriple(0x61), 11776u);                          // 75 dpi

    carriage.position = 5000;
    EXPECT_EQ(ReturnHome(engine, 0, 1), 0);
    EXPECT_EQ(lastTriple(0x61), 5600u);                           // fast: 300 dpi
}

TEST_F(CarriageMotionTest, ReturnHomeReleasesTheDriveFirst) {
    device.registers[0x91] = 0x10;  // drive sensor active
    EXPECT_EQ(ReturnHome(engine, 1, 0), 0);
    EXPECT_EQ(carriage.moves, (std::vector<int32_t>{210, 100, kFullTravelSteps}));
    // Line 13 is bit 0 of register 0x9B, which also carries the sensor mode
    // clock; follow its changes only.
    std::vector<int> line13;
    for (uint8_t value : device.writesTo(0x9B))
        if (line13.empty() || line13.back() != (value & 1)) line13.push_back(value & 1);
    EXPECT_EQ(line13, (std::vector<int>{1, 0}));
}

TEST_F(CarriageMotionTest, HomeAndVerifyLeavesTheCarriageOffHome) {
    EXPECT_EQ(HomeAndVerify(engine), 0);
    EXPECT_EQ(carriage.moves, (std::vector<int32_t>{kFullTravelSteps, 2, 1000}));
    EXPECT_EQ(carriage.position, 1002);
}

struct HomeFailure {
    const char* name;
    bool sensorWorks;
    bool sensorStuck;
    bool failLine6;
    StatusCode returnHome;
    StatusCode homeAndVerify;
};

class HomeSensorFailureTest : public MotionTest, public ::testing::WithParamInterface<HomeFailure> {};

TEST_P(HomeSensorFailureTest, ReportsTheFailingCheck) {
    const HomeFailure& c = GetParam();
    if (c.failLine6) device.failRegisterWrites(0x90);
    carriage.sensorWorks = c.sensorWorks;
    carriage.sensorStuck = c.sensorStuck;
    EXPECT_EQ(ReturnHome(engine, 1, 0), c.returnHome);
    carriage.position = 500;
    EXPECT_EQ(HomeAndVerify(engine), c.homeAndVerify);
}

INSTANTIATE_TEST_SUITE_P(Cases, HomeSensorFailureTest, ::testing::Values(
    HomeFailure{"SensorNeverReports", false, false, false, status::NotAtHomeAfterMove,
                status::NotAtHomeAfterMove},
    HomeFailure{"SensorAlwaysReports", true, true, false, status::Ok, status::HomeSensorWrongState},
    HomeFailure{"Line6CannotBeCleared", true, false, true, status::HomeSensorBeforeMoveFailed,
                status::ResetControllerFailed}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CarriageMotionTest, HomeAndVerifyParksTheFilmMotor) {
    engine.config.Source = 12;
    device.onRegisterWrite = [this](uint8_t reg, uint8_t value) {
        if (reg == 0x03 && value == 1) startJob();
        if (reg == 0xC2 && (value & 0x07) == 2) device.registers[0xC7] |= 0x01;  // reaches home
    };
    EXPECT_EQ(HomeAndVerify(engine), 0);
    EXPECT_EQ(device.writesTo(0xC1), std::vector<uint8_t>{0xE9});  // a homing run
}

struct FeedCase {
    uint32_t bus;
    uint16_t yRes;
    uint8_t depth;
    uint32_t distance;
    int32_t feed;       // 0: no move
    uint32_t distanceAfter;
};

TEST_F(CarriageMotionTest, FeedToScanStart) {
    const FeedCase cases[] = {
        {2, 150, 24, 2000, 0, 2000},
        {1, 75, 24, 2000, 0, 2000},
        {2, 300, 8, 2000, 0, 2000},
        {2, 300, 16, 2000, 0, 2000},
        {2, 600, 24, 0, 0, 0},
        {2, 600, 24, 2000, 2000 - 6 - 12 - 250 - 60, 4},
        {2, 1200, 24, 2000, 2000 - 3 - 12 - 250 - 60, 4},
        {2, 600, 24, 500, 500 - 6 - 12 - 24, 4},
        {1, 150, 24, 500, 500 - 6 - 12 - 24, 4},
        {2, 600, 24, 30, 0, 30},   // closer than the ramps: the job travels itself
        {1, 150, 24, 0, 0, 0},
    };
    for (const FeedCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bus << "/" << c.yRes << "/" << int(c.depth) << "/" << c.distance);
        carriage.moves.clear();
        engine.device.BusSpeed = c.bus;
        engine.config.YRes = c.yRes;
        engine.config.Depth = c.depth;
        uint32_t distance = c.distance;
        ASSERT_EQ(FeedToScanStart(engine, distance), 0);
        EXPECT_EQ(distance, c.distanceAfter);
        EXPECT_EQ(carriage.moves, c.feed == 0 ? std::vector<int32_t>{} : std::vector<int32_t>{c.feed});
    }
}

TEST_F(CarriageMotionTest, HighResolutionDriveProbes) {
    // Sensor active before the first probe: engaged at once.
    device.registers[0x91] = 0x10;
    EXPECT_EQ(SetHighResolutionDrive(engine, 1), 0);
    EXPECT_EQ(engine.highResDriveEngaged, 1u);
    EXPECT_EQ(carriage.moves, (std::vector<int32_t>{210, 70}));
    EXPECT_GE(clock.slept, 1500u);

    // Never active: ten probes of growing length, not recorded as engaged.
    carriage.moves.clear();
    engine.highResDriveEngaged = 0;
    device.registers[0x91] = 0;
    EXPECT_EQ(SetHighResolutionDrive(engine, 1), 0);
    EXPECT_EQ(engine.highResDriveEngaged, 0u);
    EXPECT_EQ(carriage.moves,
              (std::vector<int32_t>{210, 100, 100, 110, 110, 120, 120, 130, 130, 140, 140, 70}));

    // Release.
    carriage.moves.clear();
    engine.highResDriveEngaged = 1;
    EXPECT_EQ(SetHighResolutionDrive(engine, 0), 0);
    EXPECT_EQ(engine.highResDriveEngaged, 0u);
    EXPECT_EQ(carriage.moves, (std::vector<int32_t>{210, 10, 10, 10, 10}));
}

TEST_F(CarriageMotionTest, HighResolutionDriveStopsAtAFailedWait) {
    device.registers[0x46] = 0x02;
    EXPECT_EQ(SetHighResolutionDrive(engine, 1), status::MotionTimeout);
    EXPECT_TRUE(carriage.moves.empty());
}

}  // namespace
}  // namespace zrt::test
