// The library's exported entry points: thin C wrappers that keep every
// exception inside the library.
#include <new>

#include "framefinder/search.h"
#include "framefinder/settings.h"
#include "zrts5617.h"

extern "C" {

ZRTS_API int32_t ZRTS_CALL VORN2_Initialize(const char* settings_path) {
    try {
        return zrt::ff::ReadSettingsFile(settings_path, zrt::ff::GlobalSettings());
    } catch (...) {
        return ZRTS_OUT_OF_MEMORY;
    }
}

// Null records or pixels are refused like a line too short for its width.
ZRTS_API int32_t ZRTS_CALL VORN2_SearchOnPreview(const VORN2_IMAGE_INFO* info,
                                                 const uint8_t* pixels,
                                                 VORN2_SEARCH_RESULT* result, int32_t mode) {
    if (!info || !pixels || !result) return ZRTS_LINE_TOO_SHORT;
    try {
        return zrt::ff::SearchOnPreview(*info, pixels, *result, mode, zrt::ff::GlobalSettings());
    } catch (...) {
        return ZRTS_OUT_OF_MEMORY;
    }
}

}  // extern "C"
