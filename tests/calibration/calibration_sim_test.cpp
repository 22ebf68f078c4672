// Calibrations through the exports on the virtual scanner.
#include <gtest/gtest.h>

#include <filesystem>

#include "calibration/calibration_fixture.h"
#include "engine/api/export_support.h"
#include "zrtl5617.h"

namespace zrt {
namespace {

class SimCalibration : public test::CalibrationTest {
protected:
    void SetUp() override {
        CalibrationTest::SetUp();
        ASSERT_EQ(FindScannerEx(0, "sim"), 1) << std::hex << Process().LastStatus;
        ASSERT_EQ(InitializeScanner(0), 1) << std::hex << Process().LastStatus;
    }

    void TearDown() override {
        TerminateScanner(0);
        CalibrationTest::TearDown();
    }

    uint16_t LastStatus() {
        uint16_t value = 0xFFFF;
        GetScannerStatus(0, &value);
        return value;
    }

    void SetScan(uint16_t resolution, uint8_t filmScan) {
        ::ScanParameters p{};
        p.XResolution = p.YResolution = resolution;
        p.XOrigin = filmScan ? 9968 : 0;
        p.YOrigin = filmScan ? 9222 : 0;
        p.Width = 4800;
        p.Height = 4800;
        p.FilmScan = filmScan;
        p.BitDepth = 24;
        ASSERT_EQ(SetScanParameter(0, &p), 1) << std::hex << LastStatus();
    }

    uint8_t CalibrationState() {
        uint8_t out = 0xEE;
        EXPECT_EQ(GetCalibrationStatus(0, &out), 1);
        return out;
    }
};

TEST_F(SimCalibration, DocumentAt600DpiMakesTheScanReady) {
    ASSERT_EQ(SetLamp(0, 1), 1) << std::hex << LastStatus();
    SetScan(300, 0);
    EXPECT_EQ(CalibrationState(), 2);

    ASSERT_EQ(DoCalibration(0, 0, 3, 0), 1) << std::hex << LastStatus();  // 300 dpi raised to 600
    EXPECT_EQ(LastStatus(), 0);
    EXPECT_EQ(std::filesystem::file_size(PathOf("ZRT5617A.SHD")), 204173u);
    EXPECT_EQ(ReadCount("ZRT5617G.SHD"), 0);
    EXPECT_EQ(CalibrationState(), 0);

    // The white reference is bright and the dark reference dark, in every
    // sub-block the scan starts may pick.
    const auto bytes = ReadBytes("ZRT5617A.SHD");
    auto word = [&](size_t at) { return static_cast<uint32_t>(bytes[at] | (bytes[at + 1] << 8)); };
    const size_t P = 5104;
    for (size_t ch = 0; ch < 3; ++ch) {
        const uint32_t white = word(13 + 2 * P * ch + 2 * (P / 2));
        for (size_t block = 0; block < 4; ++block) {
            const uint32_t dark = word(13 + 8 * P + 2 * 4 * P * ch + 2 * (block * P + P / 2));
            EXPECT_GT(white, dark + 10000) << "channel " << ch << " sub-block " << block;
        }
    }
    EXPECT_EQ(bytes[0], 2);  // calibrated over USB 2.0

    // A scan start loads it and counts the use.
    ASSERT_EQ(StartScanEx(0, 0), 1) << std::hex << LastStatus();
    EXPECT_EQ(StopScanEx(0, 0), 1) << std::hex << LastStatus();
    EXPECT_EQ(ReadCount("ZRT5617G.SHD"), 1);
}

TEST_F(SimCalibration, ASaveThatCannotBeWrittenIsReported) {
    ASSERT_EQ(SetLamp(0, 1), 1) << std::hex << LastStatus();
    setenv("TMPDIR", PathOf("no/such/directory").c_str(), 1);
    EXPECT_EQ(DoCalibration(0, 0, 0, 1200), 0);
    EXPECT_EQ(LastStatus(), status::CalibrationComputeFailed);
    setenv("TMPDIR", dir_.c_str(), 1);
    EXPECT_FALSE(std::filesystem::exists(PathOf("ZRT5617B.SHD")));
}

TEST_F(SimCalibration, FilmAt600Dpi) {
    ASSERT_EQ(SetLamp(0, 12), 1) << std::hex << LastStatus();
    ASSERT_EQ(DoCalibration(0, 1, 0, 600), 1) << std::hex << LastStatus();
    EXPECT_EQ(std::filesystem::file_size(PathOf("ZRT5617D.SHD")), 13u + 16u * 800u);
    EXPECT_EQ(ReadCount("ZRT5617I.SHD"), 0);
    SetScan(600, 1);
    EXPECT_EQ(CalibrationState(), 0);
}

}  // namespace
}  // namespace zrt
