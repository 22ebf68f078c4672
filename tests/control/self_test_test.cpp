#include <gtest/gtest.h>

#include "engine/control/self_test.h"
#include "tests/control/control_fixture.h"
#include "zrtl5617.h"

namespace zrt::test {
namespace {

TEST(SensorLine, LitAndUnlitThresholds) {
    struct Case {
        bool lit;
        uint8_t smallest;
        uint8_t largest;
        StatusCode expected;
    };
    const Case cases[] = {
        {true, 56, 200, status::Ok},           {true, 55, 200, status::SensorTestTooDark},
        {true, 0, 3, status::Ok},              {true, 0, 4, status::SensorTestTooDark},
        {true, 71, 255, status::Ok},           {true, 70, 255, status::SensorTestTooDark},
        {false, 0, 80, status::Ok},            {false, 0, 81, status::SensorTestDarkTooBright},
        {false, 81, 81, status::SensorTestDarkTooBright},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JudgeSensorLine(c.lit, c.smallest, c.largest), c.expected)
            << c.lit << " " << int(c.smallest) << " " << int(c.largest);
}

class SelfTestTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        carriage.attach(device);
    }
    ScriptedCarriage carriage;
};

TEST_F(SelfTestTest, AnUnlitLineBrighterThanEightyFails) {
    Open();
    ScriptedCarriage::feedImage(device, engine, [](size_t, size_t, size_t) { return uint8_t{81}; });
    EXPECT_EQ(SensorTest(engine, false), status::SensorTestDarkTooBright);
    ScriptedCarriage::feedImage(device, engine, [](size_t, size_t, size_t) { return uint8_t{80}; });
    EXPECT_EQ(SensorTest(engine, false), status::Ok);
}

TEST_F(SelfTestTest, TypesWithoutATestClearTheStatusWithoutTouchingTheDevice) {
    OpenProcessEngine();
    for (int32_t type : {2, 3, 6, 255, 0x103}) {  // only the low byte counts
        Process().LastStatus = 0x9B0C;
        device.clearLog();
        EXPECT_EQ(::TestScanner(0, type, 0, 0, 0), 1) << type;
        EXPECT_EQ(Process().LastStatus, status::Ok) << type;
        EXPECT_TRUE(device.writes.empty()) << type;
    }
}

TEST_F(SelfTestTest, TypeOneReportsHowTheLastTestWent) {
    OpenProcessEngine();
    Process().LastStatus = status::SensorTestTooDark;
    EXPECT_EQ(::TestScanner(0, 1, 0, 0, 0), 0);
    EXPECT_EQ(Process().LastStatus, status::SensorTestTooDark);
    EXPECT_EQ(::TestScanner(0, 4, 0, 0, 0), 1);
    EXPECT_EQ(Process().LastStatus, status::Ok);
    EXPECT_EQ(::TestScanner(0, 1, 0, 0, 0), 1);
}

TEST_F(SelfTestTest, OneCarriageRunScansAndLowersTheLines) {
    Open();
    EXPECT_EQ(CarriageRun(engine), status::Ok);
    EXPECT_GT(carriage.starts, 0u);
    EXPECT_EQ(device.registers[0x60] & 0x01, 0);
    EXPECT_EQ(device.registers[0x9B] & 0x04, 0);

    device.failWhen = [](size_t, bool isWrite, const std::vector<uint8_t>& frame) {
        return isWrite && !frame.empty() && frame[0] == 0x05;
    };
    EXPECT_EQ(CarriageRun(engine), status::MemoryScanReadFailed);
}

TEST_F(SelfTestTest, TheBurnInEndsAfterItsCyclesOrAtTheFirstFailure) {
    Open();
    EXPECT_EQ(RepeatedCarriageRun(engine, 3), status::Ok);
    EXPECT_EQ(ScriptedCarriage::jobsOf(device, 877), 3u);

    // A failing strip ends it at once with that strip's status.
    device.failWhen = [](size_t, bool isWrite, const std::vector<uint8_t>& frame) {
        return isWrite && !frame.empty() && frame[0] == 0x05;
    };
    EXPECT_EQ(RepeatedCarriageRun(engine, 1000), status::MemoryScanReadFailed);

    // The export's run is bounded too.
    device.failWhen = nullptr;
    OpenProcessEngine();
    EXPECT_EQ(::TestScanner(0, 0, 0, 0, 0), 1);
    EXPECT_EQ(ScriptedCarriage::jobsOf(device, 877), kBurnInCycles);
}

TEST_F(SelfTestTest, AFailedLineWriteAtTheStartEndsTheTestQuietly) {
    Open();
    device.failRegisterWrites(0x90);
    for (uint8_t type : {0, 4, 5}) EXPECT_EQ(TestScanner(engine, type), status::Ok) << int(type);
    EXPECT_EQ(carriage.starts, 0u);

    ScriptedDevice second;
    ScannerEngine other;
    second.failRegisterWrites(0x60);
    ASSERT_TRUE(other.device.OpenDevice("scripted", second.transport()));
    EXPECT_EQ(TestScanner(other, 4), status::Register60Failed);
}

}  // namespace
}  // namespace zrt::test
