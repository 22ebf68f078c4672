// Which holder lies on the glass, where its film strips are, and where its
// mounted slides are.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "zrts5617.h"

namespace zrt::ff {

enum HolderClass : int32_t {
    kHolderFailure = -1,
    kSleeve135 = 0,
    kMount135 = 1,
    kLarge = 2,
    kSleeve120 = 3,
    kDebugList = 100,
    kNoHolder = 255,
};

HolderClass ClassifyHolder(const TIFF& image, const uint8_t* pixels, const FrameSettings& settings);

// Appends the strips found inside holder rectangle `holder`; false (nothing
// appended) when its work memory cannot be obtained.
bool FindFilmAreas(const TIFF& image, const uint8_t* pixels, FrameRect holder,
                   const FrameSettings& settings, FilmAreaList& areas);

// Null when memory is short.
std::unique_ptr<FilmPosition> FindMounts(const TIFF& image, const uint8_t* pixels,
                                         const FrameSettings& settings);

// Runs of consecutive clear rows, (first row, last row).
using RowRuns = std::vector<std::pair<int32_t, int32_t>>;
constexpr std::size_t kMaxRowRuns = 1024;

// Marks rows holder.top .. holder.bottom-1 as not clear unless the darkest
// pixel of the middle three fifths of the holder's width is brighter than
// `backlight`; all other rows stay clear.
void MarkClearRows(const TIFF& image, const uint8_t* pixels, const FrameRect& holder,
                   int32_t backlight, std::vector<uint8_t>& clear);

// Runs over rows 0 .. clear.size()-1; a run still open at the end closes at
// `last_row`. Runs beyond kMaxRowRuns are dropped.
RowRuns ClearRuns(const std::vector<uint8_t>& clear, int32_t last_row);

}  // namespace zrt::ff
