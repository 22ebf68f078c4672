#include <gtest/gtest.h>

#include "platform/clock.h"

namespace zrt::platform {
namespace {

class CountingClock final : public ClockSource {
public:
    void sleepMs(uint32_t ms) override { now += ms; }
    uint64_t nowMs() override { return now; }
    uint64_t now = 1000;
};

TEST(Clock, InstalledSourceReceivesEverySleepAndRestoresTheSystemClock) {
    CountingClock virtualTime;
    InstallClock(&virtualTime);
    SleepMs(250);
    SleepMs(0);
    EXPECT_EQ(NowMs(), 1250u);
    InstallClock(nullptr);
    EXPECT_EQ(InstalledClock(), nullptr);
    const uint64_t before = NowMs();
    SleepMs(2);
    EXPECT_GE(NowMs(), before + 2);
}

}  // namespace
}  // namespace zrt::platform
