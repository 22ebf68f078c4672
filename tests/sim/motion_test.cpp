// Carriage, high-resolution drive and film adapter motor of the virtual scanner.
#include <gtest/gtest.h>

#include "tests/sim/wire.h"

namespace zrt::sim::test {
namespace {

Job Move(uint32_t feed, bool reverse = false) {
    Job j;
    j.feed = feed;
    j.reverse = reverse;
    return j;
}

TEST(SimMotion, AMoveEndsItsProgrammedDistanceFromWhereItBegan) {
    struct Case { double from; Job job; double to; };
    Job ramps = Move(300);
    ramps.accelSteps = 128;
    ramps.decelSteps = 12;
    Job withLines = Move(100);
    withLines.rows = 6;
    withLines.linePeriod = 2 * withLines.stepPeriod;   // two steps a plane row
    Job held = withLines;
    held.hold = true;
    const Case cases[] = {
        {500, Move(1000), 1500},
        {1500, Move(1000, true), 500},
        {500, ramps, 500 + 128 + 300 + 12},   // the ramps add to the feed
        {500, withLines, 500 + 100 + 12},     // rows are captured on the move
        {500, held, 500},                     // register 0x10 bit 4 holds the carriage
        {14000, Move(1000), 14032},           // end of travel
        {300, Move(1000, true), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        Wire wire;
        wire.model->setCarriageSteps(c.from);
        ASSERT_TRUE(wire.program(c.job) && wire.start());
        EXPECT_NE(wire.read(0x46) & 0x43, 0) << "busy while the job runs";
        ASSERT_TRUE(wire.waitIdle());
        EXPECT_NEAR(wire.model->carriageSteps(), c.to, 1e-6);
        EXPECT_EQ(wire.read(0xA4) & 1, 1);
    }
}

TEST(SimMotion, HomingStopsOnTheSensor) {
    Wire wire;
    wire.model->setCarriageSteps(3000);
    EXPECT_EQ(wire.read(0x46) & 0x08, 0);
    Job home = Move(14032, true);
    home.homeStop = true;
    ASSERT_TRUE(wire.program(home) && wire.start() && wire.waitIdle());
    EXPECT_EQ(wire.model->carriageSteps(), 0.0);
    EXPECT_EQ(wire.read(0x46), 0x08);

    wire.model->setCarriageSteps(3000);
    home.homeStop = false;
    ASSERT_TRUE(wire.program(home) && wire.start());
    wire.model->advanceMs(3000 * 420 / 1000 + 50);
    EXPECT_EQ(wire.model->carriageSteps(), 0.0);
    EXPECT_NE(wire.read(0x46) & 0x43, 0) << "without homeStop it runs on against the stop";
}

TEST(SimMotion, AStopCommandEndsAJob) {
    Wire wire;
    ASSERT_TRUE(wire.program(Move(10000)) && wire.start());
    wire.model->advanceMs(100);
    ASSERT_TRUE(wire.model->jobRunning());
    ASSERT_TRUE(wire.write(0x03, 4));
    EXPECT_EQ(wire.read(0x46) & 0x43, 0);
    double stopped = wire.model->carriageSteps();
    EXPECT_GT(stopped, 0);
    EXPECT_LT(stopped, 10000);
    wire.model->advanceMs(1000);
    EXPECT_EQ(wire.model->carriageSteps(), stopped);
    EXPECT_EQ(wire.read(0xA4) & 1, 0) << "an aborted job did not capture its rows";
}

TEST(SimMotion, HighResolutionDriveEngagesThroughLine13) {
    Wire wire;
    wire.model->setCarriageSteps(2000);
    Job shift = Move(210);
    shift.line13 = true;
    ASSERT_TRUE(wire.program(shift) && wire.start() && wire.waitIdle());
    EXPECT_EQ(wire.model->carriageSteps(), 2000) << "with line 13 the motor works the shifter";
    EXPECT_TRUE(wire.model->highResDriveEngaged());
    EXPECT_EQ(wire.read(0x91) & 0x10, 0x10);

    ASSERT_TRUE(wire.program(Move(100)) && wire.start() && wire.waitIdle());
    EXPECT_EQ(wire.model->carriageSteps(), 2025) << "engaged, a step is 1/4800 inch";

    Job release = Move(210);
    release.line13 = true;
    ASSERT_TRUE(wire.write(0x10, 0x08));   // bit 3: the other way
    wire.shadow[0x10] = 0x08;
    ASSERT_TRUE(wire.program(release));
    ASSERT_TRUE(wire.write(0x10, 0x0D) && wire.start() && wire.waitIdle());
    EXPECT_FALSE(wire.model->highResDriveEngaged());
    EXPECT_EQ(wire.read(0x91) & 0x10, 0);
}

// The film adapter motor, driven the way the engine drives it.
bool FilmMove(Wire& w, uint16_t steps, uint8_t direction) {
    bool homing = steps == 0;
    bool ok = w.write(0xC0, 0x01) && w.write(0xC2, 0x04) && w.write(0xC0, homing ? 0x03 : 0x01) &&
              w.write(0xC1, homing ? 0xE9 : 0xF0) && w.write(0xC3, homing ? 0x00 : 0x40);
    if (!homing) ok = ok && w.writePair(0xC4, steps) && w.write(0xC3, 0x60) && w.write(0xC3, 0x40) && w.write(0xC7, 0x00);
    ok = ok && w.write(0xC3, homing ? 0x00 : 0x40) && w.write(0xC2, direction);
    w.model->advanceMs(3000);
    return ok;
}

TEST(SimMotion, FilmMotorCountsItsMovesAndHomes) {
    Wire wire;
    ASSERT_TRUE(FilmMove(wire, 100, 1));
    EXPECT_EQ(wire.model->filmMotorSteps(), 105) << "a long move coasts 5 steps";
    EXPECT_EQ((wire.read(0xC8) << 8) | wire.read(0xC9), 105);
    EXPECT_EQ(wire.read(0xC7) & 1, 0);
    ASSERT_TRUE(FilmMove(wire, uint16_t(65536 - 20), 2));
    EXPECT_EQ(wire.model->filmMotorSteps(), 81);
    EXPECT_EQ((wire.read(0xC8) << 8) | wire.read(0xC9), 65536 - 24);
    ASSERT_TRUE(FilmMove(wire, 0, 2));
    EXPECT_EQ(wire.model->filmMotorSteps(), 0);
    EXPECT_EQ(wire.read(0xC7) & 1, 1);

    wire.model->setFilmMotorStuck(true);
    ASSERT_TRUE(FilmMove(wire, 100, 1));
    EXPECT_EQ(wire.model->filmMotorSteps(), 0);
    EXPECT_EQ((wire.read(0xC8) << 8) | wire.read(0xC9), 0);
}

}  // namespace
}  // namespace zrt::sim::test
