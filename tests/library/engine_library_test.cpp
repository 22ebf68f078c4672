// The engine as an application sees it: only the public header and the
// shared library.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "zrtl5617.h"

namespace {

TEST(EngineLibrary, AbilityRecordFitsTheAnnouncedBuffer) {
    uint16_t size = 0;
    ASSERT_EQ(GetScannerAbilitySize(0, &size), 1);
    ASSERT_EQ(size, ZRTL5617_ABILITY_BUFFER_SIZE);

    std::array<uint8_t, ZRTL5617_ABILITY_BUFFER_SIZE> buffer;
    buffer.fill(0xAA);
    ASSERT_EQ(GetScannerAbilityXp(0, buffer.data()), 1);
    const uint8_t head[] = {0x01, 0x00, 0x02, 0x00, 0x0C, 0x00, 0x00, 0x00, 'K', 'E', 'L', 'V', 'O', 0};
    EXPECT_EQ(std::memcmp(buffer.data(), head, sizeof head), 0);
    const uint8_t end[] = {0xFF, 0xFF, 0, 0, 0, 0, 0, 0};
    const size_t endOffset = ZRTL5617_ABILITY_RECORD_LENGTH - 8;
    EXPECT_EQ(std::memcmp(buffer.data() + endOffset, end, sizeof end), 0);
    for (size_t i = ZRTL5617_ABILITY_RECORD_LENGTH; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xAA) << i;
    // Not opened yet: the bus text of a high-speed link.
    EXPECT_STREQ(reinterpret_cast<const char*>(buffer.data() + 92), "USB2.0");
}

TEST(EngineLibrary, StatusAndTerminateWithoutADevice) {
    uint16_t status = 0xFFFF;
    EXPECT_EQ(TerminateScanner(0), 1);
    EXPECT_EQ(GetScannerStatus(0, &status), 1);
    EXPECT_EQ(status, 0);
    uint8_t value = 0;
    EXPECT_EQ(ReadRegister(0xD0, &value), 0);
    EXPECT_EQ(WriteRegister(0x60, 1), 0);
}

}  // namespace
