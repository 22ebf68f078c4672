// The clock that an open virtual scanner installs: every sleep of the engine
// advances the scanner's time at once, so waits cost no wall time.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/clock.h"

namespace zrt::sim {

class VirtualClock final : public platform::ClockSource {
public:
    VirtualClock(std::function<void(uint32_t)> advanceMs, std::function<uint64_t()> nowMs)
        : advanceMs_(std::move(advanceMs)), nowMs_(std::move(nowMs)) {}

    void sleepMs(uint32_t ms) override;
    uint64_t nowMs() override { return nowMs_(); }

private:
    std::function<void(uint32_t)> advanceMs_;
    std::function<uint64_t()> nowMs_;
};

}  // namespace zrt::sim
