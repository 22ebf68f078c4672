// Frames in the film strips of the 35 mm and 120 holders.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "framefinder/edge_search.h"
#include "framefinder/frames.h"
#include "framefinder/holders.h"
#include "framefinder/pipelines.h"

namespace zrt::ff {
namespace {

struct StripLists {
    std::vector<FilmPosition> positive, negative;
    std::vector<Polarity> decisions;
    explicit StripLists(int32_t areas)
        : positive(static_cast<std::size_t>(areas)), negative(static_cast<std::size_t>(areas)),
          decisions(static_cast<std::size_t>(areas), kPositive) {}
};

int32_t ModeBit(Polarity p) { return p == kPositive ? 1 : 2; }

DividerRuns RunsOf(const TIFF& image, const uint8_t* pixels, const FrameRect& area, Polarity p,
                   const FrameSettings& s) {
    std::vector<uint16_t> profile = BuildDividerProfile(image, pixels, area, p);
    return p == kPositive ? FindDividerRuns(image, profile, area, s.pos_divider_th1, s.pos_divider_th2)
                          : FindDividerRuns(image, profile, area, s.neg_divider_th1, s.neg_divider_th2);
}

void SetPolarity(FilmPosition& list, Polarity p) {
    for (int32_t k = 0; k < list.count; ++k) list.polarity[k] = PolarityValue(p);
}

// Areas from an external module are not trusted: their rows are kept to the
// image, their number to the list, and an unusable slope counts as none.
void ClipAreas(const TIFF& image, FilmAreaList& areas) {
    areas.count = std::clamp(areas.count, 0, ZRTS_MAX_AREAS);
    for (int32_t a = 0; a < areas.count; ++a) {
        FrameRect& r = areas.area[a];
        r.top = std::clamp(r.top, 0, image.height);
        r.bottom = std::clamp(r.bottom, r.top, image.height);
        r.left = std::clamp(r.left, -(1 << 20), 1 << 20);
        r.right = std::clamp(r.right, -(1 << 20), 1 << 20);
        double& slope = areas.slope[a];
        if (!std::isfinite(slope) || std::fabs(slope) > 64.0) slope = 0.0;
    }
}

void Widen(FrameRect& area, int32_t by) {
    area.left -= by;
    area.right += by;
}

std::unique_ptr<FilmPosition> Merge(const TIFF& image, const uint8_t* pixels, const StripLists& l,
                                    int32_t areas, int32_t mode) {
    std::unique_ptr<FilmPosition> merged =
        MergeFrameLists(image, pixels, l.positive, l.negative, areas, mode, l.decisions);
    if (!merged) throw std::bad_alloc();
    return merged;
}

std::unique_ptr<FilmPosition> NoFrames() { return std::make_unique<FilmPosition>(); }

// One 35 mm area: false when the settings leave no frame length.
bool Frames135(const TIFF& image, const uint8_t* pixels, const FrameSettings& s, int32_t mode,
               FrameRect& area, FilmPosition& pos, FilmPosition& neg, Polarity& decision) {
    const FrameSize& size = s.frame_size[ZRTS_SIZE_SLEEVE35];
    for (Polarity p : {kPositive, kNegative}) {
        FilmPosition& list = p == kPositive ? pos : neg;
        list.count = 0;
        if (mode & ModeBit(p)) FramesFromRuns(RunsOf(image, pixels, area, p, s), area, size, list);
    }
    if (pos.count == 0 && neg.count == 0) {
        if ((mode & 1) && !EstimateFrame135(pos, area, s)) return false;
        if ((mode & 2) && !EstimateFrame135(neg, area, s)) return false;
    }
    decision = DecidePolarity(image, pixels, pos, neg, area);
    FilmPosition& decided = decision == kPositive ? pos : neg;
    if (!FillMissingFrames(decided, area, size)) return false;
    SetPolarity(decided, decision);
    Widen(area, s.x_adjust);
    return true;
}

int32_t Drift(const FrameRect& frame, const FrameRect& area, double slope) {
    double s = std::trunc((int64_t{frame.bottom} - area.top) * slope);
    return static_cast<int32_t>(std::clamp(s, -double(1 << 20), double(1 << 20)));
}

// The first 120 size, from the largest down, that yields a frame.
void Frames120FromRuns(const DividerRuns& runs, const FrameRect& area, const FrameSettings& s,
                       FilmPosition& list) {
    for (int32_t size = ZRTS_SIZE_BLOWNE120; size >= ZRTS_SIZE_BLOWNE45; --size) {
        list.count = 0;
        FramesFromRuns(runs, area, s.frame_size[size], list);
        if (list.count > 0) return;
    }
}

// A list estimated without dividers has kind 0, which names no 120 size; it
// is kept as estimated.
bool Fill120(FilmPosition& list, const FrameRect& area, const FrameSettings& s) {
    if (list.count <= 0) return true;
    int32_t kind = list.kind[0];
    if (kind < ZRTS_SIZE_BLOWNE45 || kind > ZRTS_SIZE_BLOWNE120) return true;
    return FillMissingFrames(list, area, s.frame_size[kind]);
}

// The polarity the 120 frames are reported with: a search for one film type
// reports that type, whichever list the decision preferred.
Polarity Reported120(int32_t mode, Polarity decision) {
    if (mode == 1) return kPositive;
    if (mode == 2) return kNegative;
    return decision;
}

bool Frames120(const TIFF& image, const uint8_t* pixels, const FrameSettings& s, int32_t mode,
               FrameRect& area, FilmPosition& pos, FilmPosition& neg, Polarity& decision) {
    for (Polarity p : {kPositive, kNegative}) {
        FilmPosition& list = p == kPositive ? pos : neg;
        const FilmPosition& other = p == kPositive ? neg : pos;
        list.count = 0;
        if (mode & ModeBit(p)) Frames120FromRuns(RunsOf(image, pixels, area, p, s), area, s, list);
        bool otherEmpty = p == kPositive || other.count == 0;
        if (list.count == 0 && otherEmpty) EstimateFrame120(list, area, s);
    }
    decision = DecidePolarity(image, pixels, pos, neg, area);
    for (FilmPosition* list : {&pos, &neg}) {
        if (!Fill120(*list, area, s)) return false;
        SetPolarity(*list, Reported120(mode, decision));
    }
    Widen(area, s.x_adjust);
    return true;
}

}  // namespace

std::unique_ptr<FilmPosition> Search135(const TIFF& image, const uint8_t* pixels,
                                        FrameSettings& s, int32_t mode) {
    FilmAreaList areas{};
    bool external = s.external_module != 0 && ExternalFilmAreas(image, pixels, s, areas);
    if (external) {
        ClipAreas(image, areas);
    } else {
        areas.count = 0;
        for (int32_t h = 0; h < s.sleeve_count; ++h) FindFilmAreas(image, pixels, s.sleeve[h], s, areas);
    }
    StripLists lists(areas.count);
    for (int32_t a = 0; a < areas.count; ++a) {
        if (!Frames135(image, pixels, s, mode, areas.area[a], lists.positive[a], lists.negative[a],
                       lists.decisions[a]))
            return NoFrames();
    }
    std::unique_ptr<FilmPosition> merged = Merge(image, pixels, lists, areas.count, mode);
    for (int32_t k = 0; k < merged->count; ++k) {
        int32_t a = merged->area[k];
        FrameRect& frame = merged->rect[k];
        FrameRect bounds = areas.area[a];
        int32_t drift = Drift(frame, bounds, areas.slope[a]);
        frame.left += drift - s.x_adjust;
        frame.right += drift + s.x_adjust;
        bounds.left += drift;
        bounds.right += drift;
        if (merged->polarity[k] == ZRTS_POLARITY_POSITIVE)
            RefinePositiveFrame(image, pixels, frame, bounds, s.posi_snakes);
        else
            RefineNegativeFrame(image, pixels, frame, bounds, s.nega_snakes, &s.pano);
    }
    return merged;
}

std::unique_ptr<FilmPosition> Search120(const TIFF& image, const uint8_t* pixels,
                                        const FrameSettings& s, int32_t mode) {
    FilmAreaList areas{};
    for (int32_t h = 0; h < s.blowne_count; ++h) FindFilmAreas(image, pixels, s.blowne[h], s, areas);
    StripLists lists(areas.count);
    for (int32_t a = 0; a < areas.count; ++a) {
        if (!Frames120(image, pixels, s, mode, areas.area[a], lists.positive[a], lists.negative[a],
                       lists.decisions[a]))
            return NoFrames();
    }
    std::unique_ptr<FilmPosition> merged = Merge(image, pixels, lists, areas.count, mode);
    for (int32_t k = 0; k < merged->count; ++k) {
        FrameRect& frame = merged->rect[k];
        const FrameRect& bounds = areas.area[merged->area[k]];
        frame.left -= s.x_adjust;
        frame.right += s.x_adjust;
        if (merged->polarity[k] == ZRTS_POLARITY_POSITIVE)
            RefinePositiveFrame(image, pixels, frame, bounds, s.blowne_pos_snakes);
        else
            RefineNegativeFrame(image, pixels, frame, bounds, s.blowne_neg_snakes, nullptr);
    }
    return merged;
}

std::unique_ptr<FilmPosition> SearchMounts(const TIFF& image, const uint8_t* pixels,
                                           const FrameSettings& s) {
    std::unique_ptr<FilmPosition> mounts = FindMounts(image, pixels, s);
    if (!mounts) throw std::bad_alloc();
    for (int32_t k = 0; k < mounts->count; ++k)
        RefineRectEdges(image, pixels, mounts->rect[k], s.mount_snakes);
    return mounts;
}

std::unique_ptr<FilmPosition> DebugFrames(const FrameSettings& s) {
    auto list = std::make_unique<FilmPosition>();
    for (int32_t k = 0; k < s.debug_count; ++k) {
        AppendFrame(*list, s.debug_rect[k], s.debug_kind[k]);
        list->polarity[k] = s.debug_polarity[k];
    }
    return list;
}

}  // namespace zrt::ff
