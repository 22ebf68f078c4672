#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "framefinder/holders.h"
#include "preview_generator.h"

namespace {

using fftest::Preview;
using fftest::Rgb;
using namespace zrt::ff;

constexpr Rgb kDark{1000, 1000, 1000};
constexpr Rgb kBright{60000, 60000, 60000};

class Holders : public ::testing::Test {
protected:
    void SetUp() override {
        s_->template_block = 10;
        s_->template_threshold[1] = 20000;
        s_->fau_luminance = 58000;
    }
    void SetTemplate(int t, std::initializer_list<uint8_t> runs) {
        std::memset(s_->templates[t], 0, ZRTS_TEMPLATE_BYTES);
        std::copy(runs.begin(), runs.end(), s_->templates[t]);
    }
    std::unique_ptr<FrameSettings> s_ = std::make_unique<FrameSettings>();
};

TEST_F(Holders, ClassificationScoresTheDarkCellsOfEachTemplate) {
    // 4 x 2 cells of 10 pixels: the left half dark, the right half bright.
    Preview p(40, 20, kDark);
    p.Fill({20, 0, 39, 19}, kBright);
    s_->template_count = 4;
    SetTemplate(0, {2, 1, 5});     // half of its dark cells are bright
    SetTemplate(1, {2, 2, 2, 2});  // dark cells where the preview is dark
    SetTemplate(2, {2, 2, 2, 2});  // the same: the lower index wins
    SetTemplate(3, {0, 8});        // no dark cell: 65535
    EXPECT_EQ(ClassifyHolder(p.Tiff(), p.data(), *s_), kMount135);

    SetTemplate(1, {0, 2, 2, 2, 2});  // begins with a 1-run: scores the bright cells
    SetTemplate(2, {8});              // half bright
    EXPECT_EQ(ClassifyHolder(p.Tiff(), p.data(), *s_), kSleeve135);  // template 0: 0.5 as well

    SetTemplate(0, {0, 8});
    SetTemplate(1, {0, 8});
    SetTemplate(2, {0, 8});
    EXPECT_EQ(ClassifyHolder(p.Tiff(), p.data(), *s_), kNoHolder);
    s_->fau_luminance = 65535;
    EXPECT_EQ(ClassifyHolder(p.Tiff(), p.data(), *s_), kSleeve135);
}

TEST_F(Holders, ClassificationShortcutsAndRefusals) {
    Preview black(40, 20, {0, 0, 0});
    s_->template_count = 1;
    EXPECT_EQ(ClassifyHolder(black.Tiff(), black.data(), *s_), kSleeve135);
    s_->debug_flags = 1;
    EXPECT_EQ(ClassifyHolder(black.Tiff(), black.data(), *s_), kDebugList);
    s_->debug_flags = 0;
    s_->template_count = 3;
    s_->template_block = 0;
    EXPECT_EQ(ClassifyHolder(black.Tiff(), black.data(), *s_), kNoHolder);
    // The reddest-darkest pixel of a cell decides; its green is compared.
    Preview p(10, 10, {30000, 30000, 30000});
    p.Set(3, 4, {100, 10000, 100});
    s_->template_block = 10;
    s_->template_count = 2;
    SetTemplate(0, {1});
    SetTemplate(1, {0, 1});
    s_->fau_luminance = 0;
    EXPECT_EQ(ClassifyHolder(p.Tiff(), p.data(), *s_), kSleeve135);  // score 0 is not above 0
    s_->template_count = 4;
    SetTemplate(0, {0, 1});
    SetTemplate(1, {0, 1});
    SetTemplate(2, {0, 1});
    SetTemplate(3, {1});
    EXPECT_EQ(ClassifyHolder(p.Tiff(), p.data(), *s_), kLarge);
}

// Rows 0..9 and 90..99 bare backlight, two strips separated by clear rows.
class FilmAreas : public Holders {
protected:
    FilmAreas() : p_(60, 120, kBright) {}
    void SetUp() override {
        Holders::SetUp();
        s_->divider = 5;
    }
    Preview p_;
    FilmAreaList areas_{};
};

TEST_F(FilmAreas, StripsBetweenClearRowsTopFirst) {
    p_.Fill({0, 20, 59, 49}, {20000, 20000, 20000});
    p_.Fill({0, 60, 59, 99}, {40000, 40000, 40000});
    s_->x_adjust = 4;
    ASSERT_TRUE(FindFilmAreas(p_.Tiff(), p_.data(), {10, 5, 50, 110}, *s_, areas_));
    ASSERT_EQ(areas_.count, 2);
    // From the last clear row above to the first clear row below; a strip
    // brighter than half the backlight is moved 3 rows further in.
    EXPECT_EQ(areas_.area[0].top, 19);
    EXPECT_EQ(areas_.area[0].bottom, 50);
    EXPECT_EQ(areas_.area[0].left, 14);
    EXPECT_EQ(areas_.area[0].right, 46);
    EXPECT_EQ(areas_.area[1].top, 59 + 3);
    EXPECT_EQ(areas_.area[1].bottom, 100 - 3);
    EXPECT_DOUBLE_EQ(areas_.slope[1], 0.0);
    // Appended to what the list holds, never past its capacity.
    areas_.count = ZRTS_MAX_AREAS - 1;
    ASSERT_TRUE(FindFilmAreas(p_.Tiff(), p_.data(), {10, 5, 50, 110}, *s_, areas_));
    EXPECT_EQ(areas_.count, ZRTS_MAX_AREAS);
}

TEST_F(FilmAreas, ShortSpansAndTrimmedAreasAreDropped) {
    // A span of exactly the divider's rows between two clear runs: none.
    p_.Fill({0, 20, 59, 23}, {20000, 20000, 20000});  // clear runs end at 19, start at 24
    ASSERT_TRUE(FindFilmAreas(p_.Tiff(), p_.data(), {10, 5, 50, 110}, *s_, areas_));
    EXPECT_EQ(areas_.count, 0);
    // 12 rows of bright film, 7 after trimming: not taller than twice the divider.
    p_.Fill({0, 20, 59, 31}, {40000, 40000, 40000});
    ASSERT_TRUE(FindFilmAreas(p_.Tiff(), p_.data(), {10, 5, 50, 110}, *s_, areas_));
    EXPECT_EQ(areas_.count, 0);
}

TEST_F(FilmAreas, BlackMylarRowsAreCutFromTheBottom) {
    p_.Fill({0, 20, 59, 79}, {20000, 20000, 20000});
    p_.Fill({0, 70, 59, 79}, {500, 500, 500});
    s_->black_mylar = 1000;
    ASSERT_TRUE(FindFilmAreas(p_.Tiff(), p_.data(), {10, 5, 50, 110}, *s_, areas_));
    ASSERT_EQ(areas_.count, 1);
    // Film 20..79, bottom trimmed to 77, then the dark rows 70..74 read at
    // bottom - 3 and one more.
    EXPECT_EQ(areas_.area[0].bottom, 71);
    // Holder rectangles reaching past the image are clipped to it.
    areas_.count = 0;
    ASSERT_TRUE(FindFilmAreas(p_.Tiff(), p_.data(), {-20, -40, 90, 400}, *s_, areas_));
    EXPECT_EQ(areas_.count, 1);
}

class Mounts : public Holders {
protected:
    Mounts() : p_(200, 100, kBright) {}
    void SetUp() override {
        Holders::SetUp();
        s_->frame_size[0] = {20, 10, 4, 2};  // half-width, half-height, probe, band offset
        s_->mount_count = 2;
        s_->mount[0][0] = 50;
        s_->mount[0][1] = 50;
        s_->mount[1][0] = 150;
        s_->mount[1][1] = 50;
    }
    void Mount(int cx, int cy, bool portrait) {
        p_.Fill({cx - 35, cy - 35, cx + 34, cy + 34}, kDark);
        if (portrait)
            p_.Fill({cx - 10, cy - 20, cx + 9, cy + 19}, {40000, 40000, 40000});
        else
            p_.Fill({cx - 20, cy - 10, cx + 19, cy + 9}, {40000, 40000, 40000});
    }
    Preview p_;
};

TEST_F(Mounts, OrientationAndEmptyPositions) {
    Mount(50, 50, false);
    Mount(150, 50, true);
    std::unique_ptr<FilmPosition> m = FindMounts(p_.Tiff(), p_.data(), *s_);
    ASSERT_EQ(m->count, 2);
    EXPECT_EQ(m->rect[0].left, 30);
    EXPECT_EQ(m->rect[0].top, 40);
    EXPECT_EQ(m->rect[1].left, 140);
    EXPECT_EQ(m->rect[1].top, 30);
    EXPECT_EQ(m->kind[1], ZRTS_KIND_MOUNT);
    EXPECT_EQ(m->polarity[1], 0);

    // Bare backlight above the window: no mount there.
    p_.Fill({130, 0, 170, 45}, kBright);
    m = FindMounts(p_.Tiff(), p_.data(), *s_);
    ASSERT_EQ(m->count, 1);
    EXPECT_EQ(m->rect[0].left, 30);
}

TEST_F(Mounts, BorderPositions) {
    // The probe would reach row 0: always reported. The landscape candidate
    // leaves the image, so the portrait one is taken.
    s_->mount_count = 1;
    s_->mount[0][0] = 15;
    s_->mount[0][1] = 12;
    std::unique_ptr<FilmPosition> m = FindMounts(p_.Tiff(), p_.data(), *s_);
    ASSERT_EQ(m->count, 1);
    EXPECT_EQ(m->rect[0].left, 5);
    EXPECT_EQ(m->rect[0].top, -8);  // both leave the image: B
    s_->mount[0][0] = 12;
    s_->mount[0][1] = 25;
    p_.Fill({0, 0, 40, 60}, kDark);  // holder material above the window
    m = FindMounts(p_.Tiff(), p_.data(), *s_);
    EXPECT_EQ(m->rect[0].left, 2);  // A leaves at the left, B stays inside
    s_->mount_count = 200;  // beyond the capacity: only the configured 12 read
    m = FindMounts(p_.Tiff(), p_.data(), *s_);
    EXPECT_LE(m->count, ZRTS_MAX_MOUNTS);
}

}  // namespace
