#include <gtest/gtest.h>

#include "calibration/calibration_fixture.h"
#include "engine/api/export_support.h"
#include "engine/pipeline/scan_state.h"
#include "zrtl5617.h"

namespace zrt {
namespace {

class DoCalibrationRequest : public test::CalibrationTest {
protected:
    void SetUp() override {
        CalibrationTest::SetUp();
        Engine().device.CloseDevice();
        Process().LastStatus = 0x1234;
    }
};

TEST_F(DoCalibrationRequest, RequestsThatCalibrateNothingLeaveTheStatusAlone) {
    const struct {
        int32_t type, mode;
    } requests[] = {{0, 4}, {1, 0x7F}, {0, 0x104}, {2, 2}, {5, 2}, {2, 3}, {4, 3}};
    for (const auto& r : requests) {
        EXPECT_EQ(DoCalibration(0, r.type, r.mode, 600), 1) << "type " << r.type << " mode " << r.mode;
        EXPECT_EQ(Process().LastStatus, 0x1234);
    }
}

TEST_F(DoCalibrationRequest, WithoutADeviceNothingIsCalibratedAndThatIsReported) {
    EXPECT_EQ(DoCalibration(0, 0, 0, 600), 0);
    EXPECT_EQ(Process().LastStatus, status::Register60Failed);
    EXPECT_EQ(DoCalibration(0, 1, 0x100, 1200), 0);  // mode read from its low byte
    EXPECT_EQ(Process().LastStatus, status::Register60Failed);
}

TEST_F(DoCalibrationRequest, ResolutionsTheTablesCannotHoldAreRefused) {
    // 9600 dpi documents would need 81664 pixels a line.
    EXPECT_EQ(DoCalibration(0, 0, 0, 9600), 0);
    EXPECT_EQ(Process().LastStatus, status::CalibrationComputeFailed);
    EXPECT_EQ(DoCalibration(0, 0, 1, 0), 0);
    EXPECT_EQ(Process().LastStatus, status::CalibrationComputeFailed);
    Request().StoredParameters.XResolution = 9000;  // mode 3 raises it to 9000
    EXPECT_EQ(DoCalibration(0, 0, 3, 0), 0);
    EXPECT_EQ(Process().LastStatus, status::CalibrationComputeFailed);
}

}  // namespace
}  // namespace zrt
