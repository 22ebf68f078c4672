// The two direct exports: one film strip without configured holders, and the
// frames of a large-format holder.
#include <cmath>
#include <new>
#include <vector>

#include "framefinder/edge_search.h"
#include "framefinder/film_guide.h"
#include "framefinder/holders.h"
#include "framefinder/pixel_stats.h"
#include "zrts5617.h"

namespace zrt::ff {
namespace {

constexpr int32_t kBrightLimit = 52500;  // bare backlight above, film below
constexpr int32_t kSearchAdjust = 2;
constexpr int32_t kSideSteps = 30;
constexpr int32_t kSideReach = 100;      // rows of the side-edge segments
constexpr int32_t kDefaultWidth = 294;   // strip width when not measured
constexpr int32_t kStripMargin = 20;     // cut from each side of the strip

bool UsableImage(const TIFF* image, const uint8_t* pixels) {
    return image && pixels && image->width > 0 && image->height > 0 &&
           int64_t{image->stride} >= 6 * int64_t{image->width};
}

// The first band of film between rows of bare backlight; R keeps its rows
// when there is none.
void FindFilmRows(const TIFF& image, const uint8_t* pixels, int32_t backlight, int32_t divider,
                  FrameRect& r) {
    std::vector<uint8_t> clear(static_cast<std::size_t>(image.height - 1), 1);
    MarkClearRows(image, pixels, r, backlight, clear);
    RowRuns runs = ClearRuns(clear, image.height - 1);
    for (std::size_t k = 0; k + 1 < runs.size(); ++k) {
        if (int64_t{runs[k + 1].first} - runs[k].second > divider) {
            r.top = runs[k].second;
            r.bottom = runs[k + 1].first;
            return;
        }
    }
}

Point Threshold(const TIFF& image, const uint8_t* pixels, const FrameRect& r, Segment s,
                int32_t steps) {
    return ThresholdEdgeSearch(image, pixels, r, s, kSearchAdjust, steps, 0, kBrightLimit);
}

enum : int32_t { kTL = 1, kTR = 2, kBL = 4, kBR = 8 };

}  // namespace

StripEdges StripFromSides(const FrameRect& r, int32_t tl, int32_t tr, int32_t bl, int32_t br,
                          int32_t height) {
    int32_t found = (tl > r.left ? kTL : 0) | (tr < r.right ? kTR : 0) |
                    (bl > r.left ? kBL : 0) | (br < r.right ? kBR : 0);
    auto has = [&](int32_t f) { return (found & f) == f; };
    // A strip of no height has no measurable drift.
    auto per_row = [&](int32_t d) { return height == 0 ? 0.0 : static_cast<double>(d) / height; };
    int32_t w = kDefaultWidth;
    if (has(kTL | kBL)) {
        if (has(kTR)) w = tr - tl;
        if (has(kBR)) w = br - bl;
        int32_t left = tl + 1;
        return {left, tl + w - 1, per_row(bl - left)};
    }
    if (has(kTR | kBR)) {
        if (has(kTL)) w = tr - tl;
        if (has(kBL)) w = br - bl;
        int32_t right = tr - 1;
        return {tr - w + 1, right, per_row(br - right)};
    }
    if (has(kTR | kBL)) {
        int32_t left = tr - w + 1;
        return {left, tr - 1, per_row(bl - left)};
    }
    if (has(kTL | kBR)) {
        int32_t right = tl + w - 1;
        return {tl + 1, right, per_row(br - right)};
    }
    int32_t left = has(kTL) ? tl : has(kBL) ? bl : r.left;
    int32_t right = has(kTR) ? tr : has(kBR) ? br : r.right;
    if (left == r.left && right != r.right) left = right - w;
    if (left != r.left && right == r.right) right = left + w;
    return {left, right, 0.0};
}

namespace {

void SleeveFilmGuide(const TIFF& image, const uint8_t* pixels, FilmAreaList& areas,
                     const FrameSettings& s) {
    int32_t h = image.height;
    FrameRect r{1, 1, image.width - 2, h - 2};
    if (h < 3) return;
    FindFilmRows(image, pixels, s.fau_luminance, s.divider, r);
    int32_t top = Threshold(image, pixels, r, {{r.left + 30, r.top}, {r.right - 30, r.top}}, h - 420).y;
    int32_t bottom =
        Threshold(image, pixels, r, {{r.right - 30, r.bottom}, {r.left + 30, r.bottom}}, h - top - 210).y;
    if (top == 0) top = 2;
    if (bottom == h - 1) bottom = h - 3;
    if (top < 0 || bottom < 0 || bottom < top) return;
    int32_t tl = Threshold(image, pixels, r, {{r.left, top + kSideReach}, {r.left, top}}, kSideSteps).x;
    int32_t tr = Threshold(image, pixels, r, {{r.right, top}, {r.right, top + kSideReach}}, kSideSteps).x;
    int32_t bl = Threshold(image, pixels, r, {{r.left, bottom}, {r.left, bottom - kSideReach}}, kSideSteps).x;
    int32_t br = Threshold(image, pixels, r, {{r.right, bottom - kSideReach}, {r.right, bottom}}, kSideSteps).x;
    StripEdges e = StripFromSides(r, tl, tr, bl, br, bottom - top);
    if (e.left < 0 || e.right < 0 || e.right < e.left) return;
    areas.area[0] = {e.left + kStripMargin, top, e.right - kStripMargin, bottom};
    areas.slope[0] = e.slope;
    areas.count = 1;
}

struct LargeFrame {
    FrameRect rect;
    SnakesParams params;
    int32_t kind;
};

// The refinements have no early stop: no density drop reaches 65535.
constexpr LargeFrame kLargeFrames[] = {
    {{500, 175, 1620, 1635}, {1, 1, 1, 1, 40, 40, 65535, 0, 0.0}, ZRTS_KIND_LARGE},
    {{500, 2110, 1610, 2805}, {0, 0, 0, 0, 400, 40, 65535, 0, 0.0}, ZRTS_KIND_BLOWNE45},
};
constexpr int32_t kLargeBrightMean = 55000;

bool RectInsideImage(const TIFF& image, const FrameRect& r) {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
           r.right <= image.width && r.bottom <= image.height;
}

}  // namespace

// A frame that does not lie wholly in the preview is not reported: a smaller
// preview cannot show it.
void FindLargeFormatFrames(const TIFF& image, const uint8_t* pixels, FilmPosition& frames) {
    frames.count = 0;
    for (const LargeFrame& f : kLargeFrames) {
        if (!RectInsideImage(image, f.rect)) continue;
        FrameRect rect = f.rect;
        RefineRectEdges(image, pixels, rect, f.params);
        if (!RectInsideImage(image, rect)) continue;
        if (MeanLuminance(image, pixels, {rect.left, rect.top, rect.right, rect.bottom}) >= kLargeBrightMean)
            continue;
        int32_t k = frames.count++;
        frames.area[k] = 0;
        frames.rect[k] = rect;
        frames.kind[k] = f.kind;
        frames.polarity[k] = ZRTS_POLARITY_NEGATIVE;
        frames.base[k][0] = frames.base[k][1] = frames.base[k][2] = 0;
    }
}

}  // namespace zrt::ff

extern "C" {

ZRTS_API int32_t ZRTS_CALL GetSleeveFilmGuideCIS(TIFF* image, const uint8_t* pixels,
                                                 FilmAreaList* areas, FrameSettings* settings) {
    if (!areas) return 0;
    areas->count = 0;
    if (!settings || !zrt::ff::UsableImage(image, pixels)) return 0;
    try {
        zrt::ff::SleeveFilmGuide(*image, pixels, *areas, *settings);
    } catch (...) {
        areas->count = 0;  // no work memory: no strip
    }
    return 0;
}

ZRTS_API int32_t ZRTS_CALL GetLargeFormat(TIFF* image, const uint8_t* pixels,
                                          FilmPosition* frames, int32_t /*unused*/) {
    if (!frames) return 0;
    frames->count = 0;
    if (!zrt::ff::UsableImage(image, pixels)) return 0;
    zrt::ff::FindLargeFormatFrames(*image, pixels, *frames);
    return 0;
}

}  // extern "C"
