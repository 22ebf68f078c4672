#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framefinder/search.h"
#include "framefinder/settings.h"
#include "preview_generator.h"
#include "zrts5617.h"

namespace {

using fftest::Film;
using fftest::Geometry;
using fftest::Layout;

class PreviewSearch : public ::testing::Test {
protected:
    void SetUp() override {
        settings_ = dir_.File("frames.txt");
        fftest::WriteTextFile(settings_, fftest::SettingsText(geometry_));
        Load("");
    }

    // The generated settings, with `extra` lines appended.
    void Load(const std::string& extra) {
        fftest::WriteTextFile(settings_, fftest::SettingsText(geometry_) + extra);
        zrt::ff::GlobalSettings() = FrameSettings{};
        ASSERT_EQ(VORN2_Initialize(settings_.c_str()), 0);
    }

    int32_t Search(const fftest::Preview& p, int32_t mode) {
        std::memset(&result_, 0xAB, sizeof result_);
        VORN2_IMAGE_INFO info = p.Info();
        return VORN2_SearchOnPreview(&info, p.data(), &result_, mode);
    }

    void ExpectFrames(const Layout& layout) {
        ASSERT_EQ(result_.count, layout.frames.size());
        for (std::size_t k = 0; k < layout.frames.size(); ++k) {
            const VORN2_FRAME& f = result_.frame[k];
            const FrameRect& e = layout.frames[k];
            SCOPED_TRACE("frame " + std::to_string(k));
            EXPECT_EQ(f.number, k + 1);
            EXPECT_NEAR(f.x, e.left, 3);
            EXPECT_NEAR(f.y, e.top, 3);
            EXPECT_NEAR(f.x + f.width - 1, e.right, 3);
            EXPECT_NEAR(f.y + f.height - 1, e.bottom, 3);
            EXPECT_EQ(f.kind, layout.kind);
            EXPECT_EQ(f.polarity, layout.polarity);
        }
    }

    Geometry geometry_;
    fftest::TempDir dir_;
    std::string settings_;
    VORN2_SEARCH_RESULT result_{};
};

TEST_F(PreviewSearch, FindsEveryFrameOfEachHolder) {
    struct Case {
        const char* name;
        Layout layout;
        int32_t mode;
    } cases[] = {
        {"35 mm negatives", fftest::Make35mmStrips(geometry_, Film::Negative, 2), 3},
        {"35 mm positives", fftest::Make35mmStrips(geometry_, Film::Positive, 1), 3},
        {"120 negative", fftest::Make120Strip(geometry_, Film::Negative), 3},
        {"120 positive", fftest::Make120Strip(geometry_, Film::Positive), 3},
        {"mounts", fftest::MakeMountHolder(geometry_), 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Search(c.layout.preview, c.mode), 0);
        ExpectFrames(c.layout);
    }
}

TEST_F(PreviewSearch, ModeSelectsTheFilmType) {
    Layout negative = fftest::Make35mmStrips(geometry_, Film::Negative, 1);
    ASSERT_EQ(Search(negative.preview, 2), 0);
    ExpectFrames(negative);
    Layout positive = fftest::Make35mmStrips(geometry_, Film::Positive, 1);
    ASSERT_EQ(Search(positive.preview, 1), 0);
    ExpectFrames(positive);
    // Asked for the other film type, every reported frame carries that type.
    for (auto [layout, mode, polarity] : {std::tuple{&negative, 1, 0}, std::tuple{&positive, 2, 256}}) {
        ASSERT_EQ(Search(layout->preview, mode), 0);
        for (int k = 0; k < result_.count; ++k) EXPECT_EQ(result_.frame[k].polarity, polarity);
    }
    ASSERT_EQ(Search(negative.preview, 0), 0);
    EXPECT_EQ(result_.count, 0);
}

TEST_F(PreviewSearch, ResultCodes) {
    Layout layout = fftest::Make35mmStrips(geometry_, Film::Negative, 1);
    // No template matches a bare backlight.
    fftest::Preview bright(layout.preview.width(), layout.preview.height(), fftest::kBacklight);
    EXPECT_EQ(Search(bright, 3), 225);
    EXPECT_EQ(result_.count, 0);

    fftest::Preview narrow(layout.preview.width(), layout.preview.height(), fftest::kBacklight);
    VORN2_IMAGE_INFO info = narrow.Info();
    info.stride = static_cast<uint16_t>(6 * info.width - 1);
    std::memset(&result_, 0xAB, sizeof result_);
    EXPECT_EQ(VORN2_SearchOnPreview(&info, narrow.data(), &result_, 3), 3);
    EXPECT_EQ(result_.count, 0xABAB);  // untouched
    info.stride = static_cast<uint16_t>(6 * info.width);
    EXPECT_EQ(VORN2_SearchOnPreview(&info, narrow.data(), &result_, 3), 225);
    EXPECT_EQ(VORN2_SearchOnPreview(nullptr, narrow.data(), &result_, 3), 3);

    // Exactly the minimum size is searched, one pixel less is not.
    Load("ImageSizeWidth " + std::to_string(info.width) + "\nImageSizeHeight " +
         std::to_string(info.height) + "\n");
    EXPECT_EQ(Search(bright, 3), 225);
    Load("ImageSizeWidth " + std::to_string(info.width + 1) + "\n");
    EXPECT_EQ(Search(bright, 3), 0);
    EXPECT_EQ(result_.count, 0);
}

TEST_F(PreviewSearch, DebugListReportsTheConfiguredFrames) {
    Load("Debug_flag 1\nDebugNumber 2\nDebugRect.x 10\nDebugRect.y 20\nDebugRect.r 109\n"
         "DebugRect.b 219\nDebugType1 0\nDebugType3 256\nDebugRect.x 5\nDebugRect.y 6\n"
         "DebugRect.r 7\nDebugRect.b 8\nDebugType1 3\nDebugType3 0\n");
    fftest::Preview bright(300, 300, fftest::kBacklight);
    ASSERT_EQ(Search(bright, 3), 0);
    ASSERT_EQ(result_.count, 2);
    const VORN2_FRAME& f = result_.frame[0];
    EXPECT_EQ(f.number, 1);
    EXPECT_EQ(f.x, 10);
    EXPECT_EQ(f.y, 20);
    EXPECT_EQ(f.width, 100);
    EXPECT_EQ(f.height, 200);
    EXPECT_EQ(f.polarity, 256);
    EXPECT_EQ(result_.frame[1].number, 2);
    EXPECT_EQ(result_.frame[1].kind, 3);
    EXPECT_EQ(result_.frame[1].reserved[0], 0);
    EXPECT_EQ(result_.frame[2].number, 0xABAB);  // entries past the count stay untouched

    // The transposing scanner reports the frame with its axes exchanged.
    Load("Debug_flag 1\nScanner 3200\nDebugNumber 1\nDebugRect.x 10\nDebugRect.y 20\n"
         "DebugRect.r 109\nDebugRect.b 219\nDebugType1 0\nDebugType3 0\n");
    ASSERT_EQ(Search(bright, 3), 0);
    EXPECT_EQ(result_.frame[0].x, 20);
    EXPECT_EQ(result_.frame[0].y, 10);
    EXPECT_EQ(result_.frame[0].width, 200);
    EXPECT_EQ(result_.frame[0].height, 100);

    // Coordinates beyond 16 bits are reported by their low 16 bits.
    Load("Debug_flag 1\nDebugNumber 1\nDebugRect.x -2147483643\nDebugRect.y 65546\n"
         "DebugRect.r 2147483647\nDebugRect.b 65545\nDebugType1 0\nDebugType3 0\n");
    ASSERT_EQ(Search(bright, 3), 0);
    EXPECT_EQ(result_.frame[0].x, 5);
    EXPECT_EQ(result_.frame[0].y, 10);
    EXPECT_EQ(result_.frame[0].width, 65535 - 5 + 1);
    EXPECT_EQ(result_.frame[0].height, 0);  // 9 - 65546 + 1, low 16 bits
}

// A preview that arrives with its axes exchanged is searched turned back.
TEST_F(PreviewSearch, TransposedPreviewOfTheTransposingScanner) {
    Layout layout = fftest::Make35mmStrips(geometry_, Film::Negative, 1);
    const fftest::Preview& p = layout.preview;
    fftest::Preview turned(p.height(), p.width(), fftest::kHolder);
    for (int32_t y = 0; y < p.height(); ++y)
        for (int32_t x = 0; x < p.width(); ++x) turned.Set(y, x, p.At(x, y));
    Load("Scanner 3200\n");
    ASSERT_EQ(Search(turned, 3), 0);
    ASSERT_EQ(result_.count, layout.frames.size());
    for (std::size_t k = 0; k < layout.frames.size(); ++k) {
        const FrameRect& e = layout.frames[k];
        EXPECT_NEAR(result_.frame[k].x, e.top, 3);
        EXPECT_NEAR(result_.frame[k].y, e.left, 3);
        EXPECT_NEAR(result_.frame[k].width, e.bottom - e.top + 1, 6);
        EXPECT_NEAR(result_.frame[k].height, e.right - e.left + 1, 6);
    }
}

TEST_F(PreviewSearch, SettingsThatWouldDivideByZeroFindNothing) {
    Layout layout = fftest::Make35mmStrips(geometry_, Film::Negative, 1);
    // A strip without dividers needs the single-frame estimate.
    Layout unexposed = layout;
    for (const FrameRect& f : layout.frames) unexposed.preview.Fill(f, fftest::kNegativeBase);
    // Searched as slides, its bright base counts as picture: the estimate,
    // completed with frames of nominal length.
    ASSERT_EQ(Search(unexposed.preview, 1), 0);
    EXPECT_EQ(result_.count, 6);

    struct Case {
        const char* extra;
        const fftest::Preview* preview;
        int32_t mode, rc;
    } cases[] = {
        {"FilmGuideBlock 0\n", &layout.preview, 3, 225},
        {"Estimate135Length 0\n", &unexposed.preview, 1, 0},
        {"Sleeve35Full.film_length 0\n", &layout.preview, 3, 0},
        {"SleeveNumber 0\n", &layout.preview, 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extra);
        Load(c.extra);
        EXPECT_EQ(Search(*c.preview, c.mode), c.rc);
        EXPECT_EQ(result_.count, 0);
    }
}

// The module found by name takes the place of the built-in strip finder; a
// module that cannot be loaded, or lacks the entry, falls back to it.
TEST_F(PreviewSearch, ExternalModuleSuppliesTheFilmAreas) {
    Layout layout = fftest::Make35mmStrips(geometry_, Film::Negative, 2);
    std::string lib = std::string(ZRT_TEST_BINARY_DIR) + "/lib/";
    Load("ExternalModule " + lib + "zrts_test_guide_module\n");
    ASSERT_EQ(Search(layout.preview, 3), 0);
    Layout second = layout;
    second.frames.erase(second.frames.begin(), second.frames.begin() + 6);
    ExpectFrames(second);

    for (std::string name : {lib + "zrts_test_no_entry_module", lib + "absent_module"}) {
        SCOPED_TRACE(name);
        Load("ExternalModule " + name + "\n");
        ASSERT_EQ(Search(layout.preview, 3), 0);
        ExpectFrames(layout);
    }
}

}  // namespace

