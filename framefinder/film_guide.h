// Pieces of the film-guide export that are worth checking on their own.
#pragma once

#include <cstdint>

#include "zrts5617.h"

namespace zrt::ff {

struct StripEdges {
    int32_t left, right;
    double slope;
};

// The strip's side edges and drift from the four side searches: an edge
// counts as found when it moved off R.
StripEdges StripFromSides(const FrameRect& r, int32_t tl, int32_t tr, int32_t bl, int32_t br,
                          int32_t height);

}  // namespace zrt::ff
