#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/control/device_setup.h"
#include "engine/control/fau_settings.h"
#include "tests/control/control_fixture.h"

namespace zrt::test {
namespace {

struct FauCase {
    const char* name;
    std::string content;
    uint8_t position;  // FAUScanPosition after the set-up
};

class FauSettingsTest : public ControlTest, public ::testing::WithParamInterface<FauCase> {};

TEST_P(FauSettingsTest, SetUpTakesOnlyPositionsTwoAndThree) {
    WriteFau(GetParam().content);
    platform::SharedState().FAUScanPosition = 0x55;
    Open();
    ASSERT_EQ(SetUpDevice(engine), status::Ok);
    EXPECT_EQ(platform::SharedState().FAUScanPosition, GetParam().position);
}

// Two whole pieces of the longest line, so that a piece-wise reader would
// see the key at the start of the third.
const std::string kLongLine(2046, 'x');

INSTANTIATE_TEST_SUITE_P(
    Files, FauSettingsTest,
    ::testing::Values(
        FauCase{"Example", "# film adapter\nFAUScanPosition = 2\n", 2},
        FauCase{"Hexadecimal", "FAUScanPosition=0x02\n", 2},
        FauCase{"Octal", "FAUScanPosition\t03\r\n", 3},
        FauCase{"TrailingGarbageEndsTheNumber", "FAUScanPosition,2abc\n", 2},
        FauCase{"OutOfRange", "FAUScanPosition = 5\n", 3},
        FauCase{"LowEightBitsNotTwo", "FAUScanPosition 300\n", 3},
        FauCase{"LowEightBitsTwo", "FAUScanPosition 258\n", 2},
        FauCase{"Commented", "#FAUScanPosition=2\n", 3},
        FauCase{"KeyIsCaseSensitive", "faUScanPosition = 2\n", 3},
        FauCase{"KeyWithoutValueIsSkipped", "FAUScanPosition\nFAUScanPosition = 2\n", 2},
        FauCase{"FirstKeyWins", "FAUScanPosition = 2\nFAUScanPosition = 3\n", 2},
        FauCase{"EndLineStopsReading", "* End Of File *\r\nFAUScanPosition = 2\n", 3},
        FauCase{"EndLineNeedsExactText", "* End Of File * \nFAUScanPosition = 2\n", 2},
        FauCase{"NoKey", "Something = 2\n\n,,,\n", 3},
        FauCase{"Empty", "", 3},
        FauCase{"NoFinalLineEnd", "FAUScanPosition = 2", 2},
        FauCase{"Garbage", "\xFF\xFE\x01=,\t\n\x80\x81 2\n", 3},
        FauCase{"NulInsideALine", std::string("FAUScanPosition = 2\0 = 3\n", 25), 3},
        // An over-long line is skipped whole: no piece of it counts as a line.
        FauCase{"OverlongLineIsSkipped", kLongLine + "FAUScanPosition = 3\nFAUScanPosition = 2\n", 2},
        FauCase{"OverlongLineThenKey", std::string(1100, ' ') + "\nFAUScanPosition = 2\n", 2},
        FauCase{"LineOfExactlyMaximumLength",
                "FAUScanPosition = 2" + std::string(1023 - 19, ' ') + "\n", 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ControlTest, AMissingOrUnreadableFauFileLeavesPositionThree) {
    platform::SharedState().FAUScanPosition = 2;
    Open();
    ASSERT_EQ(SetUpDevice(engine), status::Ok);
    EXPECT_EQ(platform::SharedState().FAUScanPosition, 3);

    // A directory under the name, and a link to a valid file, are not read.
    std::filesystem::create_directory(scratch->file("FAU.txt"));
    uint8_t position = 0;
    EXPECT_FALSE(LoadFauSettings(position));
    std::filesystem::remove(scratch->file("FAU.txt"));
    {
        std::ofstream target(scratch->file("elsewhere.txt"));
        target << "FAUScanPosition = 2\n";
    }
    std::filesystem::create_symlink(scratch->file("elsewhere.txt"), scratch->file("FAU.txt"));
    EXPECT_FALSE(LoadFauSettings(position));
}

TEST_F(ControlTest, FauFileIsReadFromTheUsersTemporaryDirectory) {
    EXPECT_EQ(FauSettingsPath(), scratch->file("FAU.txt"));
    WriteFau("FAUScanPosition = 0X2\n");
    uint8_t position = 0;
    ASSERT_TRUE(LoadFauSettings(position));
    EXPECT_EQ(position, 2);
}

}  // namespace
}  // namespace zrt::test
