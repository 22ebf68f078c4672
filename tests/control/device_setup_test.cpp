#include <gtest/gtest.h>

#include <vector>

#include "engine/control/device_setup.h"
#include "engine/control/find_scanner.h"
#include "tests/control/control_fixture.h"

namespace zrt::test {
namespace {

using SetUpDeviceTest = ControlTest;

TEST_F(SetUpDeviceTest, WritesTheRegisterSequenceOfAFreshController) {
    Open();
    ASSERT_EQ(SetUpDevice(engine), status::Ok);

    const std::vector<RegisterWriteRecord> expected = {
        // reset
        {0x02, 0x01}, {0x02, 0x00}, {0x01, 0x00}, {0x01, 0x28},
        // memory on, layout 0 (its own writes follow and are not listed)
        {0xA0, 0x04}, {0xA0, 0x05},
    };
    ASSERT_GE(device.registerWrites.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(device.registerWrites[i].reg, expected[i].reg) << i;
        EXPECT_EQ(device.registerWrites[i].value, expected[i].value) << i;
    }

    // From the control lines on, the whole tail of the set-up.
    const std::vector<RegisterWriteRecord> tail = {
        {0x90, 0x27}, {0x92, 0xF7}, {0x94, 0xF7}, {0x93, 0x00}, {0x91, 0x1F}, {0x95, 0x0F},
        {0x97, 0x0F}, {0x9B, 0x00}, {0x9C, 0x07}, {0x90, 0xF0}, {0x9B, 0x04},
        {0x98, 0x00}, {0x98, 0x00}, {0x98, 0x02}, {0x99, 0x3B}, {0x9A, 0x03},
        {0x80, 0x10}, {0x8D, 0x00}, {0x8D, 0x04},
        {0x85, 0x00}, {0x87, 0x00}, {0x88, 0x70},
        {0x85, 0x03}, {0x87, 0x00}, {0x88, 0x00},
        {0x85, 0x06}, {0x87, 0x00}, {0x88, 0x88},
        {0x60, 0x01},
    };
    size_t start = 0;
    while (start < device.registerWrites.size() &&
           !(device.registerWrites[start].reg == 0x90 && device.registerWrites[start].value == 0x27))
        ++start;
    ASSERT_EQ(device.registerWrites.size() - start, tail.size());
    for (size_t i = 0; i < tail.size(); ++i) {
        EXPECT_EQ(device.registerWrites[start + i].reg, tail[i].reg) << i;
        EXPECT_EQ(device.registerWrites[start + i].value, tail[i].value) << i;
    }

    // The shadow was refreshed from the device (0xFF is never read), the
    // tables exist at identity and the control-line settle times were kept.
    size_t shadowReads = 0;
    for (uint8_t reg : device.registerReads) shadowReads += reg == 0x7F;
    EXPECT_EQ(shadowReads, 1u);
    EXPECT_EQ(engine.device.GammaAddress[2], 0x200);
    EXPECT_TRUE(engine.gamma.Allocated());
    EXPECT_EQ(engine.gamma.slot[1][0x1234], 0x1234);
    EXPECT_TRUE(engine.shading.AllPresent());
    EXPECT_GE(clock.slept, 301u);
}

TEST_F(SetUpDeviceTest, APoweredUpScannerIsNotResetUnderItsOtherUser) {
    platform::SharedState().OriginOffset = 412;
    Open();
    ASSERT_EQ(SetUpDevice(engine), status::Ok);
    EXPECT_TRUE(device.writesTo(0x02).empty());
    EXPECT_TRUE(device.writesTo(0xA0).empty());
    EXPECT_FALSE(device.writesTo(0x90).empty());
}

struct FailingStep {
    const char* name;
    uint32_t failingRegister;
    StatusCode expected;
};

class SetUpFailureTest : public ControlTest, public ::testing::WithParamInterface<FailingStep> {};

TEST_P(SetUpFailureTest, ReportsTheStatusOfTheFailedStep) {
    Open();
    device.failRegisterWrites(GetParam().failingRegister);
    EXPECT_EQ(SetUpDevice(engine), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SetUpFailureTest,
    ::testing::Values(FailingStep{"Reset", 0x02, status::ResetControllerFailed},
                      FailingStep{"ResetFields", 0x01, status::ResetControllerFailed},
                      FailingStep{"Memory", 0xA0, status::EnableMemoryFailed},
                      FailingStep{"ControlLineFirst", 0x90, status::InitControlLinesFailed},
                      FailingStep{"ControlLineLast", 0x9B, status::InitControlLinesFailed},
                      FailingStep{"ControlLineMiddle", 0x97, status::InitControlLinesFailed},
                      FailingStep{"Aux98", 0x98, status::InitAuxRegistersFailed},
                      FailingStep{"Aux9A", 0x9A, status::InitAuxRegistersFailed},
                      FailingStep{"Indirect80", 0x80, status::InitIndirectRegistersFailed},
                      FailingStep{"Indirect8D", 0x8D, status::InitIndirectRegistersFailed},
                      FailingStep{"IndirectIndex", 0x85, status::InitIndirectRegistersFailed},
                      FailingStep{"IndirectValueLow", 0x88, status::InitIndirectRegistersFailed},
                      FailingStep{"Register60", 0x60, status::Register60Failed}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SetUpDeviceTest, AFailedButtonPortReadFailsTheControlLines) {
    Open();
    device.failRegisterReads(0x91);
    EXPECT_EQ(SetUpDevice(engine), status::InitControlLinesFailed);
}

TEST_F(SetUpDeviceTest, AnIndirectPortThatStaysBusyFailsTheIndirectRegisters) {
    Open();
    device.registers[0x8B] = 0x01;
    EXPECT_EQ(SetUpDevice(engine), status::InitIndirectRegistersFailed);
    EXPECT_TRUE(device.writesTo(0x85).empty());
}

TEST_F(SetUpDeviceTest, ASecondSetUpReplacesTheGammaTablesByIdentity) {
    Open();
    ASSERT_EQ(SetUpDevice(engine), status::Ok);
    engine.gamma.slot[0][7] = 99;
    engine.shading.ShadingEntryCount = 5;
    ASSERT_EQ(SetUpDevice(engine), status::Ok);
    EXPECT_EQ(engine.gamma.slot[0][7], 7);
    EXPECT_EQ(engine.shading.ShadingEntryCount, 0u);
}

// --- FindScannerEx ----------------------------------------------------

using FindScannerTest = ControlTest;

TEST_F(FindScannerTest, OpensAndSetsUpAndASecondCallDoesNothing) {
    EXPECT_EQ(FindScanner(engine, "scripted", device.transport()), 1);
    EXPECT_EQ(Process().DeviceOpened, 1u);
    EXPECT_EQ(Process().LastStatus, status::Ok);
    EXPECT_EQ(device.registers[0x60] & 0x01, 0x01);

    Process().LastStatus = 0x9B0C;
    device.clearLog();
    EXPECT_EQ(FindScanner(engine, "scripted", device.transport()), 1);
    EXPECT_EQ(Process().LastStatus, 0x9B0C);
    EXPECT_TRUE(device.writes.empty());
}

TEST_F(FindScannerTest, APathThatCannotBeOpenedReportsOpenFailed) {
    for (const char* path : {"/no/such/device", "", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(FindScanner(engine, path), 0);
        EXPECT_EQ(Process().LastStatus, status::OpenFailed);
        EXPECT_EQ(Process().DeviceOpened, 0u);
        EXPECT_FALSE(engine.device.IsOpen());
    }
}

TEST_F(FindScannerTest, AnotherDeviceIsRefused) {
    device.descriptor[10] = 0x43;  // idProduct low byte
    EXPECT_EQ(FindScanner(engine, "scripted", device.transport()), 0);
    EXPECT_EQ(Process().LastStatus, status::OpenFailed);
    EXPECT_FALSE(engine.device.IsOpen());
}

TEST_F(FindScannerTest, AMovingCarriageFailsAndClosesTheDevice) {
    device.registers[0x46] = 0x40;
    EXPECT_EQ(FindScanner(engine, "scripted", device.transport()), 0);
    EXPECT_EQ(Process().LastStatus, status::DeviceActive);
    EXPECT_EQ(Process().DeviceOpened, 0u);
    EXPECT_TRUE(device.closed);
    EXPECT_TRUE(device.writesTo(0x02).empty());
}

TEST_F(FindScannerTest, AnUnreadableStatusRegisterOrAFailedSetUpClosesTheDevice) {
    device.failRegisterReads(0x46);
    EXPECT_EQ(FindScanner(engine, "scripted", device.transport()), 0);
    EXPECT_EQ(Process().LastStatus, status::StatusRegisterReadFailed);
    EXPECT_TRUE(device.closed);

    ScriptedDevice second;
    second.failRegisterWrites(0x98);
    EXPECT_EQ(FindScanner(engine, "scripted", second.transport()), 0);
    EXPECT_EQ(Process().LastStatus, status::InitAuxRegistersFailed);
    EXPECT_TRUE(second.closed);
    EXPECT_EQ(Process().DeviceOpened, 0u);
}

}  // namespace
}  // namespace zrt::test
