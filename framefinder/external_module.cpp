#include <cmath>
#include <cstdio>

#include "framefinder/pipelines.h"
#include "platform/dynamic_library.h"

namespace zrt::ff {

// Loaded once per search and freed before it returns. The module receives
// the search's own copy of the settings, so it cannot change the record.
bool ExternalFilmAreas(const TIFF& image, const uint8_t* pixels, FrameSettings& settings,
                       FilmAreaList& areas) {
    char path[ZRTS_MODULE_NAME_BYTES];
    int n = std::snprintf(path, sizeof path, platform::DynamicLibrary::ModuleNameFormat(),
                          settings.external_module_name);
    if (n < 0 || n >= static_cast<int>(sizeof path)) return false;
    platform::DynamicLibrary module;
    if (!module.load(path)) return false;
    auto entry = reinterpret_cast<GetSleeveFilmGuideCISProc>(module.symbol("GetSleeveFilmGuideCIS"));
    if (!entry) return false;
    TIFF copy = image;
    for (int32_t k = 0; k < settings.sleeve_count; ++k) {
        areas.count = 0;
        entry(&copy, pixels, &areas, &settings);
    }
    return true;
}

}  // namespace zrt::ff
