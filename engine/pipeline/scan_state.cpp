#include "engine/pipeline/scan_state.h"

#include "engine/pipeline/line_filter.h"
#include "engine/pipeline/scan_ring.h"

namespace zrt {

ScanProgress::~ScanProgress() {
    // The reader works on the engine that owns it; let it end first.
    if (ReaderThread != nullptr && ReaderThread->thread.joinable()) {
        StopRequest.store(1);
        ReaderThread->thread.join();
    }
}

ScanObjects::ScanObjects() = default;

ScanObjects::~ScanObjects() = default;

ScanRequest& Request() {
    static ScanRequest request;
    return request;
}

}  // namespace zrt
