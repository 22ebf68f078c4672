// Image capture of the virtual scanner: line layout, sensor response,
// shading, and the light levels the engine's measurements depend on.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "sim/scene.h"
#include "tests/sim/wire.h"

namespace zrt::sim::test {
namespace {

constexpr double kHomeAndVerifySteps = 1052;   // where the engine's check leaves the carriage

Job Held(uint32_t rows) {
    Job j;
    j.hold = true;
    j.rows = rows;
    return j;
}

TEST(SimCapture, WaitingCountAndBytesMatchWindowDepthAndChannels) {
    struct Case { uint32_t start, end; int reduction; uint8_t mask; bool eightBit; uint32_t rows; size_t rowBytes; };
    const Case cases[] = {
        {435, 5538, 0, 0x07, false, 6, 5104 * 2},    // 600 dpi colour, 16-bit samples
        {2875, 3130, 1, 0x07, true, 9, 128},         // 300 dpi colour, 8-bit, 10 extra samples
        {588, 971, 3, 0x02, true, 4, 48},            // 75 dpi grey
        {435, 5538, 0, 0x0F, false, 8, 5104 * 2},    // four channels
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rowBytes);
        Wire wire;
        Job j = Held(c.rows);
        j.start = c.start;
        j.end = c.end;
        j.reductionBits = c.reduction;
        j.channelMask = c.mask;
        j.eightBit = c.eightBit;
        ASSERT_EQ(j.rowBytes(), c.rowBytes);
        ASSERT_TRUE(wire.program(j) && wire.start() && wire.waitIdle());
        EXPECT_EQ(size_t(wire.readTriple(0xA5)) * 2, c.rows * c.rowBytes);
        std::vector<uint8_t> data;
        ASSERT_TRUE(wire.readImage(c.rows * c.rowBytes, data));
        EXPECT_EQ(data.size(), c.rows * c.rowBytes);
        EXPECT_EQ(wire.readTriple(0xA5), 0u);
        EXPECT_EQ(wire.read(0xA4) & 1, 1);
    }
}

TEST(SimCapture, ResponseGrowsWithExposureAndSaturates) {
    Wire wire;
    wire.model->setCarriageSteps(kHomeAndVerifySteps);
    double previous = 0;
    for (uint16_t exposure : {1, 500, 1000, 2000}) {
        Job j = Held(3);
        j.exposure[0] = j.exposure[1] = j.exposure[2] = exposure;
        std::vector<uint8_t> data;
        ASSERT_TRUE(wire.capture(j, data));
        double mean = 0;
        for (size_t k = 0; k < 5104; ++k) mean += Sample(data, j, 0, k);
        mean /= 5104;
        EXPECT_GT(mean, previous) << exposure;
        previous = mean;
    }
    Job bright = Held(3);
    bright.exposure[2] = 5500;
    std::vector<uint8_t> data;
    ASSERT_TRUE(wire.capture(bright, data));
    EXPECT_EQ(Sample(data, bright, 2, 100), 65535u) << "blue saturates on the white backing";
}

TEST(SimCapture, EightBitSamplesPassThroughTheGammaTables) {
    Wire wire;
    wire.model->setCarriageSteps(kHomeAndVerifySteps);
    Job j = Held(3);
    j.eightBit = true;
    std::vector<uint8_t> plain, mapped;
    ASSERT_TRUE(wire.capture(j, plain));
    std::vector<uint8_t> inverted(256);
    for (int k = 0; k < 256; ++k) inverted[size_t(k)] = uint8_t(255 - k);
    ASSERT_TRUE(wire.writeMemory(1, 0x100, inverted));   // channel 1
    ASSERT_TRUE(wire.capture(j, mapped));
    for (size_t k : {size_t(10), size_t(2000), size_t(5000)}) {
        EXPECT_NEAR(Sample(mapped, j, 0, k), Sample(plain, j, 0, k), 6) << "red keeps its identity table";
        EXPECT_NEAR(Sample(mapped, j, 1, k), 255 - Sample(plain, j, 1, k), 6);
    }
}

// Offsets and gains as the engine computes them from a dark and a white
// reference, in the controller's layout: offset then gain per pixel.
std::vector<uint16_t> ShadingTable(const std::vector<double>& dark, const std::vector<double>& white, uint32_t first) {
    constexpr uint32_t kTarget = 64448;
    std::vector<uint16_t> words(size_t(first + dark.size()) * 2, 0);
    for (size_t i = 0; i < dark.size(); ++i) {
        uint32_t d = uint32_t(dark[i]), w = uint32_t(white[i]);
        int32_t diff = int32_t(w) - int32_t(d);
        uint16_t offset = diff > 0 ? uint16_t(uint32_t(diff) * 512 / kTarget - d) : uint16_t(512 - d);
        uint16_t gain = diff > 0 ? uint16_t(std::min<uint32_t>(kTarget * 16384u / uint32_t(diff), 65535)) : 16384;
        words[(first + i) * 2] = offset;
        words[(first + i) * 2 + 1] = gain;
    }
    return words;
}

std::vector<double> MeanRed(const std::vector<uint8_t>& data, const Job& j, size_t samples) {
    std::vector<double> mean(samples, 0);
    for (uint32_t line = 0; line < j.rows / 3; ++line)
        for (size_t k = 0; k < samples; ++k) mean[k] += Sample(data, j, line * 3, k) / double(j.rows / 3);
    return mean;
}

double Spread(const std::vector<double>& v) {
    auto [lo, hi] = std::minmax_element(v.begin(), v.end());
    return (*hi - *lo) / (std::accumulate(v.begin(), v.end(), 0.0) / double(v.size()));
}

TEST(SimCapture, UploadedShadingFlattensTheSensorSpread) {
    Wire wire;
    wire.model->setCarriageSteps(kHomeAndVerifySteps);
    const size_t samples = 5104;
    Job dark = Held(24);
    dark.exposure[0] = 1;
    Job white = Held(24);
    std::vector<uint8_t> darkData, whiteData;
    ASSERT_TRUE(wire.capture(dark, darkData) && wire.capture(white, whiteData));
    std::vector<double> darkMean = MeanRed(darkData, dark, samples), whiteMean = MeanRed(whiteData, white, samples);
    std::vector<double> raw(samples);
    for (size_t k = 0; k < samples; ++k) raw[k] = whiteMean[k] - darkMean[k];
    EXPECT_GT(Spread(raw), 0.08) << "the sensor has its seeded spread";

    ASSERT_TRUE(wire.writeWords(0x000000, ShadingTable(darkMean, whiteMean, 435)));
    Job corrected = white;
    corrected.shading = true;
    std::vector<uint8_t> data;
    ASSERT_TRUE(wire.capture(corrected, data));
    std::vector<double> flat = MeanRed(data, corrected, samples);
    EXPECT_LT(Spread(flat), 0.02);
    EXPECT_NEAR(flat[1000], 64448 + 512, 300) << "white lands on the target plus 512";
}

TEST(SimCapture, ACaptureWaitsWhileTheImageBufferIsFull) {
    Wire wire;
    Job j = Held(600);
    ASSERT_TRUE(wire.program(j) && wire.start());
    wire.model->advanceMs(5000);
    EXPECT_TRUE(wire.model->jobRunning());
    EXPECT_LE(wire.model->imageBytesWaiting(), size_t(512 * 1024));
    std::vector<uint8_t> data;
    ASSERT_TRUE(wire.readImage(j.rows * j.rowBytes(), data));
    EXPECT_TRUE(wire.waitIdle());
}

// --- Light levels and scene placement, seen the way the engine measures ---

// The engine's origin search: 128 lines at 300 dpi from where its home check
// leaves the carriage, a drop of more than 50 in the first plane.
TEST(SimScene, DarkMarkPutsTheMeasuredOriginOnTheGlassOrigin) {
    Wire wire;
    wire.model->setCarriageSteps(kHomeAndVerifySteps);
    Job j;
    j.start = 2875; j.end = 3130; j.reductionBits = 1; j.eightBit = true;
    j.exposure[0] = j.exposure[1] = j.exposure[2] = 2800;
    j.accelSteps = 128; j.feed = 4; j.decelSteps = 12; j.rows = 128 * 3;
    std::vector<uint8_t> data;
    ASSERT_TRUE(wire.capture(j, data));
    long sum = 0, count = 0;
    for (size_t c = 0; c < 118; ++c) {
        for (size_t i = 1; i <= 126; ++i) {
            if (int(Sample(data, j, (i - 1) * 3, c)) - int(Sample(data, j, (i + 1) * 3, c)) > 50) {
                sum += long(i);
                ++count;
                break;
            }
        }
    }
    ASSERT_EQ(count, 118);
    int origin = int((sum / count) * 1200 / 300 + 132 + 151.1811023622047685);
    EXPECT_EQ(kHomeAndVerifySteps + origin, kGlassOriginSteps);
}

// The film-guide check: 150 dpi under the document lamp, four patches.
TEST(SimScene, FilmGuidePatchesDifferByMoreThan150UnlessMissing) {
    for (bool missing : {false, true}) {
        SCOPED_TRACE(missing);
        Wire wire;
        wire.model->setGuideMissing(missing);
        wire.model->setCarriageSteps(kHomeAndVerifySteps);
        Job j;
        j.start = 1555; j.end = 2450; j.reductionBits = 2; j.eightBit = true;
        j.linePeriod = 5896; j.stepPeriod = 2211;
        j.exposure[0] = 6000; j.exposure[1] = 7000; j.exposure[2] = 3700;
        j.accelSteps = 250; j.feed = 4; j.decelSteps = 12; j.rows = 180 * 3;
        std::vector<uint8_t> data;
        ASSERT_TRUE(wire.capture(j, data));
        auto average = [&](size_t firstLine, size_t offset) {
            long sum = 0;
            for (size_t line = firstLine; line < firstLine + 35; ++line)
                for (size_t plane = 0; plane < 3; ++plane)
                    for (size_t k = offset; k < offset + 45; ++k) sum += Sample(data, j, (90 + line) * 3 + plane, k);
            return int(sum / 4725);
        };
        int held = 0;
        for (size_t o : {size_t(0), size_t(110)}) {
            held += average(5, o + 60) - average(5, o + 5) > 150;
            held += average(50, o + 5) - average(50, o + 60) > 150;
        }
        EXPECT_EQ(held, missing ? 0 : 4);
    }
}

// The film lamp check: 75 dpi film mode, lines 200-229 average at least 200.
TEST(SimScene, FilmLampLightsTheCalibrationWindow) {
    for (bool dead : {false, true}) {
        SCOPED_TRACE(dead);
        Wire wire;
        wire.model->setFilmLampDead(dead);
        wire.model->setCarriageSteps(kHomeAndVerifySteps);
        Job j;
        j.modePulses = 1 + 8;
        j.filmLamp = true;
        j.start = 588; j.end = 971; j.reductionBits = 3; j.eightBit = true;
        j.linePeriod = 11792; j.stepPeriod = 2211;
        j.exposure[0] = j.exposure[1] = j.exposure[2] = 4000;
        j.accelSteps = 250; j.feed = 4; j.decelSteps = 12; j.rows = 250 * 3;
        std::vector<uint8_t> data;
        ASSERT_TRUE(wire.capture(j, data));
        for (size_t plane = 0; plane < 3; ++plane) {
            long sum = 0;
            for (size_t line = 200; line < 230; ++line)
                for (size_t k = 0; k < 45; ++k) sum += Sample(data, j, line * 3 + plane, k);
            if (dead) EXPECT_LT(sum / 1350, 200);
            else EXPECT_GE(sum / 1350, 200);
        }
    }
}

// The sensor test's dark line (4800 dpi, exposures 1) stays at or below 80.
TEST(SimScene, DarkLineStaysLowUnlessTheSensorLeaks) {
    for (bool leak : {false, true}) {
        SCOPED_TRACE(leak);
        Wire wire;
        wire.model->setSensorLeak(leak);
        wire.model->setCarriageSteps(kHomeAndVerifySteps);
        Job j = Held(3);
        j.modePulses = 4;
        j.start = 933; j.end = 933 + 40832 - 1; j.eightBit = true;
        j.linePeriod = 42880;
        j.exposure[0] = j.exposure[1] = j.exposure[2] = 1;
        std::vector<uint8_t> data;
        ASSERT_TRUE(wire.capture(j, data));
        uint8_t brightest = *std::max_element(data.begin(), data.begin() + 40832);
        if (leak) EXPECT_GT(brightest, 80);
        else EXPECT_LE(brightest, 80);
    }
}

// The exposure search bisects between its bounds: the dark-corrected level
// of the brightest pixel must be below target at the lower bound and above
// it at the upper one, for each channel of the document lamp at 600 dpi.
TEST(SimScene, ExposureSearchBoundsBracketTheTarget) {
    Wire wire;
    wire.model->setCarriageSteps(kHomeAndVerifySteps);
    Job dark = Held(3);
    dark.exposure[0] = dark.exposure[1] = dark.exposure[2] = 1;
    std::vector<uint8_t> darkData;
    ASSERT_TRUE(wire.capture(dark, darkData));
    auto level = [&](int channel, uint16_t exposure) {
        Job j = Held(3);
        j.exposure[0] = j.exposure[1] = j.exposure[2] = exposure;
        std::vector<uint8_t> data;
        EXPECT_TRUE(wire.capture(j, data));
        uint32_t best = 0;
        for (size_t k = 0; k < 5104; ++k) {
            int v = int(Sample(data, j, size_t(channel), k)) - int(Sample(darkData, dark, size_t(channel), k)) + 512;
            best = std::max<uint32_t>(best, uint32_t(std::clamp(v, 0, 65535)));
        }
        return int(best >> 8);
    };
    const uint16_t lower[3] = {1400, 800, 550};
    for (int channel = 0; channel < 3; ++channel) {
        SCOPED_TRACE(channel);
        EXPECT_LT(level(channel, lower[channel]), 200);
        EXPECT_GT(level(channel, 5600 - 305), 220);
    }
}

}  // namespace
}  // namespace zrt::sim::test
