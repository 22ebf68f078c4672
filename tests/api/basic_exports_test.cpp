#include <gtest/gtest.h>

#include "engine/api/export_support.h"
#include "engine/api/scanner_engine.h"
#include "platform/shared_state.h"
#include "tests/support/scripted_device.h"
#include "zrtl5617.h"

namespace zrt {
namespace {

TEST(SimpleExports, FixedAnswersForAnyHandle) {
    for (ZrtHandle handle : {0u, 1u, 0xFFFFFFFFu}) {
        uint8_t adf = 0x55;
        uint32_t version = 0x55555555;
        uint16_t size = 0;
        EXPECT_EQ(GetADFMode(handle, &adf), 1);
        EXPECT_EQ(adf, 0);
        EXPECT_EQ(GetKelvoAPIVersion(handle, &version), 1);
        EXPECT_EQ(version, 0u);
        EXPECT_EQ(GetScannerAbilitySize(handle, &size), 1);
        EXPECT_EQ(size, 512);
    }
}

TEST(SimpleExports, StatusReadsTheLastRecordedValueWithoutTheLock) {
    Process().LastStatus = status::FilmXOrigin;
    // Held by "another caller": the status query must not wait for it.
    platform::AcquireBusyFlag();
    uint16_t value = 0;
    EXPECT_EQ(GetScannerStatus(0, &value), 1);
    platform::ReleaseBusyFlag();
    EXPECT_EQ(value, status::FilmXOrigin);
    Process().LastStatus = status::Ok;
}

TEST(SimpleExports, NullOutputIsRefusedNotWritten) {
    EXPECT_EQ(GetScannerStatus(0, nullptr), 0);
    EXPECT_EQ(GetADFMode(0, nullptr), 0);
    EXPECT_EQ(GetKelvoAPIVersion(0, nullptr), 0);
    EXPECT_EQ(GetScannerAbilitySize(0, nullptr), 0);
    EXPECT_EQ(ReadRegister(0x46, nullptr), 0);
}

TEST(TerminateScanner, WithoutFindScannerClearsStatusAndFreesTheFlag) {
    Process().LastStatus = status::PushButtonReadFailed;
    Process().DeviceOpened = 0;
    EXPECT_EQ(TerminateScanner(0), 1);
    EXPECT_EQ(Process().LastStatus, status::Ok);
    EXPECT_EQ(platform::SharedState().BusyFlag, 0u);
    // A second call finds the flag free again.
    EXPECT_EQ(TerminateScanner(7), 1);
}

class OpenDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Engine().device.OpenDevice("scripted", device.transport()));
        device.clearLog();
    }
    void TearDown() override {
        Engine().device.CloseDevice();
        Process().DeviceOpened = 0;
    }
    test::ScriptedDevice device;
};

TEST_F(OpenDeviceTest, TerminateClosesAnOpenedDeviceAndKeepsTheOriginOffset) {
    Process().DeviceOpened = 1;
    platform::SharedState().OriginOffset = 1234;
    Process().LastStatus = status::MotionTimeout;
    EXPECT_EQ(TerminateScanner(0), 1);
    EXPECT_EQ(Process().DeviceOpened, 0u);
    EXPECT_FALSE(Engine().device.IsOpen());
    EXPECT_TRUE(device.closed);
    EXPECT_EQ(Process().LastStatus, status::Ok);
    EXPECT_EQ(platform::SharedState().OriginOffset, 1234);
    EXPECT_TRUE(device.registerWrites.empty());
    platform::SharedState().OriginOffset = 0;
}

TEST_F(OpenDeviceTest, RegisterExportsUseTheLowByteAndLeaveTheStatus) {
    Process().LastStatus = status::FilmYEnd;
    device.registers[0x46] = 0x5C;
    uint8_t value = 0;
    EXPECT_EQ(ReadRegister(0x146, &value), 1);
    EXPECT_EQ(value, 0x5C);
    EXPECT_EQ(Engine().device.RegisterShadow[0x46], 0);  // a read does not touch the shadow

    EXPECT_EQ(WriteRegister(0xA5, 0x1234), 1);
    ASSERT_EQ(device.registerWrites.size(), 1u);
    EXPECT_EQ(device.registerWrites[0].reg, 0xA5u);
    EXPECT_EQ(device.registerWrites[0].value, 0x34);
    EXPECT_EQ(Engine().device.RegisterShadow[0xA5], 0x34);

    device.failRegisterWrites(0x60);
    EXPECT_EQ(WriteRegister(0x60, 1), 0);
    EXPECT_EQ(Process().LastStatus, status::FilmYEnd);
    Process().LastStatus = status::Ok;
}

TEST(RegisterExports, ClosedDeviceAnswersZeroAndLeavesTheStatus) {
    ASSERT_FALSE(Engine().device.IsOpen());
    Process().LastStatus = status::FilmHeight;
    uint8_t value = 0x77;
    EXPECT_EQ(ReadRegister(0x46, &value), 0);
    EXPECT_EQ(value, 0x77);
    EXPECT_EQ(WriteRegister(0x46, 1), 0);
    EXPECT_EQ(Process().LastStatus, status::FilmHeight);
    Process().LastStatus = status::Ok;
}

}  // namespace
}  // namespace zrt
