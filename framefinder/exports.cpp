// The library's exported entry points: thin C wrappers that keep every
// exception inside the library.
#include <new>

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

}  // extern "C"
