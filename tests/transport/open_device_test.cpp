#include <gtest/gtest.h>

#include "tests/transport/controller_fixture.h"

namespace zrt::test {
namespace {

class OpenDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { platform::InstallClock(&clock); }
    void TearDown() override { platform::InstallClock(nullptr); }

    VirtualClock clock;
    ScriptedDevice device;
    Controller controller;
};

TEST_F(OpenDeviceTest, BusSpeedComesFromBitZeroOfD0) {
    const struct {
        uint8_t d0;
        uint32_t busSpeed;
    } cases[] = {{0x01, 2}, {0x00, 1}, {0xFE, 1}, {0xFF, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "0xD0 = " << unsigned(c.d0));
        device.registers[0xD0] = c.d0;
        ASSERT_TRUE(controller.OpenDevice("scripted", device.transport()));
        EXPECT_TRUE(controller.IsOpen());
        EXPECT_EQ(controller.BusSpeed, c.busSpeed);
        EXPECT_EQ(device.registerReads.back(), 0xD0);
        controller.CloseDevice();
    }
}

TEST_F(OpenDeviceTest, DeviceRevisionComesFromTheOptionalSummary) {
    ASSERT_TRUE(controller.OpenDevice("scripted", device.transport()));
    EXPECT_EQ(controller.DeviceRevision, 0);
    controller.CloseDevice();
    device.summary = std::array<uint8_t, 8>{0x17, 0x5A, 0x42, 0x3C, 0x09, 0x01, 0x09, 0x04};
    ASSERT_TRUE(controller.OpenDevice("scripted", device.transport()));
    EXPECT_EQ(controller.DeviceRevision, 0x0109);
}

TEST_F(OpenDeviceTest, WrongOrUnreadableDescriptorClosesTheDeviceBeforeAnyFrame) {
    const struct {
        const char* name;
        size_t byte;
        uint8_t value;
        bool descriptorSucceeds;
    } cases[] = {
        {"other vendor", 8, 0x18, true},
        {"other vendor high byte", 9, 0x5B, true},
        {"other product", 10, 0x43, true},
        {"other product high byte", 11, 0x3D, true},
        {"request fails", 0, 18, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDevice other;
        other.descriptor[c.byte] = c.value;
        other.descriptorSucceeds = c.descriptorSucceeds;
        EXPECT_FALSE(controller.OpenDevice("scripted", other.transport()));
        EXPECT_FALSE(controller.IsOpen());
        EXPECT_TRUE(other.closed);
        EXPECT_EQ(other.exchanges, 0u);
    }
}

TEST_F(OpenDeviceTest, UnreadableBusSpeedRegisterClosesTheDevice) {
    device.failRegisterReads(0xD0);
    EXPECT_FALSE(controller.OpenDevice("scripted", device.transport()));
    EXPECT_FALSE(controller.IsOpen());
    EXPECT_TRUE(device.closed);
    EXPECT_EQ(device.exchanges, 5u);
    EXPECT_EQ(clock.slept, 50u);
}

TEST_F(OpenDeviceTest, PathThatCannotBeOpenedLeavesTheDeviceClosed) {
    device.openSucceeds = false;
    EXPECT_FALSE(controller.OpenDevice("scripted", device.transport()));
    EXPECT_FALSE(controller.IsOpen());
    EXPECT_EQ(device.exchanges, 0u);
    EXPECT_FALSE(controller.OpenDevice("no-such-device"));
    EXPECT_FALSE(controller.IsOpen());
    // No bus carries address 255 for long; the open must fail, not hang.
    EXPECT_FALSE(controller.OpenDevice("usb:255:255"));
    EXPECT_FALSE(controller.IsOpen());
}

TEST_F(OpenDeviceTest, ClosedDeviceRefusesEveryExchangeAndClosesTwiceQuietly) {
    ASSERT_TRUE(controller.OpenDevice("scripted", device.transport()));
    controller.CloseDevice();
    EXPECT_TRUE(device.closed);
    controller.CloseDevice();
    const size_t before = device.exchanges;
    uint8_t value = 0;
    EXPECT_FALSE(controller.ReadControllerRegister(0x46, value));
    EXPECT_FALSE(controller.WriteControllerRegister(0x46, 1));
    uint8_t buffer[16];
    EXPECT_FALSE(controller.ReadImageData(buffer, sizeof buffer));
    EXPECT_EQ(device.exchanges, before);
}

TEST_F(OpenDeviceTest, ReopeningClosesThePreviousDevice) {
    ASSERT_TRUE(controller.OpenDevice("scripted", device.transport()));
    ScriptedDevice second;
    ASSERT_TRUE(controller.OpenDevice("scripted", second.transport()));
    EXPECT_TRUE(device.closed);
    EXPECT_FALSE(second.closed);
}

}  // namespace
}  // namespace zrt::test
