#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "framefinder/frames.h"

namespace zrt::ff {
namespace {

constexpr double kNoScore = std::numeric_limits<double>::max();

Box InnerBox(const FrameRect& r) {
    int32_t iw = static_cast<int32_t>(std::trunc(0.2 * (int64_t{r.right} - r.left)));
    int32_t ih = static_cast<int32_t>(std::trunc(0.2 * (int64_t{r.bottom} - r.top)));
    return {r.left + iw, r.top + ih, r.right - iw, r.bottom - ih};
}

void SetBase(FilmPosition& list, const Colour& c) {
    for (int32_t k = 0; k < list.count; ++k) std::copy(c.begin(), c.end(), list.base[k]);
}

// How far the measured film base lies from the strip's reference colour.
double Score(const Colour& acc, const Colour& ref) {
    if (acc[0] == 0 || acc[1] == 0 || acc[2] == 0) return kNoScore;
    double score = 0;
    for (int c = 0; c < 3; ++c) {
        double d = (static_cast<double>(acc[c]) - ref[c]) / acc[c];
        score += d * d;
    }
    return score;
}

Colour Measure(const TIFF& image, const uint8_t* pixels, const Box& box, Polarity p) {
    return p == kPositive ? ChannelMin(image, pixels, box) : ChannelMax(image, pixels, box);
}

void KeepBrighter(Colour& acc, const Colour& c) {
    if (Luminance(acc) < Luminance(c)) acc = c;
}

// Film base from the gaps between neighbouring frames.
double GapScore(const TIFF& image, const uint8_t* pixels, FilmPosition& list, Polarity p,
                const Colour& ref) {
    if (list.count < 2) return kNoScore;
    Colour acc{0, 0, 0};
    for (int32_t j = 0; j + 1 < list.count; ++j) {
        const FrameRect& a = list.rect[j];
        const FrameRect& b = list.rect[j + 1];
        int32_t d = static_cast<int32_t>(std::trunc(0.1 * (int64_t{b.top} - a.bottom)));
        KeepBrighter(acc, Measure(image, pixels, {a.left, a.bottom + d, a.right, b.top - d}, p));
    }
    SetBase(list, acc);
    return Score(acc, ref);
}

// Film base from the 20 rows beside each frame, or from the frame itself
// where the strip leaves no such rows.
double BesideScore(const TIFF& image, const uint8_t* pixels, FilmPosition& list, Polarity p,
                   const Colour& ref, const FrameRect& area) {
    if (list.count < 1) return kNoScore;
    Colour acc{0, 0, 0};
    for (int32_t k = 0; k < list.count; ++k) {
        const FrameRect& f = list.rect[k];
        Box box{f.left, f.top, f.right, f.bottom};
        if (f.top - 20 > area.top && f.bottom + 20 < area.bottom) {
            box = p == kPositive ? Box{f.left, f.top - 20, f.right, f.top}
                                 : Box{f.left, f.bottom, f.right, f.bottom + 20};
        }
        KeepBrighter(acc, Measure(image, pixels, box, p));
    }
    SetBase(list, acc);
    return Score(acc, ref);
}

}  // namespace

Polarity DecidePolarity(const TIFF& image, const uint8_t* pixels, FilmPosition& pos,
                        FilmPosition& neg, const FrameRect& area) {
    Box inner = InnerBox(area);
    Colour refP = ChannelMin(image, pixels, inner);
    Colour refN = ChannelMax(image, pixels, inner);
    SetBase(pos, refP);
    SetBase(neg, refN);
    if (pos.count <= 0) return kNegative;
    if (neg.count <= 0) return kPositive;
    if (pos.count > neg.count && pos.count > 2) return kPositive;
    if (neg.count > pos.count && neg.count > 2) return kNegative;
    for (int c = 0; c < 3; ++c) {
        if (refP[c] > refN[c]) refP = {65535, 65535, 65535};
    }
    double sP = GapScore(image, pixels, pos, kPositive, refP);
    double sN = GapScore(image, pixels, neg, kNegative, refN);
    if (sP < sN) return kPositive;
    if (sP > sN) return kNegative;
    sP = BesideScore(image, pixels, pos, kPositive, refP, area);
    sN = BesideScore(image, pixels, neg, kNegative, refN, area);
    return sP < sN ? kPositive : kNegative;
}

bool IsPlausibleFrame(const TIFF& image, const uint8_t* pixels, const FrameRect& frame,
                      const Colour& base, Polarity polarity) {
    Box inner = InnerBox(frame);
    Colour mx = ChannelMax(image, pixels, inner);
    if (polarity == kPositive) return !(mx[0] < 1024 && mx[1] < 1024 && mx[2] < 1024);
    Colour mean = ChannelMean(image, pixels, inner);
    for (int c = 0; c < 3; ++c) {
        if (!(mean[c] <= 0.9 * base[c] && mx[c] >= 0.05 * base[c])) return false;
    }
    return true;
}

std::unique_ptr<FilmPosition> MergeFrameLists(const TIFF& image, const uint8_t* pixels,
                                              const std::vector<FilmPosition>& positive,
                                              const std::vector<FilmPosition>& negative,
                                              int32_t areas, int32_t mode,
                                              const std::vector<Polarity>& decisions) {
    std::unique_ptr<FilmPosition> merged(new (std::nothrow) FilmPosition{});
    if (!merged) return nullptr;
    for (int32_t a = 0; a < areas; ++a) {
        Polarity p = mode == 2 ? kNegative : mode == 3 ? decisions[a] : kPositive;
        const FilmPosition& list = p == kPositive ? positive[a] : negative[a];
        for (int32_t k = 0; k < list.count; ++k) {
            Colour base{list.base[k][0], list.base[k][1], list.base[k][2]};
            if (!IsPlausibleFrame(image, pixels, list.rect[k], base, p)) continue;
            if (!AppendFrame(*merged, list.rect[k], list.kind[k])) return merged;
            int32_t m = merged->count - 1;
            merged->polarity[m] = list.polarity[k];
            merged->area[m] = a;
            std::copy(base.begin(), base.end(), merged->base[m]);
        }
    }
    return merged;
}

}  // namespace zrt::ff
