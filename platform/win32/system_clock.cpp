#include <windows.h>

#include "platform/clock.h"

namespace zrt::platform {
namespace {

class Win32Clock final : public ClockSource {
public:
    void sleepMs(uint32_t ms) override { ::Sleep(ms); }
    uint64_t nowMs() override { return ::GetTickCount64(); }
};

}  // namespace

ClockSource& SystemClock() {
    static Win32Clock clock;
    return clock;
}

}  // namespace zrt::platform
