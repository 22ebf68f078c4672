#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "engine/calibration/shading_compute.h"

namespace zrt {
namespace {

struct PixelCase {
    uint8_t source;
    unsigned table;
    uint16_t white, dark;
    uint16_t gain, offset;
};

TEST(ComputeShading, TurnsReferencesIntoGainAndOffset) {
    const PixelCase cases[] = {
        {1, 0, 40000, 1000, 27074, 64845},   // offset 309 - 1000 wraps like the controller expects
        {1, 1, 100, 0, 65535, 0},            // gain saturates
        {1, 2, 500, 500, 16384, 12},         // white = dark: gain 1.0, offset 512 - d
        {1, 3, 100, 600, 16384, 65448},      // white below dark
        {12, 1, 65535, 35, 16655, 468},      // film targets differ per channel
        {12, 3, 20000, 0, 35651, 235},
        {4, 0, 1, 0, 65535, 0},
    };
    for (const auto& c : cases) {
        std::array<std::vector<uint16_t>, 4> white, dark;
        std::array<uint16_t*, 4> w{}, d{};
        for (size_t t = 0; t < 4; ++t) {
            white[t].assign(2, 7);
            dark[t].assign(2, 3);
            w[t] = white[t].data();
            d[t] = dark[t].data();
        }
        white[c.table][0] = c.white;
        dark[c.table][0] = c.dark;
        ComputeShading(1, c.source, w, d);
        EXPECT_EQ(white[c.table][0], c.gain) << "source " << int(c.source) << " table " << c.table;
        EXPECT_EQ(dark[c.table][0], c.offset) << "source " << int(c.source) << " table " << c.table;
        // Entries past the count are left alone.
        EXPECT_EQ(white[c.table][1], 7);
        EXPECT_EQ(dark[c.table][1], 3);
    }
}

}  // namespace
}  // namespace zrt
