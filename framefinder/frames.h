// Frames inside one film strip: dividers, frames between them, gap filling,
// single-frame estimates, the polarity decision and the merged list.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "framefinder/pixel_stats.h"
#include "zrts5617.h"

namespace zrt::ff {

enum Polarity : int32_t { kPositive = 0, kNegative = 1 };

inline int32_t PolarityValue(Polarity p) {
    return p == kPositive ? ZRTS_POLARITY_POSITIVE : ZRTS_POLARITY_NEGATIVE;
}

// Runs of divider rows, (start row, end row); the first is (0, area top) and
// the last (area bottom, image height - 1).
using DividerRuns = std::vector<std::pair<int32_t, int32_t>>;
constexpr std::size_t kMaxDividerRuns = 1024;

// One value per image row; the rows of the area are filled, high on dividers.
std::vector<uint16_t> BuildDividerProfile(const TIFF& image, const uint8_t* pixels,
                                          const FrameRect& area, Polarity polarity);

DividerRuns FindDividerRuns(const TIFF& image, const std::vector<uint16_t>& profile,
                            const FrameRect& area, double th1, double th2);

void FramesFromRuns(const DividerRuns& runs, const FrameRect& area, const FrameSize& size,
                    FilmPosition& list);

void SortFramesByTop(FilmPosition& list);

// False, leaving the list unchanged, when the nominal length is not positive.
bool FillMissingFrames(FilmPosition& list, const FrameRect& area, const FrameSize& size);

// False when Estimate135Length is not positive.
bool EstimateFrame135(FilmPosition& list, const FrameRect& area, const FrameSettings& settings);

void EstimateFrame120(FilmPosition& list, const FrameRect& area, const FrameSettings& settings);

Polarity DecidePolarity(const TIFF& image, const uint8_t* pixels, FilmPosition& positive,
                        FilmPosition& negative, const FrameRect& area);

bool IsPlausibleFrame(const TIFF& image, const uint8_t* pixels, const FrameRect& frame,
                      const Colour& base, Polarity polarity);

// Null when memory is short.
std::unique_ptr<FilmPosition> MergeFrameLists(const TIFF& image, const uint8_t* pixels,
                                              const std::vector<FilmPosition>& positive,
                                              const std::vector<FilmPosition>& negative,
                                              int32_t areas, int32_t mode,
                                              const std::vector<Polarity>& decisions);

// Appends one frame spanning the area's width; false when the list is full.
bool AppendFrame(FilmPosition& list, const FrameRect& rect, int32_t kind);

}  // namespace zrt::ff
