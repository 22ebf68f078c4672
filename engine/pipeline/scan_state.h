// The engine's scan set-up and scan progress groups, and the objects of the
// running scan. Filled in by the scan parameter checks and the scan start.
#pragma once

#include <cstdint>

namespace zrt {

struct ScanConfig {
    uint16_t Source = 1;
    // Remaining fields land with the scan parameters.
};

struct ScanProgress {
    // Fields land with the scan start and reader thread.
};

struct ScanObjects {
    // Ring, Filter and IRFile of the running scan.
};

}  // namespace zrt
