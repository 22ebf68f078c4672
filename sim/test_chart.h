// The built-in document: a test chart whose top-left corner sits at the scan
// origin. Bands from the top (1/4800 inch): grey wedge 0-4800, colour
// patches 4800-9600, fine lines 9600-14400, then a position grid.
#pragma once

namespace zrt::sim {

constexpr double kChartWidth = 40832;
constexpr double kGridPitch = 2400;       // half an inch
constexpr double kGridLine = 24;

// Reflectance 0..1 of the chart at (x, y) for channel 0-3.
double ChartReflectance(double x, double y, int channel);

}  // namespace zrt::sim
