#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <string>

#include "framefinder/settings.h"
#include "preview_generator.h"
#include "zrts5617.h"

namespace {

using fftest::TempDir;
using fftest::WriteTextFile;

class SettingsFile : public ::testing::Test {
protected:
    // Reads `text` into the test's own record, on top of what it holds.
    int32_t Read(const std::string& text) {
        std::string path = dir_.File("settings" + std::to_string(n_++) + ".txt");
        WriteTextFile(path, text);
        return zrt::ff::ReadSettingsFile(path.c_str(), *s_);
    }

    TempDir dir_;
    int n_ = 0;
    std::unique_ptr<FrameSettings> s_ = std::make_unique<FrameSettings>();
};

TEST_F(SettingsFile, SeparatorsBetweenKeyAndValueAreInterchangeable) {
    const char* lines[] = {"Scanner 7\n", "Scanner=7\n", "Scanner\t7\n", "Scanner = \t= 7\r\n",
                           "  Scanner 7\n"};
    for (const char* line : lines) {
        s_->scanner = 0;
        ASSERT_EQ(Read(line), 0);
        EXPECT_EQ(s_->scanner, 7) << line;
    }
}

TEST_F(SettingsFile, CommentsAndUnknownKeysChangeNothing) {
    ASSERT_EQ(Read("#Scanner 5\nscanner 6\nScannerX 7\n\n   \nResolution 300 trailing\n"), 0);
    EXPECT_EQ(s_->scanner, 0);
    EXPECT_EQ(s_->resolution, 300);
    // A blank before the number sign makes "#" the key of an ordinary line.
    ASSERT_EQ(Read(" # Scanner 5\n"), 0);
    EXPECT_EQ(s_->scanner, 0);
}

TEST_F(SettingsFile, ValueConversions) {
    ASSERT_EQ(Read("FilmguideXadjust 25.4\n"  // before any resolution: 0 px
                   "Resolution 300\nFilmguideDivider 25.4\nFilmguideRangeX 1.0\n"
                   "FilmguideRangeY -1.0\nFAULuminance -42abc\nFilmguideThreshold x9\n"
                   "FilmGuideNumber 260\nFilmGuideThresholdG 65537\n"
                   "NegDividerParamTh1 1.5e-1\nPosDividerParamTh1 junk\n"
                   "Scanner 99999999999999\n"),
              0);
    EXPECT_EQ(s_->x_adjust, 0);
    EXPECT_EQ(s_->divider, 300);
    EXPECT_EQ(s_->range_x, 12);  // 11.81 + 0.5 cut to 12
    EXPECT_EQ(s_->range_y, -11);  // trunc(-11.81 + 0.5) cuts toward zero
    EXPECT_EQ(s_->fau_luminance, -42);
    EXPECT_EQ(s_->guide_threshold, 0);
    EXPECT_EQ(s_->template_count, 4);  // low 8 bits
    EXPECT_EQ(s_->template_threshold[1], 1);
    EXPECT_DOUBLE_EQ(s_->neg_divider_th1, 0.15);
    EXPECT_DOUBLE_EQ(s_->pos_divider_th1, 0.0);
    EXPECT_EQ(s_->scanner, 2147483647);  // saturates instead of wrapping
}

TEST_F(SettingsFile, EveryKindOfFieldLandsAtItsOffset) {
    ASSERT_EQ(Read("Resolution 254\nMountLengthX 1\nMount_upper 2\nBlowne90.film_length 3\n"
                   "MountSleeveSnakesThreshold 4\nBlownePosSleeveSnakesYrange 5\n"
                   "NegaSleeveSnakesRatio 0.5\nNegaSleeveSnakesPanoSigma 2.5\n"
                   "NegaSleeveSnakesPanoRangeE 6\nEstimate120_120 7\nEstimate120Length120 8\n"
                   "FilmGuideThresholdB 9\nDebug_flag 1\n"),
              0);
    EXPECT_EQ(s_->frame_size[0].film_min_length, 10);
    EXPECT_EQ(s_->frame_size[0].kind, 20);
    EXPECT_EQ(s_->frame_size[6].film_length, 30);
    EXPECT_EQ(s_->mount_snakes.Threshold, 4);
    EXPECT_EQ(s_->blowne_pos_snakes.Yrange, 50);
    EXPECT_DOUBLE_EQ(s_->nega_snakes.Ratio, 0.5);
    EXPECT_DOUBLE_EQ(s_->pano.PanoSigma, 2.5);
    EXPECT_EQ(s_->pano.PanoRangeE, 60);
    EXPECT_EQ(s_->estimate120_bound[6], 70);
    EXPECT_EQ(s_->estimate120_length[5], 80);
    EXPECT_EQ(s_->template_threshold[2], 9);
    EXPECT_EQ(s_->debug_flags, 1);
    // The per-call resets put the frame kinds in place.
    EXPECT_EQ(s_->frame_size[1].kind, 0);
    for (int i = 2; i <= 7; ++i) EXPECT_EQ(s_->frame_size[i].kind, i);
}

TEST_F(SettingsFile, BlockLinesCountWhateverTheirKey) {
    // The comment takes the place of holder 1's top edge.
    ASSERT_EQ(Read("SleeveNumber 2\nSleeve.left 1\nSleeve.top 2\n\nSleeve.right 3\nSleeve.bottom 4\n"
                   "Sleeve.left 5\n# comment\nSleeve.right 7\nSleeve.bottom 8\nScanner 9\n"),
              0);
    EXPECT_EQ(s_->sleeve_count, 2);
    EXPECT_EQ(s_->sleeve[0].left, 1);
    EXPECT_EQ(s_->sleeve[0].top, 2);
    EXPECT_EQ(s_->sleeve[0].right, 3);
    EXPECT_EQ(s_->sleeve[0].bottom, 4);
    EXPECT_EQ(s_->sleeve[1].left, 5);
    EXPECT_EQ(s_->sleeve[1].top, 0);
    EXPECT_EQ(s_->sleeve[1].bottom, 8);
    EXPECT_EQ(s_->scanner, 9);

    ASSERT_EQ(Read("DebugNumber 1\nDebugRect.x 10\nDebugRect.y 20\nDebugRect.r 30\nDebugRect.b 40\n"
                   "DebugType1 2\nDebugType3 256\nMountNumber 1\nMount.x 5\nMount.y 6\n"),
              0);
    EXPECT_EQ(s_->debug_count, 1);
    EXPECT_EQ(s_->debug_rect[0].bottom, 40);
    EXPECT_EQ(s_->debug_kind[0], 2);
    EXPECT_EQ(s_->debug_polarity[0], 256);
    EXPECT_EQ(s_->mount[0][0], 5);
    EXPECT_EQ(s_->mount[0][1], 6);
}

TEST_F(SettingsFile, OversizedAndShortBlocksStayInsideTheRecord) {
    std::string text = "MountNumber 14\n";
    for (int i = 0; i < 14; ++i) text += "Mount.x " + std::to_string(i) + "\nMount.y 1\n";
    text += "Scanner 3\nBlowneNumber 3\nBlowne.left 1\nBlowne.top 2\nBlowne.right 3\nBlowne.bottom 4\n"
            "Blowne.left 9\n";
    ASSERT_EQ(Read(text), 0);
    EXPECT_EQ(s_->mount_count, ZRTS_MAX_MOUNTS);
    EXPECT_EQ(s_->mount[11][0], 11);
    EXPECT_EQ(s_->scanner, 3);  // the extra groups were consumed, not read as keys
    EXPECT_EQ(s_->blowne_count, 1);  // only whole groups count when the file ends early
    EXPECT_EQ(s_->blowne[1].left, 9);
    EXPECT_EQ(s_->sleeve_count, 0);

    ASSERT_EQ(Read("SleeveNumber -3\nScanner 4\nDebugNumber\nScanner 5\n"), 0);
    EXPECT_EQ(s_->sleeve_count, 0);
    EXPECT_EQ(s_->scanner, 5);
}

TEST_F(SettingsFile, TemplateLinesAreHexBytes) {
    ASSERT_EQ(Read("FilmGuideSleeve135 6\n01 05 0a ff 00 10\nFilmGuideLarge 3\n1ff\tzz\nScanner 2\n"), 0);
    const uint8_t expected[] = {1, 5, 10, 255, 0, 16};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(s_->templates[0][i], expected[i]) << i;
    EXPECT_EQ(s_->templates[0][6], 0);
    // Low 8 bits; a token that is no number gives 0; a short line fills what it has.
    EXPECT_EQ(s_->templates[3][0], 0xff);
    EXPECT_EQ(s_->templates[3][1], 0);
    EXPECT_EQ(s_->scanner, 2);

    std::string huge = "FilmGuideMount135 5000\n";
    for (int i = 0; i < 5000; ++i) huge += "07 ";
    huge += "\nScanner 6\n";
    ASSERT_EQ(Read(huge), 0);
    EXPECT_EQ(s_->templates[1][4095], 7);
    EXPECT_EQ(s_->templates[2][0], 0);  // nothing spilled into the next template
    EXPECT_EQ(s_->scanner, 6);
}

TEST_F(SettingsFile, ExternalModuleNameMustFit) {
    ASSERT_EQ(Read("ExternalModule libguide\n"), 0);
    EXPECT_EQ(s_->external_module, 1);
    EXPECT_STREQ(s_->external_module_name, "libguide");

    ASSERT_EQ(Read("ExternalModule " + std::string(1023, 'm') + "\n"), 0);
    EXPECT_EQ(s_->external_module, 1);
    EXPECT_EQ(std::string(s_->external_module_name).size(), 1023u);

    ASSERT_EQ(Read("ExternalModule " + std::string(1024, 'n') + "\n"), 0);
    EXPECT_EQ(s_->external_module, 0);
    // A key line longer than any buffer is still one line.
    ASSERT_EQ(Read("#" + std::string(3000, ' ') + "Scanner 8\n"), 0);
    EXPECT_EQ(s_->scanner, 0);
}

TEST_F(SettingsFile, RepeatedCallsResetOnlyTheListedFields) {
    ASSERT_EQ(Read("Resolution 300\nFilmguideMarginT 4\nFilmguideMarginR 5\nFilmguideBlackMylar 9\n"
                   "ExternalModule mod\nFAULuminance 100\nSleeveNumber 1\nSleeve.left 1\n"
                   "Sleeve.top 2\nSleeve.right 3\nSleeve.bottom 4\nScanner 1\n"),
              0);
    ASSERT_EQ(Read("Scanner 2\n"), 0);
    EXPECT_EQ(s_->scanner, 2);
    EXPECT_EQ(s_->resolution, 300);
    EXPECT_EQ(s_->fau_luminance, 100);
    EXPECT_EQ(s_->sleeve_count, 1);
    EXPECT_STREQ(s_->external_module_name, "mod");
    EXPECT_EQ(s_->margin_top, 0);
    EXPECT_EQ(s_->margin_right, 0);
    EXPECT_EQ(s_->black_mylar, 0);
    EXPECT_EQ(s_->external_module, 0);
}

TEST_F(SettingsFile, MissingFileKeepsTheRecordButClearsDebugFlags) {
    ASSERT_EQ(Read("Scanner 4\nDebug_flag 1\nFilmguideMarginT 3\n"), 0);
    EXPECT_EQ(zrt::ff::ReadSettingsFile(dir_.File("absent.txt").c_str(), *s_), 1);
    EXPECT_EQ(s_->scanner, 4);
    EXPECT_EQ(s_->margin_top, 3);
    EXPECT_EQ(s_->debug_flags, 0);
    EXPECT_EQ(zrt::ff::ReadSettingsFile(nullptr, *s_), 1);
}

TEST_F(SettingsFile, ExportReadsIntoTheProcessRecord) {
    std::string path = dir_.File("export.txt");
    WriteTextFile(path, "Scanner 12\n");
    ASSERT_EQ(VORN2_Initialize(path.c_str()), 0);
    EXPECT_EQ(zrt::ff::GlobalSettings().scanner, 12);
    EXPECT_EQ(VORN2_Initialize(dir_.File("absent.txt").c_str()), 1);
    EXPECT_EQ(zrt::ff::GlobalSettings().scanner, 12);
}

}  // namespace
