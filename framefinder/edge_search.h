// Edge searches: a segment lying on an edge is walked across it one pixel a
// step while a statistic of the segment's box is watched, and the edge
// refinements of rectangles built on them.
#pragma once

#include <cstdint>

#include "zrts5617.h"

namespace zrt::ff {

struct Point {
    int32_t x, y;
};

// Changed in place by the searches.
struct Segment {
    Point first, second;
};

// Largest density drop: where the preview turns bright.
Point DensityEdgeSearch(const TIFF& image, const uint8_t* pixels, const FrameRect& bounds,
                        Segment& segment, int32_t adjust, int32_t steps, int32_t back,
                        int32_t threshold);

// Strongest change of mean luminance, falls weighted by `ratio`.
Point MeanEdgeSearch(const TIFF& image, const uint8_t* pixels, const FrameRect& bounds,
                     Segment& segment, int32_t adjust, int32_t steps, int32_t back, double ratio);

// First crossing from above `threshold` to below it.
Point ThresholdEdgeSearch(const TIFF& image, const uint8_t* pixels, const FrameRect& bounds,
                          Segment& segment, int32_t adjust, int32_t steps, int32_t back,
                          int32_t threshold);

// Holders, mounts and large-format frames, bounded by the whole image.
void RefineRectEdges(const TIFF& image, const uint8_t* pixels, FrameRect& rect,
                     const SnakesParams& params);

void RefinePositiveFrame(const TIFF& image, const uint8_t* pixels, FrameRect& frame,
                         const FrameRect& area, const SnakesParams& params);

// `pano` may be null: no panorama check.
void RefineNegativeFrame(const TIFF& image, const uint8_t* pixels, FrameRect& frame,
                         const FrameRect& area, const SnakesParams& params,
                         const PanoParams* pano);

}  // namespace zrt::ff
