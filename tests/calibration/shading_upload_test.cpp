#include <gtest/gtest.h>

#include "engine/api/scanner_engine.h"
#include "engine/calibration/shading_upload.h"
#include "support/scripted_device.h"

namespace zrt {
namespace {

class ShadingUpload : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.device.OpenDevice("scripted", device.transport()));
        ASSERT_TRUE(engine.shading.Allocate());
        device.clearLog();
    }

    test::ScriptedDevice device;
    ScannerEngine engine;
};

TEST_F(ShadingUpload, PlacesCalibrationPixelsFromTheWindowIndex) {
    ShadingTables& tables = engine.shading;
    tables.ShadingEntryCount = 5104;
    for (uint32_t i = 0; i < 5104; ++i) {
        tables.ShadingOffset[2][i] = static_cast<uint16_t>(i);
        tables.ShadingGain[2][i] = static_cast<uint16_t>(0x4000 + i);
    }
    ASSERT_TRUE(UploadShading(engine, 2, 435));

    ASSERT_EQ(device.dataWrites.size(), 1u);
    const std::vector<uint8_t>& payload = device.dataWrites[0];
    ASSERT_EQ(payload.size(), 22160u);  // (435 + 5104) x 4 = 22156, raised to a multiple of 16
    for (size_t b = 0; b < 1740; ++b) ASSERT_EQ(payload[b], 0) << "byte " << b;
    auto word = [&](size_t at) { return payload[at] | (payload[at + 1] << 8); };
    EXPECT_EQ(word(1740), 0);          // offset of pixel 0
    EXPECT_EQ(word(1742), 0x4000);     // gain of pixel 0
    EXPECT_EQ(word(1740 + 4 * 5103), 5103);
    EXPECT_EQ(word(1742 + 4 * 5103), 0x4000 + 5103);
    for (size_t b = 22156; b < 22160; ++b) EXPECT_EQ(payload[b], 0);
}

TEST_F(ShadingUpload, FailsWithoutTablesOrWhenTheWriteFails) {
    engine.shading.ShadingEntryCount = 16;
    engine.shading.ShadingGain[3].clear();
    EXPECT_FALSE(UploadShading(engine, 3, 0));
    EXPECT_FALSE(UploadShading(engine, 4, 0));
    EXPECT_TRUE(device.dataWrites.empty());

    device.failWhen = [](size_t, bool isWrite, const std::vector<uint8_t>& frame) {
        return isWrite && !frame.empty() && frame[0] == 0x04;
    };
    EXPECT_FALSE(UploadShading(engine, 0, 0));
}

}  // namespace
}  // namespace zrt
