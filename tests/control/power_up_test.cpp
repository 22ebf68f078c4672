#include <gtest/gtest.h>

#include <memory>

#include "engine/control/power_up.h"
#include "tests/control/control_fixture.h"
#include "zrtl5617.h"

namespace zrt::test {
namespace {

class PowerUpTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        carriage.attach(device);
    }

    // Fails every image data request: the origin strip then fails with a
    // status other than "no edge".
    void failImageReads() {
        device.failWhen = [](size_t, bool isWrite, const std::vector<uint8_t>& frame) {
            return isWrite && !frame.empty() && frame[0] == 0x05;
        };
    }

    bool touchedFilmMotor() const {
        for (const auto& w : device.registerWrites)
            if (w.reg >= 0xC0 && w.reg <= 0xC9) return true;
        for (uint8_t reg : device.registerReads)
            if (reg >= 0xC0 && reg <= 0xC9) return true;
        return false;
    }

    ScriptedCarriage carriage;
};

TEST_F(PowerUpTest, IsSkippedWithoutTrafficOnceTheScannerIsPoweredUp) {
    OpenProcessEngine();
    platform::SharedState().OriginOffset = 517;
    Process().LastStatus = 0x9B0C;
    EXPECT_EQ(::InitializeScanner(0), 1);
    EXPECT_EQ(Process().LastStatus, 0x9B0C);
    EXPECT_EQ(Engine().OriginOffset, 517);
    EXPECT_TRUE(device.writes.empty());
}

TEST_F(PowerUpTest, AnOriginNotFoundTwiceFailsAndTheNextCallRepeatsThePowerUp) {
    OpenProcessEngine();  // the strips read all zero: no edge anywhere
    EXPECT_EQ(::InitializeScanner(0), 0);
    EXPECT_EQ(Process().LastStatus, status::OriginNotFound);
    EXPECT_EQ(platform::SharedState().OriginOffset, 0);
    const unsigned firstRun = carriage.starts;
    EXPECT_GT(firstRun, 0u);

    EXPECT_EQ(::InitializeScanner(0), 0);
    EXPECT_EQ(Process().LastStatus, status::OriginNotFound);
    EXPECT_EQ(carriage.starts, 2 * firstRun);
    EXPECT_EQ(platform::SharedState().OriginOffset, 0);
    // A failed power-up leaves the operation lines raised.
    EXPECT_EQ(device.registers[0x60] & 0x01, 0x01);
    EXPECT_FALSE(touchedFilmMotor());
}

TEST_F(PowerUpTest, AFailureAfterTheProvisionalOriginKeepsIt) {
    OpenProcessEngine();
    carriage.busyBits = 0x01;  // the first wait for the end of motion times out
    EXPECT_EQ(::InitializeScanner(0), 0);
    EXPECT_EQ(Process().LastStatus, status::MotionTimeout);
    EXPECT_EQ(platform::SharedState().OriginOffset, 300);

    carriage.busyBits = 0;
    device.clearLog();
    EXPECT_EQ(::InitializeScanner(0), 1);
    EXPECT_TRUE(device.writes.empty());
    EXPECT_EQ(Engine().OriginOffset, 300);
}

TEST_F(PowerUpTest, AnotherOriginFailureEndsThePowerUpWithoutErrorAndWithoutAnOrigin) {
    Open();
    failImageReads();
    EXPECT_EQ(PowerUp(engine), status::Ok);
    EXPECT_EQ(platform::SharedState().OriginOffset, 0);
    EXPECT_FALSE(touchedFilmMotor());
    // Lines 15 and 11 and register 0x60 bit 0 are lowered at the end.
    EXPECT_EQ(device.registers[0x9B] & 0x04, 0);
    EXPECT_EQ(device.registers[0x90] & 0x40, 0);
    EXPECT_EQ(device.registers[0x60] & 0x01, 0);
}

TEST_F(PowerUpTest, AnAdapterAlreadyAtHomeGetsOnlyTheShortMoveAndTheSecondCheck) {
    Open();
    failImageReads();
    carriage.filmAdapter = true;
    carriage.filmMotorHome = true;
    device.registers[0xC9] = 100;  // the position counter after the move
    EXPECT_EQ(PowerUp(engine), status::Ok);
    // 0xC1 is 0xE9 for a homing run and 0xF0 for a counted move.
    EXPECT_EQ(device.writesTo(0xC1), std::vector<uint8_t>{0xF0});
    EXPECT_EQ(device.writesTo(0xC4), std::vector<uint8_t>{0x00});
    EXPECT_EQ(device.writesTo(0xC5), std::vector<uint8_t>{100});
    size_t homeReads = 0;
    for (uint8_t reg : device.registerReads) homeReads += reg == 0xC7;
    EXPECT_EQ(homeReads, 2u);
}

TEST_F(PowerUpTest, AFailedFirstLineWriteEndsQuietly) {
    // Without an open device every register write fails: the power-up stops
    // at its first step and InitializeScanner reports success.
    EXPECT_EQ(::InitializeScanner(0), 1);
    EXPECT_EQ(Process().LastStatus, status::Ok);
    EXPECT_EQ(platform::SharedState().OriginOffset, 0);
    EXPECT_EQ(Engine().OriginOffset, 0);
}

}  // namespace
}  // namespace zrt::test
