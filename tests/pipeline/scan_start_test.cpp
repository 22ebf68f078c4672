#include <gtest/gtest.h>

#include "engine/pipeline/film_positioning.h"
#include "engine/pipeline/reader_thread.h"
#include "engine/pipeline/scan_start.h"

namespace zrt {
namespace {

ScanConfig Config(uint8_t source, uint32_t heightUnits, uint16_t yRes) {
    ScanConfig c;
    c.Source = source;
    c.HeightUnits = heightUnits;
    c.YRes = yRes;
    return c;
}

TEST(ScanStart, LineCountsAndSegments) {
    struct Case {
        ScanConfig config;
        uint32_t lines, rawLinesLeft, split;
    } cases[] = {
        {Config(1, 2400, 300), 150, 150, 0},      // half an inch of document
        {Config(1, 20000, 2400), 10000, 10000, 0}, // documents are never split
        {Config(12, 7376, 2400), 3688, 3688, 0},
        {Config(12, 7377, 2400), 3688, 3688 + 10, 1},
        // Two boundaries are counted although the second segment ends
        // exactly at the end of the scan.
        {Config(12, 14752, 2400), 3688, 7396, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.config.HeightUnits);
        ScanLineCounts counts = ComputeLineCounts(c.config);
        EXPECT_EQ(counts.lines, c.lines);
        EXPECT_EQ(counts.rawLinesLeft, c.rawLinesLeft);
        EXPECT_EQ(counts.split, c.split);
    }
}

TEST(ScanStart, StartDistanceByResolution) {
    ScanConfig c;
    c.OriginY = 4800;  // 1200 steps
    c.YRes = 600;
    EXPECT_EQ(StartDistance(c, 100, 50), 1200u + 50 - 100);
    c.YRes = 1200;
    EXPECT_EQ(StartDistance(c, 100, 50), 1200u - 25 + 50);
    c.YRes = 9600;
    EXPECT_EQ(StartDistance(c, 100, 50), 1200u - 12 + 50);
}

TEST(ScanStart, FilterChoice) {
    struct Case {
        uint8_t source, depth, filmOption, useAG;
        uint16_t xRes;
        uint8_t kind, strength;
    } cases[] = {
        {1, 24, 0, 0, 600, 24, 0x14}, {1, 8, 0, 0, 300, 8, 0x14},  {1, 24, 0, 0, 4800, 24, 0x01},
        {1, 48, 0, 0, 600, 48, 0},    {12, 48, 0, 1, 2400, 64, 0x16}, {12, 48, 1, 1, 2400, 48, 0},
        {12, 48, 0, 0, 2400, 48, 0},  {12, 24, 0, 1, 2400, 24, 0},
    };
    for (const auto& c : cases) {
        ScanConfig config;
        config.Source = c.source;
        config.Depth = c.depth;
        config.FilmOption = c.filmOption;
        config.UseAG = c.useAG;
        config.XRes = c.xRes;
        FilterChoice f = ChooseFilter(config);
        EXPECT_EQ(f.kind, c.kind) << int(c.source) << "/" << int(c.depth);
        EXPECT_EQ(f.strength, c.strength) << int(c.source) << "/" << int(c.depth);
    }
}

TEST(FilmPositioning, TargetAndFirstMove) {
    struct Case {
        uint32_t originY;
        int32_t k, target, firstMove;
        bool forward, homeOnly;
    } cases[] = {
        {9222, 0, -6, 65532, false, false},
        // 7680 units are 127 steps in exact arithmetic; the constant's
        // rounding makes it 126.
        {9222 + 7680, 126, 117, 112, true, false},
        {9222 + 545, 9, 0, 0, false, true},
        {9222 + 605, 10, 1, 1, true, false},
        {9222 + 545 - 61, 8, -1, 65535, false, false},
        {9222 + 363, 6, -3, 65534, false, false},
        {9222 + 182, 3, -6, 65532, false, false},
        {53000, 723, 596, 591, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.originY);
        FilmTarget f = ComputeFilmTarget(c.originY);
        EXPECT_EQ(f.k, c.k);
        EXPECT_EQ(f.target, c.target);
        EXPECT_EQ(f.homeOnly, c.homeOnly);
        if (!c.homeOnly) {
            EXPECT_EQ(f.firstMove, c.firstMove);
            EXPECT_EQ(f.forward, c.forward);
        }
    }
}

TEST(FilmPositioning, StepCompensationAndSegmentCorrection) {
    const std::pair<int32_t, int32_t> compensation[] = {{2, 0}, {3, 1}, {4, 2}, {7, 2}, {8, 3}, {12, 3},
                                                        {13, 4}, {35, 4}, {36, 5}, {597, 5}};
    for (auto [t, r] : compensation) EXPECT_EQ(StepCompensation(t), r) << t;
    const std::pair<int32_t, int32_t> correction[] = {{1, 1}, {36, 31}, {-1, -1}, {-2, -2}, {-3, -2},
                                                      {-4, -3}, {-5, -4}, {-6, -4}, {-8, -6}, {-9, -6},
                                                      {-10, -7}, {-11, -7}};
    for (auto [d, move] : correction) EXPECT_EQ(SegmentCorrection(d), move) << d;
}

}  // namespace
}  // namespace zrt
