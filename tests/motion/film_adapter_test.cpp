#include <gtest/gtest.h>

#include "engine/motion/carriage_motion.h"
#include "tests/motion/motion_fixture.h"

namespace zrt::test {
namespace {

// The film motor: register 0xC7 bit 0 is its home sensor, 0xC8-0xC9 its
// position counter.
class FilmAdapterTest : public MotionTest {
protected:
    // The home sensor answers `atHome` for the first `reads` reads, then the opposite.
    void homeSensor(bool atHome, unsigned reads) {
        auto count = std::make_shared<unsigned>(0);
        device.onRegisterRead = [=](uint8_t reg, unsigned) -> std::optional<uint8_t> {
            if (reg != 0xC7) return std::nullopt;
            return (++*count <= reads) == atHome ? 0x01 : 0x00;
        };
    }
    void counter(uint16_t value) {
        device.registers[0xC8] = static_cast<uint8_t>(value >> 8);
        device.registers[0xC9] = static_cast<uint8_t>(value);
    }
};

TEST_F(FilmAdapterTest, AbsentAdapter) {
    device.registers[0x90] = 0x08;  // line 8 high: nothing plugged in
    EXPECT_EQ(MoveFilmAdapter(engine, 100, 1), status::FilmAdapterNotReady);
    EXPECT_TRUE(device.registerWrites.empty());
}

TEST_F(FilmAdapterTest, HomingFromTheHomeSensor) {
    homeSensor(true, 1000);
    EXPECT_EQ(MoveFilmAdapter(engine, 0, 2), 0);
    EXPECT_TRUE(device.registerWrites.empty());

    // Direction 1 steps off the sensor in 2-step moves: two here.
    homeSensor(true, 2);
    EXPECT_EQ(MoveFilmAdapter(engine, 0, 1), 0);
    EXPECT_EQ(device.writesTo(0xC5), (std::vector<uint8_t>{2, 2}));
}

TEST_F(FilmAdapterTest, HomingRun) {
    homeSensor(false, 5);  // reaches the sensor on the fifth poll
    EXPECT_EQ(MoveFilmAdapter(engine, 0, 2), 0);
    EXPECT_EQ(device.writesTo(0xC1), std::vector<uint8_t>{0xE9});
    EXPECT_EQ(device.writesTo(0xC2).back() & 0x07, 2);
    EXPECT_EQ(engine.device.RegisterShadow[0xC0] & 0x01, 0);  // motor released

    device.clearLog();
    homeSensor(false, 100000);
    EXPECT_EQ(MoveFilmAdapter(engine, 0, 2), status::FilmAdapterNotReady);
}

struct StepCase {
    int32_t steps;
    uint16_t counter;
    StatusCode expected;
};

TEST_F(FilmAdapterTest, CounterCheckAfterAMove) {
    const StepCase cases[] = {
        {100, 100, status::Ok},
        {100, 0, status::FilmMotorDidNotMove},
        {5, 0, status::Ok},       // short requests are not checked
        {-100, 0, status::Ok},
        {-100, 100, status::Ok},
    };
    for (const StepCase& c : cases) {
        SCOPED_TRACE(c.steps);
        device.clearLog();
        counter(c.counter);
        EXPECT_EQ(MoveFilmAdapter(engine, c.steps, 1), c.expected);
        EXPECT_EQ(device.writesTo(0xC4).back(), static_cast<uint8_t>((c.steps >> 8) & 0xFF));
        EXPECT_EQ(device.writesTo(0xC5).back(), static_cast<uint8_t>(c.steps & 0xFF));
        EXPECT_EQ(engine.device.RegisterShadow[0xC0] & 0x01, 0);
    }
}

TEST_F(FilmAdapterTest, CounterThatNeverSettlesDoesNotHang) {
    device.onRegisterRead = [](uint8_t reg, unsigned n) -> std::optional<uint8_t> {
        if (reg == 0xC9) return static_cast<uint8_t>(n);
        return std::nullopt;
    };
    EXPECT_EQ(MoveFilmAdapter(engine, 100, 1), 0);
    EXPECT_EQ(engine.device.RegisterShadow[0xC0] & 0x01, 0);
}

}  // namespace
}  // namespace zrt::test
