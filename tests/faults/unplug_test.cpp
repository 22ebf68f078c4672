// The scanner's cable pulled while an application reads a scan.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "engine/api/scanner_engine.h"
#include "engine/api/status_codes.h"
#include "tests/faults/session.h"

namespace zrt::test {
namespace {

// An inch of film: 300 lines, far more than arrive before the cable goes.
constexpr uint16_t kTallHeight = 4800;
// Once the device is gone, the scan must end on the failed transfers, not
// on the 400 s the line assembly waits for a line that never comes: the
// reader gives up after one register read and its retries, the line wait
// and the join poll notice within 100 ms, and the end of the scan gives up
// after one more register read.
constexpr uint64_t kNoticeBudgetMs = 2000;

struct Scan {
    std::vector<uint8_t> image;
    uint32_t lineBytes = 0;
    uint32_t lines = 0;
};

// Reads up to `count` lines of the running scan; false when a read failed.
bool ReadLines(Scan& scan, uint32_t count) {
    std::vector<uint8_t> line(scan.lineBytes);
    for (uint32_t i = 0; i < count; ++i) {
        if (::ReadScan(0, 0, line.data(), scan.lineBytes) != 1) return false;
        scan.image.insert(scan.image.end(), line.begin(), line.end());
    }
    return true;
}

bool StartTall(Scan& scan) {
    ScanParameters p = Session::Window();
    p.Height = kTallHeight;
    if (::SetScanParameter(0, &p) != 1 || ::StartScanEx(0, 0) != 1) return false;
    ::DataStatus data{};
    ::GetDataStatus(0, &data);
    scan.lineBytes = data.LineBytes;
    scan.lines = data.LinesLeft;
    return true;
}

bool IsPrefixOf(const std::vector<uint8_t>& part, const std::vector<uint8_t>& whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

// The parameter: lines the application has read when the cable goes.
class UnplugMidScan : public ::testing::TestWithParam<uint32_t> {};

TEST_P(UnplugMidScan, ReadFailsStopReturnsAndTheRepluggedScannerScans) {
    const uint32_t before = GetParam();
    Watchdog watchdog(std::chrono::seconds(120));
    watchdog.Arm("the scan unplugged after " + std::to_string(before) + " lines");

    Session session;
    const SessionResult first = session.Run(nullptr);
    ASSERT_TRUE(first.complete);
    ASSERT_TRUE(first.problems.empty()) << first.problems.front();
    sim::VirtualScanner& model = *session.model();

    Scan whole;
    ASSERT_TRUE(StartTall(whole)) << StatusText(LastStatus());
    ASSERT_TRUE(ReadLines(whole, whole.lines)) << StatusText(LastStatus());
    ASSERT_EQ(::StopScanEx(0, 0), 1) << StatusText(LastStatus());

    Scan cut;
    ASSERT_TRUE(StartTall(cut)) << StatusText(LastStatus());
    ASSERT_TRUE(ReadLines(cut, before)) << StatusText(LastStatus());
    model.unplug();
    const uint64_t unpluggedAtMs = model.nowUs() / 1000;
    const bool readAll = ReadLines(cut, cut.lines - before);
    const uint64_t noticedAfterMs = model.nowUs() / 1000 - unpluggedAtMs;

    EXPECT_FALSE(readAll) << "every line of the scan arrived although the scanner was gone";
    EXPECT_EQ(LastStatus(), status::DeliverLineFailed) << StatusText(LastStatus());
    EXPECT_LT(noticedAfterMs, kNoticeBudgetMs);
    EXPECT_GE(cut.image.size(), size_t{before} * cut.lineBytes);
    EXPECT_TRUE(IsPrefixOf(cut.image, whole.image)) << "the lines before the failure are not those of the scan";
    // The failed line ended the scan: nothing of it is left running.
    EXPECT_EQ(Engine().progress.ReaderThread, nullptr);
    EXPECT_EQ(Engine().scan.Ring, nullptr);

    // The stop finds no device; it returns all the same, with a status the
    // table knows.
    const int32_t stopped = ::StopScanEx(0, 0);
    EXPECT_TRUE(stopped == 1 || IsFailureStatus(LastStatus())) << StatusText(LastStatus());

    model.replug();
    SessionResult after;
    session.Recover(after);
    for (const std::string& problem : after.problems) ADD_FAILURE() << problem;
    EXPECT_TRUE(after.complete);
    EXPECT_EQ(after.image, first.image);
    session.End();
    watchdog.Disarm();
}

INSTANTIATE_TEST_SUITE_P(Lines, UnplugMidScan, ::testing::Values(0u, 1u, 100u));

}  // namespace
}  // namespace zrt::test
