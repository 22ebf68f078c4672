#include <gtest/gtest.h>

#include "engine/transport/usb_paths.h"

namespace zrt {
namespace {

TEST(UsbDevicePath, NamesTheFirstScannerOrOneBusAndAddress) {
    const struct {
        const char* path;
        bool valid, any;
        uint8_t bus, address;
    } cases[] = {
        {"usb", true, true, 0, 0},
        {"usb:3:17", true, false, 3, 17},
        {"usb:001:255", true, false, 1, 255},
        {"/dev/bus/usb/002/045", true, false, 2, 45},
        {"usb:", false, false, 0, 0},
        {"usb:3", false, false, 0, 0},
        {"usb:3:", false, false, 0, 0},
        {"usb:0:4", false, false, 0, 0},
        {"usb:3:256", false, false, 0, 0},
        {"usb:3:4x", false, false, 0, 0},
        {"usb:-1:4", false, false, 0, 0},
        {"usbx", false, false, 0, 0},
        {"/dev/bus/usb/002", false, false, 0, 0},
        {"/dev/bus/usb/002/045/1", false, false, 0, 0},
        {"sim", false, false, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const auto selector = ParseUsbDevicePath(c.path);
        ASSERT_EQ(selector.has_value(), c.valid);
        if (!selector) continue;
        EXPECT_EQ(selector->any, c.any);
        EXPECT_EQ(selector->bus, c.bus);
        EXPECT_EQ(selector->address, c.address);
    }
}

}  // namespace
}  // namespace zrt
