#include "platform/clock.h"

#include <atomic>

namespace zrt::platform {
namespace {
std::atomic<ClockSource*> g_installed{nullptr};
}

void InstallClock(ClockSource* source) { g_installed.store(source, std::memory_order_release); }

ClockSource* InstalledClock() { return g_installed.load(std::memory_order_acquire); }

static ClockSource& Current() {
    ClockSource* source = InstalledClock();
    return source ? *source : SystemClock();
}

void SleepMs(uint32_t ms) { Current().sleepMs(ms); }

uint64_t NowMs() { return Current().nowMs(); }

}  // namespace zrt::platform
