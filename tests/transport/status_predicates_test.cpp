#include <gtest/gtest.h>

#include "tests/transport/controller_fixture.h"

namespace zrt::test {
namespace {

TEST_F(ControllerTest, BusyPredicatesTestTheirMaskOfTheStatusRegister) {
    const struct {
        uint8_t status;
        bool motion, scanStop, controller;
    } cases[] = {
        {0x40, true, false, false}, {0x02, true, true, false}, {0x01, true, false, true},
        {0x08, false, false, false}, {0xBC, false, false, false}, {0x43, true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "0x46 = 0x" << std::hex << unsigned(c.status));
        device.registers[0x46] = c.status;
        bool motion = !c.motion, scanStop = !c.scanStop, busy = !c.controller;
        EXPECT_EQ(controller.ReadMotionBusy(motion, 0), status::Ok);
        EXPECT_EQ(controller.ReadMotionBusy(scanStop, 1), status::Ok);
        EXPECT_EQ(controller.ReadControllerBusy(busy), status::Ok);
        EXPECT_EQ(motion, c.motion);
        EXPECT_EQ(scanStop, c.scanStop);
        EXPECT_EQ(busy, c.controller);
    }
}

TEST_F(ControllerTest, UnreadableStatusRegisterIsReportedAndNeverBusy) {
    device.registers[0x46] = 0xFF;
    device.failRegisterReads(0x46);
    bool busy = true;
    EXPECT_EQ(controller.ReadMotionBusy(busy, 0), status::StatusRegisterReadFailed);
    EXPECT_FALSE(busy);
    busy = true;
    EXPECT_EQ(controller.ReadControllerBusy(busy), status::StatusRegisterReadFailed);
    EXPECT_FALSE(busy);
}

TEST_F(ControllerTest, HomeSensorLowersTheTransferLineWaitsThenReadsStably) {
    controller.RegisterShadow[0x90] = 0xFF;
    device.registers[0x46] = 0x08;
    uint64_t sleptBeforeFirstRead = 0;
    device.onRegisterRead = [&](uint8_t reg, unsigned count) -> std::optional<uint8_t> {
        if (reg == 0x46 && count == 1) sleptBeforeFirstRead = clock.slept;
        return std::nullopt;
    };
    bool atHome = false;
    ASSERT_TRUE(controller.ReadHomeSensor(atHome));
    EXPECT_TRUE(atHome);
    EXPECT_EQ(device.writesTo(0x90), std::vector<uint8_t>{0xFD});
    EXPECT_EQ(sleptBeforeFirstRead, 20u);
    EXPECT_EQ(device.registerReads, (std::vector<uint8_t>{0x46, 0x46}));
}

TEST_F(ControllerTest, HomeSensorFailuresReportFalseAndNotAtHome) {
    // Bit 3 changing between every two reads: no agreement after six reads.
    device.onRegisterRead = [](uint8_t, unsigned count) -> std::optional<uint8_t> {
        return static_cast<uint8_t>(count % 2 ? 0x08 : 0x00);
    };
    bool atHome = true;
    EXPECT_FALSE(controller.ReadHomeSensor(atHome));
    EXPECT_FALSE(atHome);
    EXPECT_EQ(device.registerReads.size(), 6u);

    device.clearLog();
    device.failRegisterWrites(0x90);
    atHome = true;
    EXPECT_FALSE(controller.ReadHomeSensor(atHome));
    EXPECT_FALSE(atHome);
    EXPECT_TRUE(device.registerReads.empty());
}

TEST_F(ControllerTest, FilmAdapterIsPresentWhenLineEightReadsLowTwice) {
    const struct {
        uint8_t line8Register;
        bool present;
    } cases[] = {{0x00, true}, {0xF7, true}, {0x08, false}, {0xFF, false}};
    for (const auto& c : cases) {
        device.clearLog();
        device.registers[0x90] = c.line8Register;
        bool present = !c.present;
        EXPECT_EQ(controller.DetectFilmAdapter(present), status::Ok);
        EXPECT_EQ(present, c.present);
        EXPECT_EQ(device.registerReads, (std::vector<uint8_t>{0x90, 0x90}));
    }
}

TEST_F(ControllerTest, FilmAdapterDetectionNamesEachKindOfFailure) {
    bool present = true;
    device.onRegisterRead = [](uint8_t, unsigned count) -> std::optional<uint8_t> {
        return static_cast<uint8_t>(count % 2 ? 0x00 : 0x08);
    };
    EXPECT_EQ(controller.DetectFilmAdapter(present), status::FilmAdapterUnstable);
    EXPECT_FALSE(present);
    EXPECT_EQ(device.registerReads.size(), 6u);

    device.onRegisterRead = nullptr;
    failReadsOf(0x90, 1);
    present = true;
    EXPECT_EQ(controller.DetectFilmAdapter(present), status::FilmAdapterFirstReadFailed);
    EXPECT_FALSE(present);

    failReadsOf(0x90, 2);
    present = true;
    EXPECT_EQ(controller.DetectFilmAdapter(present), status::FilmAdapterLaterReadFailed);
    EXPECT_FALSE(present);
}

}  // namespace
}  // namespace zrt::test
