// The settings record every detection step reads, and its text-file reader.
#pragma once

#include <cstdint>

#include "zrts5617.h"

namespace zrt::ff {

// The process-wide record, zero at load.
FrameSettings& GlobalSettings();

// Overlays `settings` with the keys of the file at `path`. Returns 0 when the
// file was read to its end, 1 when it cannot be opened, 224 without memory.
int32_t ReadSettingsFile(const char* path, FrameSettings& settings);

}  // namespace zrt::ff
