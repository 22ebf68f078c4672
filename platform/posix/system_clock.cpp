#include <chrono>
#include <thread>

#include "platform/clock.h"

namespace zrt::platform {
namespace {

class PosixClock final : public ClockSource {
public:
    void sleepMs(uint32_t ms) override {
        if (ms == 0) {
            std::this_thread::yield();
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    uint64_t nowMs() override {
        using namespace std::chrono;
        return static_cast<uint64_t>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
};

}  // namespace

ClockSource& SystemClock() {
    static PosixClock clock;
    return clock;
}

}  // namespace zrt::platform
