// Virtual time for tests on the scripted device: every sleep of the engine
// returns at once and is added up, so retries and polls cost no wall time
// and their waits can be checked.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/clock.h"

namespace zrt::test {

class VirtualClock final : public platform::ClockSource {
public:
    void sleepMs(uint32_t ms) override { slept += ms; }
    uint64_t nowMs() override { return slept; }
    std::atomic<uint64_t> slept{0};
};

}  // namespace zrt::test
