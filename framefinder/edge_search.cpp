#include "framefinder/edge_search.h"

#include <cmath>

#include "framefinder/pixel_stats.h"

namespace zrt::ff {
namespace {

int32_t Sign(int64_t v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

// The walk goes to the right-hand side of the segment as seen from its first
// point, with y growing downward.
struct Walk {
    int32_t dx, dy;
};

Walk WalkOf(const Segment& s) {
    return {Sign(int64_t{s.first.y} - s.second.y), Sign(int64_t{s.second.x} - s.first.x)};
}

void MoveBy(Segment& s, const Walk& w, int32_t n) {
    s.first.x += w.dx * n;
    s.first.y += w.dy * n;
    s.second.x += w.dx * n;
    s.second.y += w.dy * n;
}

Box BoxOf(const Segment& s) { return {s.first.x, s.first.y, s.second.x + 1, s.second.y + 1}; }

Point Reported(const Segment& s, const Walk& w, int32_t adjust) {
    return {s.first.x + w.dx * adjust, s.first.y + w.dy * adjust};
}

// One pixel outside the bounds, where the searches that look for a change
// start from beyond the edge.
void ClampOutside(Point& p, const FrameRect& b) {
    if (p.x < b.left) p.x = b.left - 1;
    if (p.x > b.right) p.x = b.right + 1;
    if (p.y <= b.top) p.y = b.top - 1;
    if (p.y >= b.bottom) p.y = b.bottom + 1;
}

void ClampInside(Point& p, const FrameRect& b) {
    if (p.x < b.left) p.x = b.left;
    if (p.x > b.right) p.x = b.right;
    if (p.y < b.top) p.y = b.top;
    if (p.y > b.bottom) p.y = b.bottom;
}

enum class Edge { Left, Right, Top, Bottom };

Segment EdgeSegment(const FrameRect& r, Edge edge) {
    switch (edge) {
    case Edge::Left: return {{r.left, r.bottom}, {r.left, r.top}};
    case Edge::Right: return {{r.right, r.top}, {r.right, r.bottom}};
    case Edge::Top: return {{r.left, r.top}, {r.right, r.top}};
    case Edge::Bottom: return {{r.right, r.bottom}, {r.left, r.bottom}};
    }
    return {};
}

// The searches move by single pixels; a range from a damaged settings file
// is held to a size that cannot overflow the coordinates.
int32_t BoundedSteps(int32_t steps) { return steps > (1 << 20) ? (1 << 20) : steps; }

struct EdgeJob {
    int32_t adjust, steps, back;
};

struct FourEdges {
    EdgeJob left, right, top, bottom;
};

template <typename Search>
void RefineEdges(FrameRect& rect, const FourEdges& jobs, Search search) {
    FrameRect old = rect;
    Segment s = EdgeSegment(old, Edge::Left);
    int32_t left = search(s, jobs.left).x;
    s = EdgeSegment(old, Edge::Right);
    int32_t right = search(s, jobs.right).x;
    s = EdgeSegment(old, Edge::Top);
    int32_t top = search(s, jobs.top).y;
    s = EdgeSegment(old, Edge::Bottom);
    int32_t bottom = search(s, jobs.bottom).y;
    rect = {left, top, right, bottom};
}

FourEdges FrameJobs(const SnakesParams& p, int32_t side) {
    int32_t yBack = p.Yrange / 2;
    int32_t ySteps = p.Yrange > (1 << 29) ? (1 << 30) : 2 * p.Yrange;
    return {{p.LeftAdjust, p.Xrange, side},
            {p.RightAdjust, p.Xrange, side},
            {p.TopAdjust, ySteps, yBack},
            {p.BottomAdjust, ySteps, yBack}};
}

bool IsPanoramaFrame(const TIFF& image, const uint8_t* pixels, const FrameRect& f,
                     const PanoParams& pano) {
    int32_t m = static_cast<int32_t>(std::trunc(0.1 * (int64_t{f.bottom} - f.top)));
    Box leftBand{f.left + pano.PanoRangeS, f.top + m, f.left + pano.PanoRangeE, f.bottom - m};
    Box rightBand{f.right - pano.PanoRangeE, f.top + m, f.right - pano.PanoRangeS, f.bottom - m};
    for (const Box& band : {leftBand, rightBand}) {
        if (!(pano.PanoMean < MeanLuminance(image, pixels, band))) return false;
        if (!(LuminanceDeviation(image, pixels, band) < pano.PanoSigma)) return false;
    }
    return true;
}

}  // namespace

Point DensityEdgeSearch(const TIFF& image, const uint8_t* pixels, const FrameRect& bounds,
                        Segment& s, int32_t adjust, int32_t steps, int32_t back,
                        int32_t threshold) {
    Walk w = WalkOf(s);
    MoveBy(s, w, -back);
    ClampOutside(s.first, bounds);
    ClampOutside(s.second, bounds);
    int32_t limit = static_cast<uint16_t>(threshold);
    int32_t d = Density(MaxLuminance(image, pixels, BoxOf(s)));
    Point best = s.first;
    int32_t drop = 0;
    for (int32_t i = 0, n = BoundedSteps(steps); i < n; ++i) {
        MoveBy(s, w, 1);
        int32_t next = Density(MaxLuminance(image, pixels, BoxOf(s)));
        if (d - next > drop) {
            drop = d - next;
            best = Reported(s, w, adjust);
        }
        if (drop > limit) break;
        d = next;
    }
    return best;
}

Point MeanEdgeSearch(const TIFF& image, const uint8_t* pixels, const FrameRect& bounds,
                     Segment& s, int32_t adjust, int32_t steps, int32_t back, double ratio) {
    Walk w = WalkOf(s);
    MoveBy(s, w, -back);
    ClampOutside(s.first, bounds);
    ClampOutside(s.second, bounds);
    int32_t m = MeanLuminance(image, pixels, BoxOf(s));
    int32_t fall = 0, rise = 0;
    Point start = s.first, fallAt = start, riseAt = start;
    for (int32_t i = 0, n = BoundedSteps(steps); i < n; ++i) {
        MoveBy(s, w, 1);
        int32_t next = MeanLuminance(image, pixels, BoxOf(s));
        if (m > next && m - next > fall) {
            fall = m - next;
            fallAt = Reported(s, w, adjust);
        }
        if (next > m && next - m > rise) {
            rise = next - m;
            riseAt = Reported(s, w, adjust);
        }
        m = next;
    }
    double weighted = fall * ratio;
    int32_t fallScore = weighted >= 65535.0 ? 65535 : static_cast<int32_t>(std::trunc(weighted));
    if (!(weighted == weighted)) fallScore = 0;
    if (fallScore < 100 && rise < 100) return start;
    return fallScore > rise ? fallAt : riseAt;
}

Point ThresholdEdgeSearch(const TIFF& image, const uint8_t* pixels, const FrameRect& bounds,
                          Segment& s, int32_t adjust, int32_t steps, int32_t back,
                          int32_t threshold) {
    Point fallback = s.second;
    Walk w = WalkOf(s);
    MoveBy(s, w, -back);
    ClampInside(s.first, bounds);
    ClampInside(s.second, bounds);
    int32_t previous = 0;
    for (int32_t i = 0, n = BoundedSteps(steps); i < n; ++i) {
        int32_t m = MaxLuminance(image, pixels, BoxOf(s));
        if (previous > threshold && m < threshold) return Reported(s, w, adjust);
        previous = m;
        MoveBy(s, w, 1);
    }
    return fallback;
}

void RefineRectEdges(const TIFF& image, const uint8_t* pixels, FrameRect& rect,
                     const SnakesParams& p) {
    FrameRect bounds{0, 0, image.width, image.height};
    FourEdges jobs{{p.LeftAdjust, p.Xrange, 0},
                   {p.RightAdjust, p.Xrange, 0},
                   {p.TopAdjust, p.Yrange, 0},
                   {p.BottomAdjust, p.Yrange, 0}};
    RefineEdges(rect, jobs, [&](Segment& s, const EdgeJob& j) {
        return DensityEdgeSearch(image, pixels, bounds, s, j.adjust, j.steps, j.back, p.Threshold);
    });
}

void RefinePositiveFrame(const TIFF& image, const uint8_t* pixels, FrameRect& frame,
                         const FrameRect& area, const SnakesParams& p) {
    RefineEdges(frame, FrameJobs(p, 0), [&](Segment& s, const EdgeJob& j) {
        return DensityEdgeSearch(image, pixels, area, s, j.adjust, j.steps, j.back, p.Threshold);
    });
}

void RefineNegativeFrame(const TIFF& image, const uint8_t* pixels, FrameRect& frame,
                         const FrameRect& area, const SnakesParams& p, const PanoParams* pano) {
    int32_t side = pano && IsPanoramaFrame(image, pixels, frame, *pano) ? -pano->PanoLength : 0;
    RefineEdges(frame, FrameJobs(p, side), [&](Segment& s, const EdgeJob& j) {
        return MeanEdgeSearch(image, pixels, area, s, j.adjust, j.steps, j.back, p.Ratio);
    });
}

}  // namespace zrt::ff
