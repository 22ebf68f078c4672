// The preview search behind VORN2_SearchOnPreview.
#pragma once

#include <cstdint>

#include "zrts5617.h"

namespace zrt::ff {

// Throws std::bad_alloc when memory is short; the export turns it into 224.
int32_t SearchOnPreview(const VORN2_IMAGE_INFO& info, const uint8_t* pixels,
                        VORN2_SEARCH_RESULT& result, int32_t mode, const FrameSettings& settings);

// The large-format frames (count 0 to 2), as GetLargeFormat reports them.
void FindLargeFormatFrames(const TIFF& image, const uint8_t* pixels, FilmPosition& frames);

// A copy of the settings whose counts lie within the record's capacities and
// whose lengths and steps are small enough that no coordinate arithmetic
// of the search can overflow.
FrameSettings SanitizedSettings(const FrameSettings& settings);

}  // namespace zrt::ff
