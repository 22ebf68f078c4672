#include <gtest/gtest.h>

#include "calibration/calibration_fixture.h"
#include "engine/api/export_support.h"
#include "engine/calibration/cache_names.h"
#include "engine/calibration/calibration_status.h"
#include "engine/pipeline/scan_state.h"
#include "zrtl5617.h"

namespace zrt {
namespace {

class CalibrationStatus : public test::CalibrationTest {
protected:
    void SetUp() override {
        CalibrationTest::SetUp();
        ScannerEngine& engine = Engine();
        engine.device.BusSpeed = 2;
        engine.config.AGInUse = 0;
        Request().StoredParameters.XResolution = 600;
        Request().StoredParameters.FilmScan = 0;
        Process().LampSelection = 1;
        Process().LastStatus = 0x1234;
    }

    // A reference file of the right size calibrated over `busSpeed`.
    void PlantReference(uint16_t resolution, uint8_t source, uint8_t busSpeed) {
        std::vector<uint8_t> bytes(LayoutFor(resolution, source).Bytes(), 0);
        bytes[0] = busSpeed;
        WriteBytes(ShadingCacheBaseName(resolution, source), bytes);
    }

    uint8_t Status() {
        uint8_t out = 0xEE;
        EXPECT_EQ(GetCalibrationStatus(0, &out), 1);
        EXPECT_EQ(Process().LastStatus, 0);
        return out;
    }
};

TEST_F(CalibrationStatus, MissingShortOrForeignCalibrationsAreNotUsable) {
    EXPECT_EQ(Status(), 2);  // nothing there

    PlantReference(600, 1, 2);
    EXPECT_EQ(Status(), 2);  // no use counter
    WriteCount("ZRT5617G.SHD", 3);
    EXPECT_EQ(Status(), 0);

    PlantReference(600, 1, 1);
    EXPECT_EQ(Status(), 2);  // calibrated over USB 1.1, now on USB 2.0

    PlantReference(600, 1, 2);
    auto bytes = ReadBytes("ZRT5617A.SHD");
    bytes.resize(bytes.size() - 2);
    WriteBytes("ZRT5617A.SHD", bytes);
    EXPECT_EQ(Status(), 2);  // a scan start could not load it
    EXPECT_EQ(ReadCount("ZRT5617G.SHD"), 3);
}

TEST_F(CalibrationStatus, AskedForRenewalOnceAfterAThousandUses) {
    PlantReference(600, 1, 2);
    WriteCount("ZRT5617G.SHD", 999);
    EXPECT_EQ(Status(), 0);
    EXPECT_EQ(ReadCount("ZRT5617G.SHD"), 999);

    WriteCount("ZRT5617G.SHD", 1000);
    EXPECT_EQ(Status(), 1);
    EXPECT_EQ(ReadCount("ZRT5617G.SHD"), 0);
    EXPECT_EQ(Engine().shading.CalibrationUseCount, 0);
    EXPECT_EQ(Status(), 0);

    // With the caller's own gains in use the calibration is kept: the
    // counter only steps back.
    Engine().config.AGInUse = 1;
    WriteCount("ZRT5617G.SHD", 1000);
    EXPECT_EQ(Status(), 0);
    EXPECT_EQ(ReadCount("ZRT5617G.SHD"), 999);
    EXPECT_EQ(Status(), 0);
    EXPECT_EQ(ReadCount("ZRT5617G.SHD"), 999);
}

TEST_F(CalibrationStatus, ChecksTheFileOfTheScanSetUp) {
    // A document scan at 2400 dpi uses the 4800 dpi calibration.
    Request().StoredParameters.XResolution = 2400;
    PlantReference(4800, 1, 2);
    WriteCount("ZRT5617G.SHD", 0);
    EXPECT_EQ(Status(), 0);

    // A film scan at 2400 dpi has its own file and counter.
    Request().StoredParameters.FilmScan = 1;
    Process().LampSelection = 12;
    EXPECT_EQ(Status(), 2);
    PlantReference(2400, 12, 2);
    WriteCount("ZRT5617I.SHD", 1000);
    EXPECT_EQ(Status(), 1);
    EXPECT_EQ(ReadCount("ZRT5617G.SHD"), 0);
    EXPECT_EQ(ReadCount("ZRT5617I.SHD"), 0);
}

TEST_F(CalibrationStatus, RefusesANullOutput) {
    EXPECT_EQ(GetCalibrationStatus(0, nullptr), 0);
    EXPECT_EQ(Process().LastStatus, 0x1234);
}

}  // namespace
}  // namespace zrt
