#include <algorithm>
#include <cmath>
#include <new>

#include "framefinder/edge_search.h"
#include "framefinder/holders.h"
#include "framefinder/pixel_stats.h"

namespace zrt::ff {
namespace {

SnakesParams HolderEdgeParams(const FrameSettings& s) {
    SnakesParams p{};
    p.LeftAdjust = s.margin_left;
    p.RightAdjust = s.margin_right;
    p.TopAdjust = s.margin_top;
    p.BottomAdjust = s.margin_bottom;
    p.Xrange = s.range_x;
    p.Yrange = s.range_y;
    p.Threshold = s.guide_threshold;
    return p;
}

// Moves the top edge down past rows that still show bare backlight.
void TrimTop(const TIFF& image, const uint8_t* pixels, const FrameRect& holder, int32_t backlight,
             FrameRect& a) {
    int32_t start = a.top;
    int32_t m = 0;
    while (a.top < a.bottom) {
        m = MaxLuminance(image, pixels, {holder.left, a.top + 1, holder.right, a.top + 5});
        if (m < backlight) break;
        a.top += 1;
    }
    if (a.top != start || m > 0.5 * backlight) a.top += 3;
}

void TrimBottom(const TIFF& image, const uint8_t* pixels, const FrameRect& holder,
                int32_t backlight, FrameRect& a) {
    int32_t start = a.bottom;
    int32_t m = 0;
    while (a.top < a.bottom) {
        m = MaxLuminance(image, pixels, {holder.left, a.bottom - 4, holder.right, a.bottom});
        if (m < backlight) break;
        a.bottom -= 1;
    }
    if (a.bottom != start || m > 0.5 * backlight) a.bottom -= 3;
}

// Cuts the dark rows of a black mylar sheet under the strip, and one more.
void TrimBlackMylar(const TIFF& image, const uint8_t* pixels, const FrameRect& holder,
                    int32_t limit, FrameRect& a) {
    while (a.top < a.bottom) {
        int32_t m = MaxLuminance(image, pixels, {holder.left, a.bottom - 3, holder.right, a.bottom - 2});
        a.bottom -= 1;
        if (m > limit) break;
    }
}

void AppendArea(FilmAreaList& areas, const FrameRect& a) {
    if (areas.count < 0) areas.count = 0;
    if (areas.count >= ZRTS_MAX_AREAS) return;
    areas.area[areas.count] = a;
    areas.slope[areas.count] = 0.0;
    ++areas.count;
}

}  // namespace

void MarkClearRows(const TIFF& image, const uint8_t* pixels, const FrameRect& holder,
                   int32_t backlight, std::vector<uint8_t>& clear) {
    int32_t inset = static_cast<int32_t>(std::trunc(0.2 * (int64_t{holder.right} - holder.left)));
    int32_t first = std::max(holder.top, 0);
    int32_t last = std::min<int64_t>(holder.bottom, static_cast<int64_t>(clear.size()));
    for (int32_t y = first; y < last; ++y) {
        uint16_t darkest = MinLuminance(image, pixels, {holder.left + inset, y, holder.right - inset, y + 1});
        clear[static_cast<std::size_t>(y)] = darkest > backlight;
    }
}

RowRuns ClearRuns(const std::vector<uint8_t>& clear, int32_t last_row) {
    RowRuns runs;
    int32_t open = -1;
    for (int32_t y = 0; y < static_cast<int32_t>(clear.size()); ++y) {
        if (clear[static_cast<std::size_t>(y)]) {
            if (open < 0) open = y;
            continue;
        }
        if (open >= 0 && runs.size() < kMaxRowRuns) runs.emplace_back(open, y - 1);
        open = -1;
    }
    if (open >= 0 && runs.size() < kMaxRowRuns) runs.emplace_back(open, last_row);
    return runs;
}

bool FindFilmAreas(const TIFF& image, const uint8_t* pixels, FrameRect holder,
                   const FrameSettings& s, FilmAreaList& areas) {
    RefineRectEdges(image, pixels, holder, HolderEdgeParams(s));
    if (holder.top == 0) holder.top = 1;
    RowRuns runs;
    try {
        std::vector<uint8_t> clear(static_cast<std::size_t>(std::max(image.height, 0)), 1);
        MarkClearRows(image, pixels, holder, s.fau_luminance, clear);
        runs = ClearRuns(clear, image.height - 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (std::size_t k = 0; k + 1 < runs.size(); ++k) {
        if (int64_t{runs[k + 1].first} - runs[k].second <= s.divider) continue;
        FrameRect a{holder.left, runs[k].second, holder.right, runs[k + 1].first};
        TrimTop(image, pixels, holder, s.fau_luminance, a);
        TrimBottom(image, pixels, holder, s.fau_luminance, a);
        if (s.black_mylar > 0) TrimBlackMylar(image, pixels, holder, s.black_mylar, a);
        a.left += s.x_adjust;
        a.right -= s.x_adjust;
        if (int64_t{a.bottom} - a.top > 2 * int64_t{s.divider}) AppendArea(areas, a);
    }
    return true;
}

}  // namespace zrt::ff
