// The one clock every wait of the engine goes through.
//
// The engine never sleeps on its own: it calls SleepMs and NowMs, which go to
// the installed ClockSource. By default that is the operating system's
// monotonic clock; the virtual scanner installs a source of virtual time so
// that a power-up or a page scan runs in seconds of wall time.
#pragma once

#include <cstdint>

namespace zrt::platform {

class ClockSource {
public:
    virtual ~ClockSource() = default;
    // Waits `ms` milliseconds of this clock's time; 0 yields the processor.
    virtual void sleepMs(uint32_t ms) = 0;
    // Monotonic milliseconds since an arbitrary start.
    virtual uint64_t nowMs() = 0;
};

void SleepMs(uint32_t ms);
uint64_t NowMs();

// Installs `source` as the process clock; nullptr restores the system clock.
// The caller keeps ownership and must uninstall before destroying it.
void InstallClock(ClockSource* source);
ClockSource* InstalledClock();

// The operating system's clock, whatever is installed.
ClockSource& SystemClock();

}  // namespace zrt::platform
