#include <algorithm>
#include <utility>

#include "framefinder/frames.h"

namespace zrt::ff {
namespace {

void SwapFrames(FilmPosition& list, int32_t i, int32_t j) {
    std::swap(list.rect[i], list.rect[j]);
    std::swap(list.kind[i], list.kind[j]);
    std::swap(list.polarity[i], list.polarity[j]);
}

// New frames take the film base of the list's first frame.
bool AddFillFrame(FilmPosition& list, const FrameRect& area, int32_t top, int32_t bottom,
                  int32_t kind) {
    Colour base{list.base[0][0], list.base[0][1], list.base[0][2]};
    if (!AppendFrame(list, {area.left, top, area.right, bottom}, kind)) return false;
    std::copy(base.begin(), base.end(), list.base[list.count - 1]);
    return true;
}

void FillDownward(FilmPosition& list, const FrameRect& area, int32_t q, int32_t n, int32_t m,
                  int32_t length, int32_t kind) {
    for (int32_t k = 0; k < n; ++k) {
        if (!AddFillFrame(list, area, q + m, q + m + length, kind)) return;
        q = q + m + length;
    }
}

}  // namespace

bool AppendFrame(FilmPosition& list, const FrameRect& rect, int32_t kind) {
    if (list.count < 0) list.count = 0;
    if (list.count >= ZRTS_MAX_FRAMES) return false;
    int32_t k = list.count++;
    list.rect[k] = rect;
    list.kind[k] = kind;
    list.polarity[k] = ZRTS_POLARITY_POSITIVE;
    list.area[k] = 0;
    std::fill(list.base[k], list.base[k] + 3, uint16_t{0});
    return true;
}

void FramesFromRuns(const DividerRuns& runs, const FrameRect& area, const FrameSize& size,
                    FilmPosition& list) {
    for (std::size_t i = 0; i + 1 < runs.size(); ++i) {
        int64_t length = int64_t{runs[i + 1].first} - runs[i].second;
        if (size.film_min_length < length && length < size.film_max_length)
            AppendFrame(list, {area.left, runs[i].second, area.right, runs[i + 1].first}, size.kind);
    }
    SortFramesByTop(list);
}

// Stable: equal tops keep their order. The area index and the film base
// belong to the slot, not to the frame, and stay in place.
void SortFramesByTop(FilmPosition& list) {
    for (int32_t pass = 0; pass + 1 < list.count; ++pass) {
        for (int32_t j = 0; j + 1 < list.count - pass; ++j) {
            if (list.rect[j + 1].top < list.rect[j].top) SwapFrames(list, j, j + 1);
        }
    }
}

bool FillMissingFrames(FilmPosition& list, const FrameRect& area, const FrameSize& size) {
    if (list.count <= 0) return true;
    int32_t length = size.film_length;
    if (length <= 0) return false;
    int32_t kind = size.kind;

    int32_t gap = list.rect[0].top - area.top;
    if (gap > length) {
        int32_t n = gap / length, m = (gap - n * length) / n;
        int32_t q = list.rect[0].top;
        for (int32_t k = 0; k < n; ++k) {
            if (!AddFillFrame(list, area, q - m - length, q - m, kind)) break;
            q = q - m - length;
        }
        SortFramesByTop(list);
    }
    for (int32_t i = 0; i < list.count - 1; ++i) {
        gap = list.rect[i + 1].top - list.rect[i].bottom;
        if (gap <= length) continue;
        int32_t n = gap / length, m = (gap - n * length) / (n + 1);
        FillDownward(list, area, list.rect[i].bottom, n, m, length, kind);
        SortFramesByTop(list);
    }
    int32_t last = list.count - 1;
    gap = area.bottom - list.rect[last].bottom;
    if (gap > length) {
        int32_t n = gap / length, m = (gap - n * length) / n;
        FillDownward(list, area, list.rect[last].bottom, n, m, length, kind);
        SortFramesByTop(list);
    }
    return true;
}

bool EstimateFrame135(FilmPosition& list, const FrameRect& area, const FrameSettings& s) {
    int32_t e = s.estimate135_length;
    if (e <= 0) return false;
    int32_t h = area.bottom - area.top;
    if (h < e) return true;
    int32_t top = h / e == 1 ? (area.top + area.bottom) / 2 - e / 2 : area.top;
    list.count = 0;
    AppendFrame(list, {area.left, top, area.right, top + e}, ZRTS_KIND_35MM);
    return true;
}

void EstimateFrame120(FilmPosition& list, const FrameRect& area, const FrameSettings& s) {
    int32_t h = area.bottom - area.top;
    if (h < s.estimate120_bound[0]) return;
    for (int32_t i = 0; i < 6; ++i) {
        if (h < s.estimate120_bound[i + 1]) {
            int32_t length = s.estimate120_length[i];
            list.count = 0;
            AppendFrame(list, {area.left, area.top, area.right, area.top + length}, ZRTS_KIND_35MM);
            return;
        }
    }
}

}  // namespace zrt::ff
