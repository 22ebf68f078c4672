#include "sim/virtual_clock.h"

#include <thread>

namespace zrt::sim {

void VirtualClock::sleepMs(uint32_t ms) {
    if (ms > 0) advanceMs_(ms);
    // Another engine thread (the scan's reader) may be waiting on the same
    // model; give it the processor so both make progress.
    std::this_thread::yield();
}

}  // namespace zrt::sim
