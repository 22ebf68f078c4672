// Every exchange of a whole session made to fail, once and from there on.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <ostream>
#include <string>
#include <vector>

#include "tests/faults/session.h"

namespace zrt::test {
namespace {

// The points of one test case: the exchanges of stages first to last, or
// every parts-th of them from the part-th on, so that long stages spread
// over several cases that run side by side.
struct Slice {
    FaultMode mode;
    Stage first;
    Stage last;
    uint64_t part = 0;
    uint64_t parts = 1;
};

// The longest waits of the engine, in virtual time: a line that does not
// come (40000 polls 10 ms apart) and the end of a motion (600 polls 100 ms
// apart).
constexpr uint64_t kLineWaitMs = 400'000;
constexpr uint64_t kMotionWaitMs = 60'000;
// A failure can cost a session one line wait that runs out and the motion
// waits of the two ends of a scan (the failed read's and the stop's) on top
// of its fault-free time. The scan after clearing the fault gets the same
// bound: while a scan is read, the caller's 10 ms sleeps move virtual time
// on whether or not the reader thread has had the processor, so on a busy
// machine even a fault-free scan can spend far more virtual time than it
// did alone; only the engine's own time-outs bound it.
uint64_t SessionBudgetMs(uint64_t faultFreeMs) { return faultFreeMs + kLineWaitMs + 2 * kMotionWaitMs; }

// Points tried under sanitizers may be thinned out; by default every one is.
uint64_t Stride() {
    const char* text = std::getenv("ZRT_FAULT_STRIDE");
    const long value = text != nullptr ? std::strtol(text, nullptr, 10) : 1;
    return value > 1 ? static_cast<uint64_t>(value) : 1;
}

std::string Describe(const FaultPoint& p) {
    return std::string(ModeName(p.mode)) + " at exchange " + std::to_string(p.offset) + " of " +
           StageName(p.stage);
}

class FaultSweep : public ::testing::TestWithParam<Slice> {
protected:
    // The fault-free session, run twice: the first one leaves the engine in
    // the state (the last scan's set-up) in which every later session
    // starts, so the second one counts the exchanges that the sweep meets.
    static void SetUpTestSuite() {
        reference_ = new SessionResult;
        for (int run = 0; run < 2; ++run) {
            Session session;
            *reference_ = session.Run(nullptr);
            session.End();
        }
    }
    static void TearDownTestSuite() {
        delete reference_;
        reference_ = nullptr;
    }

    // What is wrong with the session that met `point`, and with the scan
    // after it.
    static std::vector<std::string> Judge(const FaultPoint& point, const SessionResult& run,
                                          const SessionResult& after) {
        const SessionResult& ref = *reference_;
        std::vector<std::string> problems = run.problems;
        problems.insert(problems.end(), after.problems.begin(), after.problems.end());
        auto sameLines = [&](const SessionResult& r, const char* what) {
            if (r.originOffset != ref.originOffset) return;  // measured elsewhere: another picture
            if (r.image.size() > ref.image.size() ||
                !std::equal(r.image.begin(), r.image.end(), ref.image.begin())) {
                problems.push_back(std::string(what) + " delivered lines that differ from the fault-free scan");
            }
        };
        sameLines(run, "the session");
        if (!after.complete) problems.push_back("the scan after clearing the fault did not complete");
        sameLines(after, "the scan after clearing the fault");
        if (after.complete && after.image.size() != ref.image.size()) {
            problems.push_back("the scan after clearing the fault delivered " + std::to_string(after.image.size()) +
                               " bytes instead of " + std::to_string(ref.image.size()));
        }
        // With the device gone for good, success is a lie unless every
        // exchange that failed was one the operation may pass over.
        const bool metExportSucceeded =
            run.faultStage >= 0 && (run.failedStage < 0 || run.failedStage > run.faultStage);
        if (point.mode == FaultMode::From && metExportSucceeded && !run.onlyPassableFailed) {
            problems.push_back(std::string(StageName(static_cast<Stage>(run.faultStage))) +
                               " reported success although the device failed from then on, the " +
                               DescribeExchange(run.firstImpassable) + " among its failed exchanges");
        }
        return problems;
    }

    static SessionResult* reference_;
};

SessionResult* FaultSweep::reference_ = nullptr;

TEST_P(FaultSweep, EveryExchangeFails) {
    const SessionResult& ref = *reference_;
    ASSERT_TRUE(ref.problems.empty()) << ref.problems.front();
    ASSERT_TRUE(ref.complete);
    const Slice slice = GetParam();
    const uint64_t stride = Stride();

    Watchdog watchdog(std::chrono::seconds(60));
    const std::clock_t started = std::clock();
    uint64_t tried = 0, survived = 0, unmet = 0, refused = 0, longestMs = 0;
    std::string longest = "none";
    int reported = 0;
    for (int s = static_cast<int>(slice.first); s <= static_cast<int>(slice.last); ++s) {
        const uint64_t count = ref.exchanges[s];
        std::vector<uint64_t> offsets;
        for (uint64_t j = 1; j <= count; j += stride) offsets.push_back(j);
        if (!offsets.empty() && offsets.back() != count) offsets.push_back(count);
        for (size_t n = 0; n < offsets.size(); ++n) {
            if (n % slice.parts != slice.part) continue;
            const uint64_t j = offsets[n];
            const FaultPoint point{slice.mode, static_cast<Stage>(s), j};
            watchdog.Arm(Describe(point));
            Session session;
            SessionResult run = session.Run(&point);
            SessionResult after;
            const uint64_t recoveryStartMs = session.model()->nowUs() / 1000;
            session.Recover(after);
            const uint64_t recoveryMs = session.model()->nowUs() / 1000 - recoveryStartMs;
            session.End();
            watchdog.Disarm();

            ++tried;
            if (run.faultStage < 0) ++unmet;
            if (run.failedStage >= 0) ++refused;
            if (run.virtualMs > longestMs) {
                longestMs = run.virtualMs;
                longest = Describe(point);
            }
            std::vector<std::string> problems = Judge(point, run, after);
            if (run.virtualMs > SessionBudgetMs(ref.virtualMs)) {
                problems.push_back("the session took " + std::to_string(run.virtualMs) + " ms of virtual time");
            }
            if (recoveryMs > SessionBudgetMs(ref.virtualMs)) {
                problems.push_back("the scan after clearing the fault took " + std::to_string(recoveryMs) +
                                   " ms of virtual time");
            }
            if (problems.empty()) {
                ++survived;
            } else if (reported++ < 20) {
                std::string text;
                for (const std::string& p : problems) text += "\n  " + p;
                ADD_FAILURE() << Describe(point) << " (" << (run.armedKnown ? DescribeExchange(run.armed) : "not reached")
                              << "; " << (run.failedStage < 0 ? std::string("no export failed")
                                                              : std::string(StageName(Stage(run.failedStage))) +
                                                                    " failed with " + StatusText(run.status))
                              << "):" << text;
            }
        }
    }
    const double seconds = double(std::clock() - started) / CLOCKS_PER_SEC;
    std::printf("fault points tried: %llu, survived: %llu\n", static_cast<unsigned long long>(tried),
                static_cast<unsigned long long>(survived));
    std::printf("  (%s, %s to %s, part %llu of %llu, stride %llu; %llu made an export fail, %llu not reached; fault-free session %llu ms, "
                "longest %llu ms of virtual time, %s; %.1f s of processor time)\n",
                ModeName(slice.mode), StageName(slice.first), StageName(slice.last),
                static_cast<unsigned long long>(slice.part + 1), static_cast<unsigned long long>(slice.parts),
                static_cast<unsigned long long>(stride), static_cast<unsigned long long>(refused),
                static_cast<unsigned long long>(unmet),
                static_cast<unsigned long long>(ref.virtualMs), static_cast<unsigned long long>(longestMs),
                longest.c_str(), seconds);
    EXPECT_EQ(survived, tried);
}

void PrintTo(const Slice& slice, std::ostream* out) {
    *out << ModeName(slice.mode) << ", " << StageName(slice.first) << " to " << StageName(slice.last) << ", part "
         << slice.part + 1 << " of " << slice.parts;
}

std::string SliceName(const ::testing::TestParamInfo<Slice>& info) {
    static const char* const kNames[kStageCount] = {"Find", "Initialize", "Lamp", "Calibrate", "Scan", "Stop"};
    std::string name = std::string(info.param.mode == FaultMode::Once ? "Once" : "From") +
                       kNames[int(info.param.first)];
    if (info.param.last != info.param.first) name += std::string("To") + kNames[int(info.param.last)];
    if (info.param.parts > 1) name += "Part" + std::to_string(info.param.part + 1);
    return name;
}

INSTANTIATE_TEST_SUITE_P(Session, FaultSweep,
                         ::testing::Values(Slice{FaultMode::Once, Stage::Find, Stage::Lamp},
                                           Slice{FaultMode::Once, Stage::Calibrate, Stage::Calibrate, 0, 2},
                                           Slice{FaultMode::Once, Stage::Calibrate, Stage::Calibrate, 1, 2},
                                           Slice{FaultMode::Once, Stage::Scan, Stage::Stop, 0, 2},
                                           Slice{FaultMode::Once, Stage::Scan, Stage::Stop, 1, 2},
                                           Slice{FaultMode::From, Stage::Find, Stage::Lamp},
                                           Slice{FaultMode::From, Stage::Calibrate, Stage::Calibrate, 0, 2},
                                           Slice{FaultMode::From, Stage::Calibrate, Stage::Calibrate, 1, 2},
                                           Slice{FaultMode::From, Stage::Scan, Stage::Stop}),
                         SliceName);

}  // namespace
}  // namespace zrt::test
