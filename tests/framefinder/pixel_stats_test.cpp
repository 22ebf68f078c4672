#include <gtest/gtest.h>

#include <cmath>

#include "framefinder/edge_search.h"
#include "framefinder/pixel_stats.h"
#include "preview_generator.h"

namespace {

using fftest::Preview;
using fftest::Rgb;
using namespace zrt::ff;

TEST(Luminance, WeightsAndDensityTable) {
    EXPECT_EQ(Luminance(65535, 65535, 65535), 65535);
    EXPECT_EQ(Luminance(10, 20, 30), 18);
    struct {
        uint16_t v, density;
    } cases[] = {{0, 62383}, {1, 62383}, {2, 62383}, {65535, 0},
                 {6553, static_cast<uint16_t>(std::trunc(std::log(65535.0 / 6553) * 6000))}};
    for (auto c : cases) EXPECT_EQ(Density(c.v), c.density) << c.v;
}

// A 12 x 24 image whose luminance is 100 * (x + 1) + y: every box has a
// known extreme.
class BoxStatistics : public ::testing::Test {
protected:
    BoxStatistics() : p_(12, 24, Rgb{0, 0, 0}, 5) {
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 12; ++x) {
                auto v = static_cast<uint16_t>(100 * (x + 1) + y);
                p_.Set(x, y, {v, v, v});
            }
        image_ = p_.Tiff();
    }
    Preview p_;
    TIFF image_;
};

TEST_F(BoxStatistics, ExtremesMeansAndReversedBoxes) {
    const uint8_t* px = p_.data();
    EXPECT_EQ(MaxLuminance(image_, px, {2, 3, 5, 7}), 100 * 5 + 6);
    EXPECT_EQ(MinLuminance(image_, px, {2, 3, 5, 7}), 300 + 3);
    // The reversed box (10, 20, 5, 8) reads columns 5..9 and rows 8..19 for
    // the maximum and the mean, nothing for the minimum.
    EXPECT_EQ(MaxLuminance(image_, px, {10, 20, 5, 8}), 1000 + 19);
    EXPECT_EQ(MinLuminance(image_, px, {10, 20, 5, 8}), 65535);
    EXPECT_EQ(MeanLuminance(image_, px, {10, 20, 5, 8}), MeanLuminance(image_, px, {5, 8, 10, 20}));
    EXPECT_EQ(MeanLuminance(image_, px, {0, 0, 2, 1}), 150);  // (100 + 200) / 2
    EXPECT_DOUBLE_EQ(LuminanceDeviation(image_, px, {0, 0, 2, 1}), 50.0);
    EXPECT_DOUBLE_EQ(LuminanceDeviation(image_, px, {2, 0, 0, 1}), 0.0);  // reads nothing
    Colour mx = ChannelMax(image_, px, {0, 0, 3, 2});
    Colour mn = ChannelMin(image_, px, {0, 0, 3, 2});
    Colour mean = ChannelMean(image_, px, {0, 0, 3, 2});
    EXPECT_EQ(mx[1], 301);
    EXPECT_EQ(mn[2], 100);
    EXPECT_EQ(mean[0], 200);  // (100+200+300+101+201+301) / 6 = 200.5, cut
    EXPECT_EQ(ChannelMin(image_, px, {3, 0, 0, 2})[0], 65535);
}

// Boxes reaching past the image read only its pixels; a box wholly outside
// reads nothing.
TEST_F(BoxStatistics, PixelsOutsideTheImageAreSkipped) {
    const uint8_t* px = p_.data();
    EXPECT_EQ(MaxLuminance(image_, px, {10, 22, 40, 90}), 1200 + 23);
    EXPECT_EQ(MinLuminance(image_, px, {-5, -5, 1, 1}), 100);
    EXPECT_EQ(MeanLuminance(image_, px, {-5, 0, 2, 1}), 150);
    EXPECT_EQ(MaxLuminance(image_, px, {-3, 0, -1, 5}), 0);
    EXPECT_EQ(MinLuminance(image_, px, {12, 0, 14, 5}), 65535);
    EXPECT_EQ(MeanLuminance(image_, px, {0, 24, 5, 30}), 0);
    EXPECT_DOUBLE_EQ(LuminanceDeviation(image_, px, {0, -9, 5, -1}), 0.0);
    EXPECT_EQ(ChannelMean(image_, px, {0, 30, 5, 40})[0], 0);
}

// A dark 40 x 40 preview with a bright square from (15, 12) to (29, 27).
class EdgeSearch : public ::testing::Test {
protected:
    EdgeSearch() : p_(40, 40, Rgb{2000, 2000, 2000}) {
        p_.Fill({15, 12, 29, 27}, {60000, 60000, 60000});
        image_ = p_.Tiff();
    }
    Preview p_;
    TIFF image_;
    FrameRect all_{0, 0, 40, 40};
};

TEST_F(EdgeSearch, WalkDirectionFollowsTheSegment) {
    struct {
        Segment s;
        Point expected;
    } cases[] = {
        {{{5, 25}, {5, 15}}, {15, 25}},    // upward segment walks right
        {{{35, 15}, {35, 25}}, {29, 15}},  // downward walks left
        {{{18, 3}, {26, 3}}, {18, 12}},    // rightward walks down
        {{{26, 35}, {18, 35}}, {26, 27}},  // leftward walks up
    };
    for (auto& c : cases) {
        Segment s = c.s;
        Point p = DensityEdgeSearch(image_, p_.data(), all_, s, 0, 20, 0, 65535);
        EXPECT_EQ(p.x, c.expected.x);
        EXPECT_EQ(p.y, c.expected.y);
    }
}

TEST_F(EdgeSearch, AdjustBackAndEarlyStop) {
    Segment s{{5, 25}, {5, 15}};
    Point p = DensityEdgeSearch(image_, p_.data(), all_, s, 2, 20, 0, 65535);
    EXPECT_EQ(p.x, 17);
    // Moved back by 3 it needs more steps; 5 are too few to reach the edge.
    s = {{8, 25}, {8, 15}};
    p = DensityEdgeSearch(image_, p_.data(), all_, s, 0, 5, 3, 65535);
    EXPECT_EQ(p.x, 5);  // its start, without adjust
    s = {{8, 25}, {8, 15}};
    p = DensityEdgeSearch(image_, p_.data(), all_, s, 0, 40, -2, 0);
    EXPECT_EQ(p.x, 15);
    EXPECT_EQ(s.first.x, 15);  // stopped at the first drop over the threshold
}

TEST_F(EdgeSearch, FlatPreviewsReturnTheStart) {
    Preview flat(30, 30, {30000, 30000, 30000});
    TIFF image = flat.Tiff();
    FrameRect bounds{2, 2, 27, 27};
    Segment s{{10, 20}, {10, 5}};
    Point p = DensityEdgeSearch(image, flat.data(), bounds, s, 4, 10, 0, 65535);
    EXPECT_EQ(p.x, 10);
    s = {{10, 20}, {10, 5}};
    p = MeanEdgeSearch(image, flat.data(), bounds, s, 4, 10, 0, 1.0);
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 20);
    // Dark from the first step: the segment's second point as passed in.
    s = {{10, 20}, {10, 5}};
    p = ThresholdEdgeSearch(image, flat.data(), bounds, s, 4, 10, 3, 52500);
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 5);
}

TEST_F(EdgeSearch, MeanSearchWeighsFalls) {
    // Walking right over the bright square: a rise at 15, a fall at 30.
    auto search = [&](double ratio) {
        Segment s{{10, 25}, {10, 15}};
        return MeanEdgeSearch(image_, p_.data(), all_, s, 0, 25, 0, ratio).x;
    };
    EXPECT_EQ(search(2.0), 30);
    EXPECT_EQ(search(1.0), 15);  // equal changes: the rise
    EXPECT_EQ(search(0.0), 15);
    // Falls below 100 after weighting do not count even with no rise.
    Preview step(40, 40, {3000, 3000, 3000});
    step.Fill({20, 0, 39, 39}, {2950, 2950, 2950});
    Segment s{{10, 25}, {10, 15}};
    EXPECT_EQ(MeanEdgeSearch(step.Tiff(), step.data(), all_, s, 0, 25, 0, 1.0).x, 10);
}

TEST_F(EdgeSearch, ThresholdSearchFindsTheFirstDarkening) {
    Segment s{{20, 5}, {24, 5}};
    // Starts above the square in the dark, enters it, leaves it at row 28.
    Point p = ThresholdEdgeSearch(image_, p_.data(), all_, s, 2, 30, 0, 52500);
    EXPECT_EQ(p.y, 30);
    // Searches are clamped into their bounds first.
    s = {{20, -50}, {24, -50}};
    p = ThresholdEdgeSearch(image_, p_.data(), {0, 14, 40, 40}, s, 0, 30, 0, 52500);
    EXPECT_EQ(p.y, 28);
}

TEST_F(EdgeSearch, SegmentsOutsideTheImageReadNothing) {
    // Bounds at the image edge put the walk one pixel outside: no fault, and
    // an outside box counts as dark.
    Preview bright(20, 20, {60000, 60000, 60000});
    Segment s{{-30, 15}, {-30, 5}};
    Point p = DensityEdgeSearch(bright.Tiff(), bright.data(), {0, 0, 20, 20}, s, 0, 5, 0, 65535);
    EXPECT_EQ(p.x, 0);
    FrameRect r{-100, -100, 500, 500};
    SnakesParams params{1, 1, 1, 1, 40, 40, 65535, 0, 0};
    RefineRectEdges(bright.Tiff(), bright.data(), r, params);
    EXPECT_EQ(r.left, 1);  // clamped to -1, the image edge is a drop; adjust 1
}

TEST_F(EdgeSearch, RefinementsMoveAllFourEdges) {
    SnakesParams params{0, 0, 0, 0, 10, 10, 5000, 0, 1.5};
    FrameRect r{10, 8, 34, 32};
    RefineRectEdges(image_, p_.data(), r, params);
    EXPECT_EQ(r.left, 15);
    EXPECT_EQ(r.top, 12);
    EXPECT_EQ(r.right, 29);
    EXPECT_EQ(r.bottom, 27);

    // A dark frame on a bright base: falls mark its edges.
    Preview neg(40, 40, {50000, 50000, 50000});
    neg.Fill({15, 12, 29, 27}, {10000, 10000, 10000});
    FrameRect f{10, 14, 34, 28};
    params.Yrange = 6;
    RefineNegativeFrame(neg.Tiff(), neg.data(), f, {8, 4, 36, 36}, params, nullptr);
    EXPECT_EQ(f.left, 15);
    EXPECT_EQ(f.right, 29);
    EXPECT_EQ(f.top, 12);
    EXPECT_EQ(f.bottom, 27);

    FrameRect pos{10, 14, 34, 28};
    RefinePositiveFrame(image_, p_.data(), pos, {8, 4, 36, 36}, params);
    EXPECT_EQ(pos.left, 15);
    EXPECT_EQ(pos.top, 12);
    EXPECT_EQ(pos.bottom, 27);
}

TEST_F(EdgeSearch, PanoramaFrameStartsItsSideSearchesInside) {
    // Bare film at both sides of the frame: the side searches start shifted.
    Preview neg(60, 40, {50000, 50000, 50000});
    neg.Fill({20, 10, 39, 29}, {10000, 10000, 10000});
    SnakesParams params{0, 0, 0, 0, 12, 4, 0, 0, 1.5};
    PanoParams pano{40000, 0, 10.0, 8, 1, 4, 0};
    FrameRect f{4, 10, 55, 29};
    RefineNegativeFrame(neg.Tiff(), neg.data(), f, {0, 0, 60, 40}, params, &pano);
    EXPECT_EQ(f.left, 20);   // 12 steps from 4 + 8
    EXPECT_EQ(f.right, 39);
    FrameRect g{4, 10, 55, 29};
    RefineNegativeFrame(neg.Tiff(), neg.data(), g, {0, 0, 60, 40}, params, nullptr);
    EXPECT_EQ(g.left, 4);  // 12 steps from 4 never reach 20
    // Ends exchanged: the mean is taken, the deviation reads nothing.
    PanoParams reversed{40000, 0, 0.5, 8, 4, 1, 0};
    FrameRect h{4, 10, 55, 29};
    RefineNegativeFrame(neg.Tiff(), neg.data(), h, {0, 0, 60, 40}, params, &reversed);
    EXPECT_EQ(h.left, 20);
}

}  // namespace
