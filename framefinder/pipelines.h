// The per-holder pipelines of the preview search. Each returns the frames
// found; an empty list also stands for settings that leave nothing to find
// (a zero frame length). Memory shortage throws std::bad_alloc.
#pragma once

#include <cstdint>
#include <memory>

#include "zrts5617.h"

namespace zrt::ff {

std::unique_ptr<FilmPosition> Search135(const TIFF& image, const uint8_t* pixels,
                                        FrameSettings& settings, int32_t mode);

std::unique_ptr<FilmPosition> Search120(const TIFF& image, const uint8_t* pixels,
                                        const FrameSettings& settings, int32_t mode);

std::unique_ptr<FilmPosition> SearchMounts(const TIFF& image, const uint8_t* pixels,
                                           const FrameSettings& settings);

std::unique_ptr<FilmPosition> DebugFrames(const FrameSettings& settings);

// Fills `areas` through the configured external module; false when the
// module cannot be loaded or lacks its entry.
bool ExternalFilmAreas(const TIFF& image, const uint8_t* pixels, FrameSettings& settings,
                       FilmAreaList& areas);

}  // namespace zrt::ff
