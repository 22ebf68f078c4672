// The control exports against the virtual scanner, as an application sees
// them.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/control/find_scanner.h"
#include "engine/control/power_up.h"
#include "sim/sim_transport.h"
#include "sim/virtual_scanner.h"
#include "tests/control/control_fixture.h"
#include "zrtl5617.h"

namespace zrt::test {
namespace {

class SimControlTest : public ControlTest {
protected:
    void TearDown() override {
        ::TerminateScanner(0);
        ControlTest::TearDown();
    }

    // Opens and powers up the virtual scanner at `path`.
    void Start(const std::string& path) {
        ASSERT_EQ(::FindScannerEx(0, path.c_str()), 1) << std::hex << Process().LastStatus;
        model = sim::LastOpenedScanner();
        ASSERT_NE(model, nullptr);
        ASSERT_EQ(::InitializeScanner(0), 1) << std::hex << Process().LastStatus;
    }

    uint16_t Status() const {
        uint16_t code = 0;
        ::GetScannerStatus(0, &code);
        return code;
    }

    std::shared_ptr<sim::VirtualScanner> model;
};

TEST_F(SimControlTest, PowerUpMeasuresTheOriginAndParksTheFilmAdapter) {
    Start("sim");
    const uint16_t origin = platform::SharedState().OriginOffset;
    // The reference edge lies between the home sensor and the glass origin.
    EXPECT_GT(origin, 300);
    EXPECT_LT(origin, 1495);
    EXPECT_EQ(Engine().OriginOffset, origin);
    // Parked: the film motor sits next to its home sensor, the operation
    // lines are down.
    EXPECT_LT(model->filmMotorSteps(), 100);
    EXPECT_EQ(model->peekRegister(0x60) & 0x01, 0);
    EXPECT_EQ(model->peekRegister(0x9B) & 0x04, 0);
    EXPECT_EQ(Status(), status::Ok);
}

TEST_F(SimControlTest, ASecondEngineSkipsTheResetAndThePowerUp) {
    Start("sim");
    const uint16_t origin = platform::SharedState().OriginOffset;
    // A marker the controller reset would clear.
    ASSERT_TRUE(Engine().device.WriteControllerRegister(0x0F, 0x5A));
    const double carriage = model->carriageSteps();
    ::TerminateScanner(0);

    ScannerEngine second;
    ASSERT_EQ(FindScanner(second, "sim", sim::CreateSimTransport(model)), 1) << std::hex << Process().LastStatus;
    bool ranPowerUp = true;
    EXPECT_EQ(InitializeScanner(second, ranPowerUp), status::Ok);
    EXPECT_FALSE(ranPowerUp);
    EXPECT_EQ(second.OriginOffset, origin);
    EXPECT_EQ(model->writtenRegister(0x0F), 0x5A);
    EXPECT_EQ(model->carriageSteps(), carriage);
    second.device.CloseDevice();
    Process().DeviceOpened = 0;
}

TEST_F(SimControlTest, FilmGuideCheckFindsThePatternUnlessItIsMissing) {
    Start("sim");
    EXPECT_EQ(::SetLamp(0, 255), 0);
    EXPECT_EQ(Status(), status::FilmGuideFound);
    ::TerminateScanner(0);

    Start("sim:guide=missing");
    EXPECT_EQ(::SetLamp(0, 255), 0);
    EXPECT_EQ(Status(), status::FilmGuideNotFound);
}

TEST_F(SimControlTest, TpuModeAndFilmSourcesFollowTheAdapter) {
    Start("sim");
    uint8_t mode = 7;
    EXPECT_EQ(::GetTPUMode(0, &mode), 1);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(::SetLamp(0, 4), 1);
    EXPECT_EQ(Process().LampSelection, 12);
    ::TerminateScanner(0);

    Start("sim:film=none");
    EXPECT_EQ(::GetTPUMode(0, &mode), 1);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(::SetLamp(0, 8), 0);
    EXPECT_EQ(Status(), status::NoFilmAdapterForFilmSource);
    EXPECT_EQ(::SetLamp(0, 255), 0);
    EXPECT_EQ(Status(), status::NoFilmAdapterForGuideCheck);
    EXPECT_EQ(::SetLamp(0, 1), 1);
}

TEST_F(SimControlTest, ADarkScannerFindsNoOriginAndABusyOneIsNotSetUp) {
    ASSERT_EQ(::FindScannerEx(0, "sim:lamp=off"), 1);
    EXPECT_EQ(::InitializeScanner(0), 0);
    EXPECT_EQ(Status(), status::OriginNotFound);
    EXPECT_EQ(platform::SharedState().OriginOffset, 0);
    ::TerminateScanner(0);

    EXPECT_EQ(::FindScannerEx(0, "sim:busy=1"), 0);
    EXPECT_EQ(Status(), status::DeviceActive);
    EXPECT_EQ(Process().DeviceOpened, 0u);
    EXPECT_EQ(::FindScannerEx(0, "sim:pid=0x3c43"), 0);
    EXPECT_EQ(Status(), status::OpenFailed);
}

struct SelfTestCase {
    const char* name;
    const char* path;
    int32_t type;
    StatusCode expected;
};

class SimSelfTest : public SimControlTest, public ::testing::WithParamInterface<SelfTestCase> {};

TEST_P(SimSelfTest, ReportsTheModelsHealth) {
    Start(GetParam().path);
    EXPECT_EQ(::TestScanner(0, GetParam().type, 0, 0, 0), GetParam().expected == status::Ok ? 1 : 0);
    EXPECT_EQ(Status(), GetParam().expected);
    EXPECT_EQ(::TestScanner(0, 1, 0, 0, 0), GetParam().expected == status::Ok ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Models, SimSelfTest,
    ::testing::Values(SelfTestCase{"CarriageRunHealthy", "sim", 4, status::Ok},
                      SelfTestCase{"SensorHealthy", "sim", 5, status::Ok},
                      SelfTestCase{"SensorLampDead", "sim:lamp=dead", 5, status::SensorTestTooDark},
                      SelfTestCase{"SensorLeak", "sim:sensor=leak", 5, status::SensorTestDarkTooBright},
                      SelfTestCase{"BurnInEnds", "sim", 0, status::Ok}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimControlTest, ButtonsReadThroughTheExport) {
    Start("sim");
    uint8_t report[2] = {};
    for (int button = 1; button <= 7; ++button) {
        model->pressButton(button);
        EXPECT_EQ(::ReadPushButton(0, report), 1);
        EXPECT_EQ(report[0], 0x80) << button;
        EXPECT_EQ(report[1], 1 << (button - 1)) << button;
    }
    model->releaseButtons();
    EXPECT_EQ(::ReadPushButton(0, report), 1);
    EXPECT_EQ(report[0], 0);
    EXPECT_EQ(report[1], 0);
}

}  // namespace
}  // namespace zrt::test
