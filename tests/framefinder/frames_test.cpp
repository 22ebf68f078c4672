#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "framefinder/frames.h"
#include "preview_generator.h"

namespace {

using fftest::Preview;
using fftest::Rgb;
using namespace zrt::ff;

TIFF ImageOfHeight(int32_t height) { return TIFF{0, 10, height, 0, 0, 48, 0, 60}; }

std::vector<uint16_t> Profile(int32_t height, std::initializer_list<std::pair<int, uint16_t>> rows,
                              uint16_t rest) {
    std::vector<uint16_t> p(static_cast<std::size_t>(height), rest);
    for (auto [row, v] : rows) p[static_cast<std::size_t>(row)] = v;
    return p;
}

TEST(DividerRuns, ReferenceLevelSkipsIsolatedPeaks) {
    // Three isolated peaks above a divider level of 1000: r = s[3] = 1000,
    // level = 500; the peaks count as dividers.
    TIFF image = ImageOfHeight(60);
    FrameRect area{0, 10, 10, 50};
    auto profile = Profile(60, {{20, 4000}, {21, 3000}, {22, 2000}, {30, 1000}, {31, 1000}}, 100);
    DividerRuns runs = FindDividerRuns(image, profile, area, 0.5, 0.9);
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0], std::make_pair(0, 10));
    EXPECT_EQ(runs[1], std::make_pair(20, 23));
    EXPECT_EQ(runs[2], std::make_pair(30, 32));
    EXPECT_EQ(runs[3], std::make_pair(50, 59));
    // A divider whose peak stays below Th2 of the reference is no divider.
    runs = FindDividerRuns(image, profile, area, 0.5, 4.5);
    EXPECT_EQ(runs.size(), 2u);
}

TEST(DividerRuns, SingleRowsAndRunsOpenAtTheEnd) {
    TIFF image = ImageOfHeight(60);
    FrameRect area{0, 10, 10, 50};
    auto profile = Profile(60, {{20, 1000}, {30, 1000}, {31, 1000}, {48, 1000}, {49, 1000}}, 100);
    DividerRuns runs = FindDividerRuns(image, profile, area, 0.5, 0.5);
    ASSERT_EQ(runs.size(), 4u);  // row 20 alone is too short
    EXPECT_EQ(runs[1], std::make_pair(30, 32));
    EXPECT_EQ(runs[2], std::make_pair(48, 49));  // still open at row 48: added as is
    // An area beginning on a divider opens a run at its top.
    profile = Profile(60, {{10, 1000}, {11, 1000}, {12, 1000}}, 100);
    runs = FindDividerRuns(image, profile, area, 0.5, 0.5);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[1], std::make_pair(10, 13));
    // An area with no rows has only the two bounding runs.
    runs = FindDividerRuns(image, profile, {0, 30, 10, 30}, 0.5, 0.5);
    EXPECT_EQ(runs.size(), 2u);
}

TEST(DividerProfile, HighOnDividersForBothPolarities) {
    Preview p(20, 10, {40000, 40000, 40000});
    p.Fill({0, 4, 19, 4}, {1000, 1000, 1000});     // black row: positive divider
    p.Fill({5, 6, 19, 6}, {20000, 20000, 20000});  // partly dense row
    auto pos = BuildDividerProfile(p.Tiff(), p.data(), {0, 2, 20, 8}, kPositive);
    auto neg = BuildDividerProfile(p.Tiff(), p.data(), {0, 2, 20, 8}, kNegative);
    EXPECT_EQ(pos[0], 0);  // outside the area
    EXPECT_EQ(pos[4], Density(1000));
    EXPECT_EQ(pos[6], Density(40000));
    EXPECT_EQ(neg[3], 40000);
    EXPECT_EQ(neg[6], 20000);
}

TEST(FramesFromRuns, LengthBoundsAreExclusive) {
    FrameRect area{5, 0, 95, 400};
    FrameSize size{30, 40, 35, 0};
    struct {
        int32_t next, frames;
    } cases[] = {{137, 1}, {130, 0}, {140, 0}, {131, 1}};
    for (auto c : cases) {
        DividerRuns runs{{0, 0}, {90, 100}, {c.next, c.next + 5}, {400, 499}};
        FilmPosition list{};
        FramesFromRuns(runs, area, size, list);
        ASSERT_EQ(list.count, c.frames) << c.next;
        if (c.frames) {
            EXPECT_EQ(list.rect[0].top, 100);
            EXPECT_EQ(list.rect[0].bottom, c.next);
            EXPECT_EQ(list.rect[0].left, 5);
        }
    }
}

TEST(SortFramesByTop, StableAndSlotsKeepAreaAndBase) {
    FilmPosition list{};
    AppendFrame(list, {0, 50, 1, 60}, 1);
    AppendFrame(list, {0, 10, 1, 20}, 2);
    AppendFrame(list, {0, 50, 1, 70}, 3);
    list.area[0] = 7;
    list.base[0][0] = 99;
    SortFramesByTop(list);
    EXPECT_EQ(list.kind[0], 2);
    EXPECT_EQ(list.kind[1], 1);
    EXPECT_EQ(list.kind[2], 3);
    EXPECT_EQ(list.area[0], 7);
    EXPECT_EQ(list.base[0][0], 99);
}

TEST(FillMissingFrames, GapsAboveBetweenAndBelow) {
    FrameRect area{0, 0, 50, 1000};
    FrameSize size{0, 0, 100, 4};
    FilmPosition list{};
    AppendFrame(list, {0, 300, 50, 400}, 0);
    AppendFrame(list, {0, 650, 50, 750}, 0);
    list.base[0][1] = 1234;
    ASSERT_TRUE(FillMissingFrames(list, area, size));
    // Above: 300 rows, three frames with no margin. Between: 250 rows, two
    // with 16-row margins. Below: 250 rows, two with 25-row margins.
    const int32_t tops[] = {0, 100, 200, 300, 416, 532, 650, 775, 900};
    ASSERT_EQ(list.count, 9);
    for (int k = 0; k < 9; ++k) EXPECT_EQ(list.rect[k].top, tops[k]) << k;
    EXPECT_EQ(list.rect[4].bottom, 516);
    EXPECT_EQ(list.kind[4], 4);
    EXPECT_EQ(list.base[8][1], 1234);

    FilmPosition exact{};
    AppendFrame(exact, {0, 100, 50, 200}, 0);
    AppendFrame(exact, {0, 300, 50, 400}, 0);
    ASSERT_TRUE(FillMissingFrames(exact, {0, 100, 50, 400}, size));
    EXPECT_EQ(exact.count, 2);  // a gap of exactly the length inserts none

    FilmPosition full{};
    AppendFrame(full, {0, 0, 50, 1}, 0);
    ASSERT_TRUE(FillMissingFrames(full, {0, 0, 50, 100000}, {0, 0, 1, 0}));
    EXPECT_EQ(full.count, ZRTS_MAX_FRAMES);
    EXPECT_FALSE(FillMissingFrames(exact, area, {0, 0, 0, 0}));
    EXPECT_EQ(exact.count, 2);
}

TEST(EstimateFrames, SingleFramesFromTheAreaHeight) {
    auto s = std::make_unique<FrameSettings>();
    s->estimate135_length = 100;
    FilmPosition list{};
    ASSERT_TRUE(EstimateFrame135(list, {0, 40, 9, 190}, *s));
    ASSERT_EQ(list.count, 1);
    EXPECT_EQ(list.rect[0].top, 65);  // centred: 25 rows below the area top
    EXPECT_EQ(list.rect[0].bottom, 165);
    list.count = 0;
    ASSERT_TRUE(EstimateFrame135(list, {0, 40, 9, 290}, *s));
    EXPECT_EQ(list.rect[0].top, 40);
    list.count = 0;
    ASSERT_TRUE(EstimateFrame135(list, {0, 40, 9, 139}, *s));
    EXPECT_EQ(list.count, 0);
    s->estimate135_length = 0;
    EXPECT_FALSE(EstimateFrame135(list, {0, 40, 9, 290}, *s));

    const int32_t bounds[] = {100, 200, 300, 400, 500, 600, 700, 0};
    const int32_t lengths[] = {11, 12, 13, 14, 15, 16};
    std::copy(std::begin(bounds), std::end(bounds), s->estimate120_bound);
    std::copy(std::begin(lengths), std::end(lengths), s->estimate120_length);
    struct {
        int32_t height, length;
    } cases[] = {{99, 0}, {100, 11}, {199, 11}, {200, 12}, {650, 16}, {700, 0}};
    for (auto c : cases) {
        FilmPosition l{};
        EstimateFrame120(l, {0, 10, 9, 10 + c.height}, *s);
        ASSERT_EQ(l.count, c.length ? 1 : 0) << c.height;
        if (c.length) {
            EXPECT_EQ(l.rect[0].bottom - l.rect[0].top, c.length);
        }
    }
}

class Polarities : public ::testing::Test {
protected:
    FilmPosition Frames(int n) {
        FilmPosition l{};
        for (int k = 0; k < n; ++k) AppendFrame(l, {5, 10 + 60 * k, 55, 60 + 60 * k}, 0);
        return l;
    }
    Preview p_{60, 400, {30000, 30000, 30000}};
};

TEST_F(Polarities, CountsDecideBeforeAnyMeasurement) {
    FrameRect area{5, 0, 55, 400};
    struct {
        int pos, neg;
        Polarity expected;
    } cases[] = {{0, 3, kNegative}, {3, 0, kPositive}, {4, 3, kPositive}, {2, 4, kNegative}};
    for (auto c : cases) {
        FilmPosition pos = Frames(c.pos), neg = Frames(c.neg);
        EXPECT_EQ(DecidePolarity(p_.Tiff(), p_.data(), pos, neg, area), c.expected);
        if (c.pos) {
            EXPECT_EQ(pos.base[0][0], 30000);
        }
    }
}

TEST_F(Polarities, MeasuredFilmBaseDecides) {
    // Bright film base between dense frames: negative film.
    Preview neg(60, 400, {50000, 40000, 30000});
    for (int k = 0; k < 3; ++k) neg.Texture({5, 10 + 60 * k, 55, 60 + 60 * k}, {15000, 12000, 9000}, 2000, k + 1);
    FilmPosition p = Frames(2), n = Frames(2);
    EXPECT_EQ(DecidePolarity(neg.Tiff(), neg.data(), p, n, {5, 0, 55, 400}), kNegative);
    EXPECT_EQ(n.base[0][0], 50000);
    // Black film base between bright frames: positive film.
    Preview pos(60, 400, {1000, 1000, 1000});
    for (int k = 0; k < 3; ++k) pos.Texture({5, 10 + 60 * k, 55, 60 + 60 * k}, {40000, 40000, 40000}, 2000, k + 1);
    p = Frames(2);
    n = Frames(2);
    EXPECT_EQ(DecidePolarity(pos.Tiff(), pos.data(), p, n, {5, 0, 55, 400}), kPositive);
}

TEST_F(Polarities, PlausibleFrames) {
    Preview p(40, 40, {1000, 1000, 1000});
    FrameRect f{0, 0, 39, 39};
    EXPECT_FALSE(IsPlausibleFrame(p.Tiff(), p.data(), f, {0, 0, 0}, kPositive));  // black
    p.Fill({15, 15, 20, 20}, {1000, 1024, 1000});
    EXPECT_TRUE(IsPlausibleFrame(p.Tiff(), p.data(), f, {0, 0, 0}, kPositive));

    Preview n(40, 40, {9000, 18000, 27000});
    Colour base{10000, 20000, 30000};
    EXPECT_TRUE(IsPlausibleFrame(n.Tiff(), n.data(), f, base, kNegative));  // mean exactly 0.9 base
    EXPECT_FALSE(IsPlausibleFrame(n.Tiff(), n.data(), f, {9999, 20000, 30000}, kNegative));
    Preview black(40, 40, {400, 900, 1400});
    EXPECT_FALSE(IsPlausibleFrame(black.Tiff(), black.data(), f, base, kNegative));
}

TEST_F(Polarities, MergeTakesTheListTheModeNames) {
    Preview p(60, 400, {30000, 30000, 30000});
    std::vector<FilmPosition> pos(2), neg(2);
    for (int a = 0; a < 2; ++a) {
        pos[a] = Frames(1 + a);
        neg[a] = Frames(3);
        for (int k = 0; k < 3; ++k) {
            neg[a].polarity[k] = 256;
            std::fill(neg[a].base[k], neg[a].base[k] + 3, uint16_t{60000});
        }
    }
    std::vector<Polarity> decisions{kNegative, kPositive};
    struct {
        int32_t mode, count;
    } cases[] = {{1, 3}, {2, 6}, {3, 5}, {0, 3}, {7, 3}};
    for (auto c : cases) {
        auto merged = MergeFrameLists(p.Tiff(), p.data(), pos, neg, 2, c.mode, decisions);
        ASSERT_EQ(merged->count, c.count) << c.mode;
    }
    auto merged = MergeFrameLists(p.Tiff(), p.data(), pos, neg, 2, 3, decisions);
    EXPECT_EQ(merged->area[2], 0);
    EXPECT_EQ(merged->area[3], 1);
    EXPECT_EQ(merged->polarity[0], 256);
    EXPECT_EQ(merged->polarity[3], 0);
}

}  // namespace
