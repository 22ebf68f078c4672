#include "sim/test_chart.h"

#include <cmath>

namespace zrt::sim {
namespace {

constexpr double kBlack = 0.03;
constexpr double kWhite = 0.88;

// Red, green, blue, cyan, magenta, yellow, black, white.
constexpr double kPatches[8][3] = {
    {0.80, 0.08, 0.08}, {0.08, 0.70, 0.10}, {0.08, 0.10, 0.75}, {0.10, 0.65, 0.75},
    {0.75, 0.10, 0.65}, {0.85, 0.80, 0.10}, {kBlack, kBlack, kBlack}, {kWhite, kWhite, kWhite},
};

constexpr double kLinePeriods[4] = {8, 16, 32, 64};

double Wedge(double x) {
    int step = int(x / (kChartWidth / 16));
    if (step > 15) step = 15;
    return kBlack + (kWhite - kBlack) * step / 15.0;
}

double Lines(double x) {
    int group = int(x / (kChartWidth / 4));
    if (group > 3) group = 3;
    double period = kLinePeriods[group];
    return std::fmod(x, period) < period / 2 ? kBlack : kWhite;
}

double Grid(double x, double y) {
    bool onX = std::fmod(x, kGridPitch) < kGridLine;
    bool onY = std::fmod(y, kGridPitch) < kGridLine;
    return onX || onY ? kBlack : kWhite;
}

}  // namespace

double ChartReflectance(double x, double y, int channel) {
    if (x < 0 || y < 0 || x >= kChartWidth) return kWhite;
    if (y < 4800) return Wedge(x);
    if (y < 9600) {
        int patch = int(x / (kChartWidth / 8));
        if (patch > 7) patch = 7;
        return kPatches[patch][channel < 3 ? channel : 0];
    }
    if (y < 14400) return Lines(x);
    return Grid(x, y);
}

}  // namespace zrt::sim
