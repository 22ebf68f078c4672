#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "calibration/calibration_fixture.h"
#include "engine/calibration/cache_names.h"
#include "engine/calibration/shading_cache.h"
#include "engine/calibration/shading_compute.h"

namespace zrt {
namespace {

TEST(ShadingCacheNames, OneFilePerResolutionAndKind) {
    struct Case {
        uint16_t resolution;
        uint8_t source;
        const char* name;
    };
    const Case cases[] = {
        {600, 1, "ZRT5617A.SHD"},  {1200, 1, "ZRT5617B.SHD"}, {4800, 1, "ZRT5617C.SHD"},
        {2400, 1, "Unknown.shd"},  {900, 1, "Unknown.shd"},   {600, 12, "ZRT5617D.SHD"},
        {1200, 12, "ZRT5617E.SHD"}, {2400, 4, "ZRT5617H.SHD"}, {4800, 12, "ZRT5617F.SHD"},
        {300, 12, "Unknown.shd"},  {0, 12, "Unknown.shd"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(ShadingCacheBaseName(c.resolution, c.source), c.name)
            << c.resolution << " dpi, source " << int(c.source);
    EXPECT_STREQ(UseCountBaseName(1), "ZRT5617G.SHD");
    EXPECT_STREQ(UseCountBaseName(12), "ZRT5617I.SHD");
    EXPECT_STREQ(UseCountBaseName(4), "ZRT5617I.SHD");
}

TEST(ShadingCacheNames, FileSizes) {
    EXPECT_EQ(LayoutFor(600, 1).Bytes(), 204173u);   // P 5104, Q 4 x 5104
    EXPECT_EQ(LayoutFor(2400, 12).Bytes(), 51213u);  // P = Q = 3200
    EXPECT_EQ(LayoutFor(1200, 1).Bytes(), 13u + 16u * 10208u);
    EXPECT_EQ(LayoutFor(4800, 1).Bytes(), 653325u);
}

class ShadingCache : public test::CalibrationTest {
protected:
    void SetUp() override {
        CalibrationTest::SetUp();
        ASSERT_TRUE(engine.shading.Allocate());
        ASSERT_TRUE(white.Allocate());
        ASSERT_TRUE(dark.Allocate());
        engine.device.BusSpeed = 2;
        exposure.level = {255, 254, 253, 252};
        exposure.exposure = {0x1234, 0x2345, 0x3456, 0x4567};
        for (uint32_t ch = 0; ch < 4; ++ch) {
            for (uint32_t i = 0; i < kShadingEntries; ++i) {
                white.table[ch][i] = static_cast<uint16_t>(40000 + ch * 1000 + i % 997);
                dark.table[ch][i] = static_cast<uint16_t>(ch * 100 + i % 89);
            }
        }
    }

    bool Save(uint16_t resolution, uint8_t source) {
        return SaveShadingCache(engine, resolution, source, exposure, white.Set(), dark.Set());
    }

    bool Load(uint16_t resolution, uint8_t source, bool countUse = false) {
        return LoadShadingCache(engine, resolution, source, loaded, countUse);
    }

    ScannerEngine engine;
    ReferenceBuffers white, dark;
    ChannelExposure exposure;
    ChannelExposure loaded;
};

TEST_F(ShadingCache, SavesTheLayoutAndAZeroUseCount) {
    WriteCount("ZRT5617G.SHD", 77);
    ASSERT_TRUE(Save(600, 1));
    const auto bytes = ReadBytes("ZRT5617A.SHD");
    ASSERT_EQ(bytes.size(), 204173u);
    EXPECT_EQ(bytes[0], 2);  // bus speed
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 1, bytes.begin() + 13),
              (std::vector<uint8_t>{255, 254, 253, 252, 0x34, 0x12, 0x45, 0x23, 0x56, 0x34, 0x67, 0x45}));
    auto word = [&](size_t at) { return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8)); };
    const size_t P = 5104, Q = 4 * 5104;
    EXPECT_EQ(word(13), white.table[0][0]);
    EXPECT_EQ(word(13 + 2 * P + 2 * 7), white.table[1][7]);
    EXPECT_EQ(word(13 + 8 * P), dark.table[0][0]);
    EXPECT_EQ(word(13 + 8 * P + 2 * Q + 2 * (3 * P + 5)), dark.table[1][3 * P + 5]);  // sub-block 3
    EXPECT_EQ(ReadCount("ZRT5617G.SHD"), 0);
    EXPECT_EQ(engine.shading.CalibrationUseCount, 0);
    EXPECT_FALSE(std::filesystem::exists(PathOf("ZRT5617A.SHD.new")));

    ASSERT_TRUE(Save(2400, 12));
    EXPECT_EQ(ReadBytes("ZRT5617H.SHD").size(), 51213u);
    EXPECT_EQ(ReadCount("ZRT5617I.SHD"), 0);
}

// A 150 dpi 8-bit document scan over USB 1.1 runs with the 300 dpi line
// period: dark sub-block 1.
TEST_F(ShadingCache, LoadsTheDarkSubBlockOfTheScanAndComputesTheCorrection) {
    ASSERT_TRUE(Save(600, 1));
    engine.device.BusSpeed = 1;
    engine.config.Depth = 8;
    ASSERT_TRUE(Load(150, 1, true));

    const uint32_t P = 5104;
    ShadingTables& t = engine.shading;
    EXPECT_EQ(t.ShadingEntryCount, P);
    EXPECT_EQ(loaded.level, exposure.level);
    EXPECT_EQ(loaded.exposure, exposure.exposure);
    for (uint32_t ch = 0; ch < 4; ++ch) {
        for (uint32_t i : {0u, 1u, 2000u, P - 1}) {
            EXPECT_EQ(t.ShadingWhiteCopy[ch][i], white.table[ch][i]);
            uint16_t w = white.table[ch][i];
            uint16_t d = dark.table[ch][P + i];
            std::array<uint16_t*, 4> wp{}, dp{};
            wp[ch] = &w;
            dp[ch] = &d;
            ComputeShading(1, 1, wp, dp);
            EXPECT_EQ(t.ShadingGain[ch][i], w) << "channel " << ch << " pixel " << i;
            EXPECT_EQ(t.ShadingOffset[ch][i], d) << "channel " << ch << " pixel " << i;
        }
    }
    EXPECT_EQ(ReadCount("ZRT5617G.SHD"), 1);
    EXPECT_EQ(t.CalibrationUseCount, 1);
    ASSERT_TRUE(Load(150, 1, false));
    EXPECT_EQ(ReadCount("ZRT5617G.SHD"), 1);
}

TEST(DarkSubBlock, FollowsTheLinePeriodOfTheScan) {
    struct Case {
        uint16_t resolution;
        uint32_t bus;
        uint8_t depth;
        unsigned block;
    };
    const Case cases[] = {
        {75, 1, 24, 3},  {75, 1, 8, 0},   {75, 2, 8, 3},   {150, 1, 48, 2}, {150, 1, 8, 1},
        {150, 2, 8, 2},  {300, 1, 48, 1}, {300, 1, 24, 2}, {300, 2, 8, 2},  {300, 2, 48, 1},
        {600, 1, 48, 0}, {600, 1, 16, 1}, {600, 2, 16, 0}, {1200, 1, 8, 0}, {200, 2, 8, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DarkSubBlock(c.resolution, c.bus, c.depth), c.block)
            << c.resolution << " dpi, bus " << c.bus << ", depth " << int(c.depth);
}

TEST_F(ShadingCache, AScanLoadsTheFileOfItsCalibrationResolution) {
    EXPECT_FALSE(Load(900, 1));
    ASSERT_TRUE(Save(1200, 1));
    EXPECT_TRUE(Load(900, 1));  // raised to 1200
    EXPECT_EQ(engine.shading.ShadingEntryCount, 10208u);

    ASSERT_TRUE(Save(4800, 1));
    EXPECT_TRUE(Load(2400, 1));  // documents at 2400 use the 4800 calibration
    EXPECT_EQ(engine.shading.ShadingEntryCount, 40832u);

    EXPECT_FALSE(Load(2400, 12));
    ASSERT_TRUE(Save(2400, 12));
    EXPECT_TRUE(Load(2400, 12));
    EXPECT_EQ(engine.shading.ShadingEntryCount, 3200u);
}

TEST_F(ShadingCache, AShortOrMissingFileDoesNotLoad) {
    ASSERT_TRUE(Save(1200, 1));
    engine.shading.ShadingGain[0][0] = 4242;
    engine.shading.ShadingEntryCount = 17;

    auto bytes = ReadBytes("ZRT5617B.SHD");
    bytes.pop_back();
    WriteBytes("ZRT5617B.SHD", bytes);
    EXPECT_FALSE(Load(1200, 1));
    EXPECT_EQ(engine.shading.ShadingGain[0][0], 4242);  // the engine keeps what it had
    EXPECT_EQ(engine.shading.ShadingEntryCount, 17u);

    ASSERT_TRUE(Save(1200, 1));
    WriteBytes("ZRT5617G.SHD", {0x05});  // a counter of one byte
    EXPECT_FALSE(Load(1200, 1));
    std::filesystem::remove(PathOf("ZRT5617G.SHD"));
    EXPECT_FALSE(Load(1200, 1));

    ASSERT_TRUE(Save(1200, 1));
    engine.shading.ShadingWhiteCopy[2].clear();
    EXPECT_FALSE(Load(1200, 1));
}

TEST_F(ShadingCache, NeverFollowsAPlantedLink) {
    ASSERT_TRUE(Save(1200, 1));
    const std::string victim = PathOf("victim");
    std::filesystem::rename(PathOf("ZRT5617B.SHD"), victim);
    std::filesystem::create_symlink(victim, PathOf("ZRT5617B.SHD"));
    EXPECT_FALSE(Load(1200, 1));  // the link's target is a valid file, but not ours

    const auto before = ReadBytes("victim");
    std::filesystem::create_symlink(victim, PathOf("ZRT5617G.SHD.new"));
    exposure.exposure[0] = 1;
    ASSERT_TRUE(Save(1200, 1));
    EXPECT_EQ(ReadBytes("victim"), before);
    EXPECT_FALSE(std::filesystem::is_symlink(PathOf("ZRT5617B.SHD")));
    EXPECT_TRUE(Load(1200, 1));
    EXPECT_EQ(loaded.exposure[0], 1);
}

TEST_F(ShadingCache, AFailedSaveKeepsThePreviousCalibration) {
    ASSERT_TRUE(Save(1200, 1));
    const auto previous = ReadBytes("ZRT5617B.SHD");

    // The use counter's name is taken by a directory: the counter cannot
    // be put in place.
    std::filesystem::remove(PathOf("ZRT5617G.SHD"));
    std::filesystem::create_directory(PathOf("ZRT5617G.SHD"));
    std::filesystem::create_directory(PathOf("ZRT5617G.SHD/keep"));
    EXPECT_FALSE(Save(1200, 1));
    EXPECT_FALSE(std::filesystem::exists(PathOf("ZRT5617G.SHD.new")));

    // The reference file's name is taken by a directory.
    std::filesystem::create_directory(PathOf("ZRT5617E.SHD"));
    std::filesystem::create_directory(PathOf("ZRT5617E.SHD/keep"));
    EXPECT_FALSE(Save(1200, 12));
    EXPECT_FALSE(std::filesystem::exists(PathOf("ZRT5617E.SHD.new")));

    // A temporary directory that does not exist.
    setenv("TMPDIR", PathOf("missing/deeper").c_str(), 1);
    EXPECT_FALSE(Save(1200, 1));
    setenv("TMPDIR", dir_.c_str(), 1);
    EXPECT_EQ(ReadBytes("ZRT5617B.SHD").size(), previous.size());
}

}  // namespace
}  // namespace zrt
