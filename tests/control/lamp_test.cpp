#include <gtest/gtest.h>

#include <vector>

#include "engine/control/film_guide.h"
#include "tests/control/control_fixture.h"
#include "zrtl5617.h"

namespace zrt::test {
namespace {

class LampTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        carriage.attach(device);
    }

    size_t adapterReads() const {
        size_t n = 0;
        for (uint8_t reg : device.registerReads) n += reg == 0x90;
        return n;
    }

    ScriptedCarriage carriage;
    uint8_t selection = 0;
};

TEST_F(LampTest, RecordsTheSelectionAndChecksTheAdapterOnlyForFilm) {
    struct Case {
        uint8_t lamp;
        bool adapter;
        uint8_t recorded;
        StatusCode expected;
        bool looksAtAdapter;
    };
    const Case cases[] = {
        {1, false, 1, status::Ok, false},
        {0, false, 0, status::Ok, false},
        {0x11, false, 0x11, status::Ok, false},
        {4, false, 12, status::NoFilmAdapterForFilmSource, true},
        {8, false, 8, status::NoFilmAdapterForFilmSource, true},
        {12, true, 12, status::Ok, true},
        {4, true, 12, status::Ok, true},
        {255, false, 255, status::NoFilmAdapterForGuideCheck, true},
    };
    Open();
    for (const Case& c : cases) {
        carriage.filmAdapter = c.adapter;
        device.clearLog();
        EXPECT_EQ(SetLamp(engine, selection, c.lamp), c.expected) << int(c.lamp);
        EXPECT_EQ(selection, c.recorded) << int(c.lamp);
        EXPECT_EQ(adapterReads() > 0, c.looksAtAdapter) << int(c.lamp);
    }
}

TEST_F(LampTest, AMovingCarriageFailsButTheSelectionStands) {
    Open();
    carriage.busyBits = 0x02;
    EXPECT_EQ(SetLamp(engine, selection, 4), status::DeviceActive);
    EXPECT_EQ(selection, 12);
    EXPECT_EQ(adapterReads(), 0u);

    device.failRegisterReads(0x46);
    EXPECT_EQ(SetLamp(engine, selection, 1), status::StatusRegisterReadFailed);
    EXPECT_EQ(selection, 1);
}

TEST_F(LampTest, AnUnstableAdapterLineIsReported) {
    Open();
    device.onRegisterRead = [](uint8_t reg, unsigned count) -> std::optional<uint8_t> {
        if (reg == 0x90) return count % 2 ? 0x08 : 0x00;
        return std::nullopt;
    };
    EXPECT_EQ(SetLamp(engine, selection, 8), status::FilmAdapterUnstable);
}

// The strip of the film guide: 180 lines of three 220-byte planes. The
// upper band (kept lines 5-39) has its right patches `upper` brighter than
// the left, the lower band (50-84) its left patches `lower` brighter.
uint8_t GuidePixel(size_t line, size_t offset, int upper, int lower) {
    const int base = 40;
    if (line < 90) return 0;
    const size_t kept = line - 90;
    const size_t column = offset % 110;
    const bool left = column >= 5 && column < 50;
    const bool right = column >= 60 && column < 105;
    if (kept >= 5 && kept < 40 && right) return static_cast<uint8_t>(base + upper);
    if (kept >= 50 && kept < 85 && left) return static_cast<uint8_t>(base + lower);
    return base;
}

std::vector<uint8_t> GuideStrip(int upper, int lower) {
    std::vector<uint8_t> strip(180 * 660);
    for (size_t line = 0; line < 180; ++line)
        for (size_t plane = 0; plane < 3; ++plane)
            for (size_t i = 0; i < 220; ++i) strip[line * 660 + plane * 220 + i] = GuidePixel(line, i, upper, lower);
    return strip;
}

TEST(FilmGuidePattern, CountsComparisonsThatExceedTheContrastStrictly) {
    EXPECT_EQ(CountFilmGuideComparisons(GuideStrip(200, 200)), 4u);
    EXPECT_EQ(CountFilmGuideComparisons(GuideStrip(151, 151)), 4u);
    EXPECT_EQ(CountFilmGuideComparisons(GuideStrip(150, 200)), 2u);
    EXPECT_EQ(CountFilmGuideComparisons(GuideStrip(200, 150)), 2u);
    EXPECT_EQ(CountFilmGuideComparisons(GuideStrip(0, 0)), 0u);
    // Only the kept half counts: the pattern in lines 0-89 is not seen.
    std::vector<uint8_t> early(180 * 660, 40);
    for (size_t line = 0; line < 90; ++line)
        for (size_t i = 0; i < 660; ++i) early[line * 660 + i] = GuidePixel(line + 90, i % 220, 200, 200);
    EXPECT_EQ(CountFilmGuideComparisons(early), 0u);
    EXPECT_EQ(CountFilmGuideComparisons(std::vector<uint8_t>(100)), 0u);
}

TEST_F(LampTest, GuideCheckThroughTheExportReportsOnlyByStatus) {
    OpenProcessEngine();
    carriage.filmAdapter = true;
    ScriptedCarriage::feedImage(device, Engine(), [](size_t line, size_t, size_t offset) {
        return GuidePixel(line, offset, 200, 200);
    });
    EXPECT_EQ(::SetLamp(0, 0x1FF), 0);  // only the low byte counts
    uint16_t code = 0;
    ::GetScannerStatus(0, &code);
    EXPECT_EQ(code, status::FilmGuideFound);
    EXPECT_EQ(Process().LampSelection, 255);
    // The check ends with the operation lines lowered.
    EXPECT_EQ(device.registers[0x90] & 0x40, 0);
    EXPECT_EQ(device.registers[0x9B] & 0x04, 0);
    EXPECT_EQ(device.registers[0x60] & 0x01, 0);
    EXPECT_EQ(device.writesTo(0xC0).size(), 0u);

    ScriptedCarriage::feedImage(device, Engine(), [](size_t, size_t, size_t) { return uint8_t{90}; });
    EXPECT_EQ(::SetLamp(0, 255), 0);
    ::GetScannerStatus(0, &code);
    EXPECT_EQ(code, status::FilmGuideNotFound);
}

TEST_F(LampTest, TpuModeFollowsTheAdapterLine) {
    OpenProcessEngine();
    uint8_t mode = 7;
    carriage.filmAdapter = true;
    EXPECT_EQ(::GetTPUMode(0, &mode), 1);
    EXPECT_EQ(mode, 1);
    carriage.filmAdapter = false;
    EXPECT_EQ(::GetTPUMode(0, &mode), 1);
    EXPECT_EQ(mode, 0);

    mode = 7;
    device.failRegisterReads(0x90);
    EXPECT_EQ(::GetTPUMode(0, &mode), 0);
    EXPECT_EQ(mode, 7);
    EXPECT_EQ(Process().LastStatus, status::FilmAdapterFirstReadFailed);
}

}  // namespace
}  // namespace zrt::test
