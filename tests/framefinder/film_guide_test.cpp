#include <gtest/gtest.h>

#include <memory>

#include "framefinder/film_guide.h"
#include "preview_generator.h"
#include "zrts5617.h"

namespace {

using fftest::Preview;
using fftest::Rgb;

TEST(StripFromSides, EdgesFoundSelectTheRow) {
    const FrameRect r{1, 1, 998, 1198};
    struct {
        int32_t tl, tr, bl, br, height;
        int32_t left, right;
        double slope;
    } cases[] = {
        {300, 998, 310, 998, 1000, 301, 593, 0.009},  // left edges only
        {300, 600, 310, 598, 1000, 301, 587, 0.009},  // all four: width from the bottom
        {1, 600, 1, 610, 1000, 307, 599, 0.011},      // right edges only
        {1, 600, 310, 998, 1000, 307, 599, 0.003},    // top right and bottom left
        {300, 998, 1, 610, 1000, 301, 593, 0.017},    // top left and bottom right
        {1, 998, 1, 998, 1000, 1, 998, 0.0},          // none: R itself
        {1, 500, 1, 998, 1000, 206, 500, 0.0},        // one right edge
        {1, 998, 40, 998, 1000, 40, 334, 0.0},        // one left edge
        {300, 998, 310, 998, 0, 301, 593, 0.0},       // no height, no drift
    };
    for (auto c : cases) {
        zrt::ff::StripEdges e = zrt::ff::StripFromSides(r, c.tl, c.tr, c.bl, c.br, c.height);
        EXPECT_EQ(e.left, c.left) << c.tl << " " << c.tr;
        EXPECT_EQ(e.right, c.right) << c.tl << " " << c.tr;
        EXPECT_NEAR(e.slope, c.slope, 1e-12) << c.tl << " " << c.tr;
    }
}

class SleeveFilmGuide : public ::testing::Test {
protected:
    SleeveFilmGuide() {
        s_->fau_luminance = 58000;
        s_->divider = 25;
    }
    int32_t Run(const Preview& p) {
        TIFF image = p.Tiff();
        return GetSleeveFilmGuideCIS(&image, p.data(), &areas_, s_.get());
    }
    std::unique_ptr<FrameSettings> s_ = std::make_unique<FrameSettings>();
    FilmAreaList areas_{};
};

TEST_F(SleeveFilmGuide, DriftingStripOnBacklight) {
    // Rows 100..1099, columns 15..385 moving right by 9 over the strip.
    Preview p(400, 1200, {62000, 62000, 62000});
    for (int32_t y = 100; y < 1100; ++y) {
        int32_t d = (y - 100) * 9 / 1000;
        p.Fill({15 + d, y, 385 + d, y}, {20000, 20000, 20000});
    }
    ASSERT_EQ(Run(p), 0);
    ASSERT_EQ(areas_.count, 1);
    EXPECT_EQ(areas_.area[0].left, 38);
    EXPECT_EQ(areas_.area[0].top, 102);
    EXPECT_EQ(areas_.area[0].right, 362);
    EXPECT_EQ(areas_.area[0].bottom, 1097);
    EXPECT_DOUBLE_EQ(areas_.slope[0], 7.0 / 995.0);
}

TEST_F(SleeveFilmGuide, DarkPreviewsAndUnusableInput) {
    // No row shows backlight and no search finds a crossing: R narrowed by
    // the margins, top moved to row 2.
    Preview dark(200, 500, {1000, 1000, 1000});
    ASSERT_EQ(Run(dark), 0);
    ASSERT_EQ(areas_.count, 1);
    EXPECT_EQ(areas_.area[0].left, 21);
    EXPECT_EQ(areas_.area[0].top, 2);
    EXPECT_EQ(areas_.area[0].right, 178);
    EXPECT_EQ(areas_.area[0].bottom, 498);
    EXPECT_DOUBLE_EQ(areas_.slope[0], 0.0);

    // Tiny previews are read within their bounds.
    for (int32_t size : {1, 2, 3, 10}) {
        Preview tiny(size, size, {1000, 1000, 1000});
        EXPECT_EQ(Run(tiny), 0);
        EXPECT_LE(areas_.count, 1);
    }
    TIFF image = dark.Tiff();
    image.stride = 6 * image.width - 1;
    areas_.count = 5;
    EXPECT_EQ(GetSleeveFilmGuideCIS(&image, dark.data(), &areas_, s_.get()), 0);
    EXPECT_EQ(areas_.count, 0);
    EXPECT_EQ(GetSleeveFilmGuideCIS(nullptr, dark.data(), &areas_, s_.get()), 0);
    EXPECT_EQ(GetSleeveFilmGuideCIS(&image, dark.data(), nullptr, s_.get()), 0);
}

TEST(LargeFormat, DenseRectanglesAreFrames) {
    Preview p(1700, 2900, {62000, 62000, 62000});
    TIFF image = p.Tiff();
    FilmPosition frames{};
    ASSERT_EQ(GetLargeFormat(&image, p.data(), &frames, 0), 0);
    EXPECT_EQ(frames.count, 0);  // bright in both rectangles

    p.Fill({480, 150, 1650, 1660}, {20000, 20000, 20000});
    p.Fill({480, 2090, 1640, 2830}, {20000, 20000, 20000});
    ASSERT_EQ(GetLargeFormat(&image, p.data(), &frames, 0), 0);
    ASSERT_EQ(frames.count, 2);
    EXPECT_EQ(frames.kind[0], ZRTS_KIND_LARGE);
    EXPECT_EQ(frames.kind[1], ZRTS_KIND_BLOWNE45);
    EXPECT_EQ(frames.polarity[1], ZRTS_POLARITY_NEGATIVE);
    EXPECT_EQ(frames.rect[0].left, 500);  // flat inside: the edges stay
    EXPECT_EQ(frames.rect[1].bottom, 2805);

    // A preview too small for the fixed rectangles has no large-format frame.
    Preview small(400, 2700, {20000, 20000, 20000});
    image = small.Tiff();
    ASSERT_EQ(GetLargeFormat(&image, small.data(), &frames, 0), 0);
    EXPECT_EQ(frames.count, 0);
}

}  // namespace
