#include <gtest/gtest.h>

#include "engine/calibration/exposure_search.h"
#include "engine/calibration/measure_reference.h"

namespace zrt {
namespace {

struct Step {
    uint8_t level;
    unsigned iteration;
    ExposureBounds after;  // current, lower, upper, accepted
};

void Walk(ExposureBounds start, uint8_t target, const std::vector<Step>& steps) {
    ExposureBounds bounds = start;
    for (const auto& step : steps) {
        StepExposure(bounds, step.level, target, step.iteration);
        EXPECT_EQ(bounds.current, step.after.current) << "iteration " << step.iteration;
        EXPECT_EQ(bounds.lower, step.after.lower) << "iteration " << step.iteration;
        EXPECT_EQ(bounds.upper, step.after.upper) << "iteration " << step.iteration;
        EXPECT_EQ(bounds.accepted, step.after.accepted) << "iteration " << step.iteration;
    }
}

TEST(StepExposure, BisectsBetweenTheBounds) {
    Walk({5000, 1400, 9695, false}, 210,
         {{100, 1, {7347, 5000, 9695, false}},
          {230, 2, {6173, 5000, 7347, false}},
          {220, 3, {6173, 5000, 7347, true}}});
}

TEST(StepExposure, TheUpperBoundGrowsFromTheSecondIteration) {
    Walk({1000, 500, 1000, false}, 210,
         {{100, 1, {1000, 500, 1000, false}},   // at the bound: no growth yet
          {100, 2, {1100, 500, 1200, false}},   // +20 %
          {100, 3, {1150, 1100, 1200, false}}});
}

TEST(StepExposure, TheLowerBoundShrinksWhenReached) {
    Walk({400, 400, 9000, false}, 210,
         {{250, 1, {360, 320, 9000, false}},    // -20 % at once
          {250, 2, {340, 320, 360, false}}});
}

TEST(StepExposure, AcceptsWithinTenOfTheTarget) {
    const struct {
        uint8_t target, level;
        bool accepted;
    } cases[] = {{210, 200, true}, {210, 220, true}, {210, 199, false}, {210, 221, false},
                 {150, 140, true}, {150, 160, true}, {150, 139, false}, {150, 161, false}};
    for (const auto& c : cases) {
        ExposureBounds bounds{3000, 1000, 6000, false};
        StepExposure(bounds, c.level, c.target, 1);
        EXPECT_EQ(bounds.accepted, c.accepted) << "target " << int(c.target) << " level " << int(c.level);
        if (c.accepted) {
            EXPECT_EQ(bounds.current, 3000);
        }
    }
}

TEST(StepExposure, TheUpperBoundStopsAtSixteenBits) {
    Walk({60000, 1000, 60000, false}, 210, {{0, 2, {62767, 1000, 65535, false}}});
}

TEST(PassJobFor, KindAndCaptureResolution) {
    const struct {
        uint16_t resolution;
        bool dark;
        uint8_t depth;
        uint8_t kind;
        uint16_t capture;
    } cases[] = {
        {600, true, 48, 0, 600},   {300, true, 48, 1, 600},  {150, true, 48, 2, 600},
        {75, true, 48, 3, 600},    {300, false, 48, 0, 300}, {1200, true, 48, 5, 1200},
        {4800, false, 48, 4, 4800}, {150, true, 24, 12, 600}, {75, true, 8, 23, 600},
        {2400, true, 16, 5, 2400},
    };
    for (const auto& c : cases) {
        const PassJob job = PassJobFor(c.resolution, c.dark, c.depth);
        EXPECT_EQ(job.kind, c.kind) << c.resolution << (c.dark ? " dark" : " white") << " depth " << int(c.depth);
        EXPECT_EQ(job.resolution, c.capture);
    }
}

}  // namespace
}  // namespace zrt
