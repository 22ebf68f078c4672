#include <gtest/gtest.h>

#include <vector>

#include "engine/calibration/column_average.h"

namespace zrt {
namespace {

struct TrimmedCase {
    std::vector<uint16_t> values;
    uint16_t dropHigh;
    uint16_t dropLow;
    uint16_t expected;
};

TEST(TrimmedMean, DropsTheExtremesAndTruncates) {
    const TrimmedCase cases[] = {
        {{7}, 5, 5, 7},                         // a single value whatever the drops
        {{1, 2, 3, 4}, 0, 0, 2},                // 10 / 4 truncates
        {{9, 1, 5, 3, 7}, 1, 1, 5},             // 3 + 5 + 7
        {{100, 1, 2, 3, 50}, 1, 2, 26},         // drops 1, 2 low and 100 high: (3 + 50) / 2
        {{10, 20, 30, 40}, 0, 3, 40},           // only the largest remains
        {{10, 20, 30, 40}, 4, 4, 40},           // drops that would leave nothing keep one value
        {{65535, 65535, 65535}, 0, 0, 65535},   // no overflow in the sum
    };
    for (const auto& c : cases) {
        std::vector<uint16_t> values = c.values;
        EXPECT_EQ(TrimmedMean(values.data(), static_cast<uint16_t>(values.size()), c.dropHigh, c.dropLow),
                  c.expected)
            << "case with " << values.size() << " values, dropHigh " << c.dropHigh << ", dropLow " << c.dropLow;
    }
}

TEST(TrimmedMean, MovesTheDroppedValuesToTheFront) {
    std::vector<uint16_t> values{5, 9, 1, 7, 3};
    TrimmedMean(values.data(), 5, 1, 2);
    EXPECT_EQ(values[0], 1);
    EXPECT_EQ(values[1], 3);
    EXPECT_EQ(values[2], 9);
}

// 48 white lines keep the 25 values above the 21 darkest, below the 2
// brightest; 32 dark lines keep the middle 20.
TEST(AverageColumns, WhiteAndDarkPassesTrimDifferently) {
    const uint32_t samples = 3;
    std::vector<uint16_t> white(48 * samples);
    for (uint16_t line = 0; line < 48; ++line) {
        white[line * samples + 0] = line;          // 0..47: keeps 21..45, mean 33
        white[line * samples + 1] = 1000;          // constant column
        white[line * samples + 2] = 47 - line;     // the same values in reverse
    }
    std::vector<uint16_t> dst(samples);
    AverageColumns(dst.data(), white.data(), 48, samples, false);
    EXPECT_EQ(dst, (std::vector<uint16_t>{33, 1000, 33}));

    std::vector<uint16_t> dark(32 * samples);
    for (uint16_t line = 0; line < 32; ++line) {
        dark[line * samples + 0] = line;           // keeps 6..25, mean 15 (15.5 truncated)
        dark[line * samples + 1] = line == 0 ? 60000 : 10;  // one hot line is dropped
        dark[line * samples + 2] = 0;
    }
    AverageColumns(dst.data(), dark.data(), 32, samples, true);
    EXPECT_EQ(dst, (std::vector<uint16_t>{15, 10, 0}));
}

}  // namespace
}  // namespace zrt
