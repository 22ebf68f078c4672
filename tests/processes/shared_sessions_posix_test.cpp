// Two applications on one scanner: separate processes, each with its own
// engine and its own virtual scanner, sharing the busy flag, the shared
// block and the temporary directory with the calibration files.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "sim/sim_transport.h"
#include "tests/processes/forked_child.h"
#include "tests/processes/sim_session.h"

namespace zrt::test {
namespace {

const auto* const kEnvironment = InstallProcessEnvironment("processes");

// One device exchange made by a caller's thread: which process, and which
// of its export calls it belonged to.
struct ExchangeRecord {
    uint32_t process;
    uint32_t call;
};

// The caller's current export call, numbered by the child before each call.
uint32_t g_call = 0;

template <class Export>
auto Call(Export&& work) {
    ++g_call;
    return work();
}

// The virtual scanner's transport, with every exchange of the caller's
// thread appended to a log that all the children share. The reader thread's
// exchanges are not logged: it runs beside the exports by design.
class LoggedTransport final : public Transport {
public:
    LoggedTransport(const std::string& log, uint32_t process)
        : inner_(sim::CreateSimTransport()),
          fd_(::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600)),
          process_(process),
          caller_(std::this_thread::get_id()) {}
    ~LoggedTransport() override {
        if (fd_ >= 0) ::close(fd_);
    }

    bool open(const std::string& path) override { return note(), inner_->open(path); }
    bool deviceDescriptor(uint8_t descriptor[18]) override { return note(), inner_->deviceDescriptor(descriptor); }
    bool deviceSummary(uint8_t summary[8]) override { return note(), inner_->deviceSummary(summary); }
    bool bulkWrite(const uint8_t* data, size_t count, size_t& written) override {
        return note(), inner_->bulkWrite(data, count, written);
    }
    bool bulkRead(uint8_t* buffer, size_t count, size_t& read) override {
        return note(), inner_->bulkRead(buffer, count, read);
    }
    void close() override { inner_->close(); }

private:
    void note() {
        if (fd_ < 0 || std::this_thread::get_id() != caller_) return;
        const ExchangeRecord record{process_, g_call};
        // One small append: the kernel keeps the records of both processes
        // whole and in the order they happened.
        if (write(fd_, &record, sizeof record) != static_cast<ssize_t>(sizeof record)) fd_ = -1;
    }

    std::unique_ptr<Transport> inner_;
    int fd_;
    uint32_t process_;
    std::thread::id caller_;
};

constexpr int kScansPerSession = 3;
constexpr uint16_t kScanLines = 40;

// A whole application session: open (FindScannerEx with the logging
// transport), power up, calibrate when the cache asks for it, three scans,
// close. Each scan is kept in the directory.
int ScanSession(ChildWorld& world, uint32_t process, const std::string& go) {
    REQUIRE_IN_CHILD(WaitForFile(go));
    const std::string log = world.file("exchanges.log");
    REQUIRE_IN_CHILD(Call([&] { return FindScannerWith("sim", std::make_unique<LoggedTransport>(log, process)); }) ==
                     1);
    REQUIRE_IN_CHILD(Call([] { return ::InitializeScanner(0); }) == 1);
    REQUIRE_IN_CHILD(Call([] { return ::SetLamp(0, 1); }) == 1);
    const ::ScanParameters window = DocumentWindow(300, 24, kScanLines, 0, 4480, 19200);
    REQUIRE_IN_CHILD(Call([&] { return ::SetScanParameter(0, &window); }) == 1);
    uint8_t calibration = 0xEE;
    REQUIRE_IN_CHILD(Call([&] { return ::GetCalibrationStatus(0, &calibration); }) == 1);
    if (calibration != 0) REQUIRE_IN_CHILD(Call([] { return ::DoCalibration(0, 0, 0, 600); }) == 1);

    for (int scan = 0; scan < kScansPerSession; ++scan) {
        REQUIRE_IN_CHILD(Call([&] { return ::SetScanParameter(0, &window); }) == 1);
        REQUIRE_IN_CHILD(Call([] { return ::StartScanEx(0, 0); }) == 1);
        ::DataStatus data{};
        ::GetDataStatus(0, &data);
        std::vector<uint8_t> image;
        std::vector<uint8_t> line(data.LineBytes);
        while (data.LinesLeft > 0) {
            REQUIRE_IN_CHILD(Call([&] { return ::ReadScan(0, 0, line.data(), data.LineBytes); }) == 1);
            image.insert(image.end(), line.begin(), line.end());
            ::GetDataStatus(0, &data);
        }
        REQUIRE_IN_CHILD(Call([] { return ::StopScanEx(0, 0); }) == 1);
        WriteFileBytes(world.file("scan-" + std::to_string(process) + "-" + std::to_string(scan)), image);
        // The application stores the image before it scans again.
        platform::SystemClock().sleepMs(20);
    }
    REQUIRE_IN_CHILD(Call([] { return ::TerminateScanner(0); }) == 1);
    return 0;
}

std::vector<ExchangeRecord> ReadExchanges(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    std::vector<ExchangeRecord> records(bytes.size() / sizeof(ExchangeRecord));
    std::memcpy(records.data(), bytes.data(), records.size() * sizeof(ExchangeRecord));
    return records;
}

// Scans of one chart differ by the sensor's noise only; a lost or repeated
// line or a shifted window differs by far more (the window holds the edge
// between the grey wedge and the colour patches).
constexpr int kNoise = 4;

int LargestDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return 256;
    int largest = 0;
    for (size_t i = 0; i < a.size(); ++i) largest = std::max(largest, std::abs(int{a[i]} - int{b[i]}));
    return largest;
}

TEST(TwoProcesses, SessionsSideBySideNeverInterleaveInsideAnExportAndBothScanWhole) {
    ChildWorld world;
    const std::string go = world.file("go");
    std::vector<pid_t> children;
    for (uint32_t process : {1u, 2u})
        children.push_back(ForkChild([&, process] { return ScanSession(world, process, go); }));
    Touch(go);
    for (pid_t child : children) EXPECT_EQ(WaitChild(child), 0);

    // The exchanges of one export call form one run in the common log: the
    // other process never reached its device while this one was inside.
    const std::vector<ExchangeRecord> records = ReadExchanges(world.file("exchanges.log"));
    ASSERT_FALSE(records.empty());
    std::map<std::pair<uint32_t, uint32_t>, size_t> runs;
    size_t handOvers = 0;
    size_t resumed = 0;
    std::string firstResumed;
    for (size_t i = 0; i < records.size(); ++i) {
        const ExchangeRecord& r = records[i];
        if (i > 0 && records[i - 1].process == r.process && records[i - 1].call == r.call) continue;
        if (i > 0 && records[i - 1].process != r.process) ++handOvers;
        if (++runs[{r.process, r.call}] > 1 && resumed++ == 0) {
            firstResumed = "call " + std::to_string(r.call) + " of process " + std::to_string(r.process) +
                           " resumed at exchange " + std::to_string(i);
        }
    }
    EXPECT_EQ(resumed, 0u) << firstResumed << " after the other process had used its device";
    // Side by side, not one after the other: the flag passed back and forth.
    EXPECT_GE(handOvers, 2u);
    std::printf("device exchanges of the callers: %zu in %zu export calls; hand-overs between the processes: %zu\n",
                records.size(), runs.size(), handOvers);

    // Two identical scanners calibrated alike scan alike; each scan is whole.
    const auto first = ReadFileBytes(world.file("scan-1-0"));
    ASSERT_EQ(first.size(), size_t{1200} * 3 * kScanLines);
    for (uint32_t process : {1u, 2u}) {
        for (int scan = 0; scan < kScansPerSession; ++scan) {
            const std::string name = "scan-" + std::to_string(process) + "-" + std::to_string(scan);
            const auto image = ReadFileBytes(world.file(name));
            EXPECT_LE(LargestDifference(image, first), kNoise) << "process " << process << " scan " << scan;
        }
    }
}

// A process killed inside a long export: the other one, already waiting in
// a locking export, takes the flag over and has the scanner to itself.
enum class LongExport { Calibration, ScanStartAndStop };

struct KilledHolderCase {
    const char* name;
    LongExport work;
};

void PrintTo(const KilledHolderCase& c, std::ostream* out) { *out << c.name; }

constexpr uint16_t kHolderLines = 40;

// Runs the long export over and over, until it is killed.
int HoldInLongExports(ChildWorld& world, LongExport work) {
    REQUIRE_IN_CHILD(OpenDocumentScanner());
    const ::ScanParameters window = DocumentWindow(300, 24, kHolderLines);
    REQUIRE_IN_CHILD(::SetScanParameter(0, &window) == 1);
    REQUIRE_IN_CHILD(::DoCalibration(0, 0, 0, 600) == 1);
    Touch(world.file("holder-ready"));
    REQUIRE_IN_CHILD(WaitForFile(world.file("holder-go")));
    for (;;) {
        if (work == LongExport::Calibration) {
            REQUIRE_IN_CHILD(::DoCalibration(0, 0, 0, 600) == 1);
            continue;
        }
        REQUIRE_IN_CHILD(::SetScanParameter(0, &window) == 1);
        REQUIRE_IN_CHILD(::StartScanEx(0, 0) == 1);
        REQUIRE_IN_CHILD(::StopScanEx(0, 0) == 1);  // early: the stop drains the controller
    }
}

int WaitBehindTheHolder(ChildWorld& world) {
    REQUIRE_IN_CHILD(OpenDocumentScanner());
    const ::ScanParameters window = DocumentWindow(300, 24, kHolderLines);
    REQUIRE_IN_CHILD(::SetScanParameter(0, &window) == 1);
    Touch(world.file("waiter-ready"));
    REQUIRE_IN_CHILD(WaitForFile(world.file("waiter-go")));

    // The holder is inside its export now; what takes no lock still answers.
    uint16_t status = 0;
    uint8_t calibration = 0xEE;
    REQUIRE_IN_CHILD(::GetScannerStatus(0, &status) == 1);
    REQUIRE_IN_CHILD(::GetCalibrationStatus(0, &calibration) == 1 && calibration == 0);
    Touch(world.file("waiter-calling"));
    REQUIRE_IN_CHILD(::SetLamp(0, 1) == 1);
    std::ofstream(world.file("waiter-took-over")) << platform::SystemClock().nowMs();

    // The scanner is this process's alone now: a whole calibration and scan,
    // over whatever the killed process left half-written.
    REQUIRE_IN_CHILD(::DoCalibration(0, 0, 0, 600) == 1);
    REQUIRE_IN_CHILD(::SetScanParameter(0, &window) == 1);
    REQUIRE_IN_CHILD(ScanAllLines().size() == size_t{300} * 3 * kHolderLines);
    REQUIRE_IN_CHILD(::TerminateScanner(0) == 1);
    return 0;
}

// Stops the holder while the flag is up and checks it is still up once the
// holder has stopped: only the holder takes the flag at this point, so it is
// then stopped inside its export.
bool StopInsideAnExport(ChildWorld& world, pid_t holder) {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        if (!WaitUntil([&] { return world.busyFlag() == 1; })) return false;
        int status = 0;
        if (kill(holder, SIGSTOP) != 0 || waitpid(holder, &status, WUNTRACED) != holder) return false;
        if (!WIFSTOPPED(status)) return false;
        if (world.busyFlag() == 1) return true;
        kill(holder, SIGCONT);
    }
    return false;
}

class KilledHolder : public ::testing::TestWithParam<KilledHolderCase> {};

TEST_P(KilledHolder, TheWaitingProcessTakesTheFlagOverAndScans) {
    ChildWorld world;
    const pid_t holder = ForkChild([&] { return HoldInLongExports(world, GetParam().work); });
    ASSERT_GT(holder, 0);
    const bool holderReady = WaitForFile(world.file("holder-ready"), 60000);
    const pid_t waiter = holderReady ? ForkChild([&] { return WaitBehindTheHolder(world); }) : -1;
    const bool waiterReady = waiter > 0 && WaitForFile(world.file("waiter-ready"), 60000);
    if (waiterReady) Touch(world.file("holder-go"));
    const bool caught = waiterReady && StopInsideAnExport(world, holder);
    if (caught) Touch(world.file("waiter-go"));
    const bool calling = caught && WaitForFile(world.file("waiter-calling"));

    // While the holder sits inside its export the waiter's locking call
    // does not return.
    if (calling) platform::SystemClock().sleepMs(300);
    const bool ranAlongside = std::filesystem::exists(world.file("waiter-took-over"));
    const uint64_t killedAt = platform::SystemClock().nowMs();
    kill(holder, SIGKILL);
    const bool tookOver = calling && WaitForFile(world.file("waiter-took-over"), 10000);

    // The killed holder is reaped only after the takeover: until then it is
    // a zombie, as gone as a reaped process.
    EXPECT_EQ(WaitChild(holder), 128 + SIGKILL);
    if (waiter > 0) {
        EXPECT_EQ(WaitChild(waiter), 0);
    }
    ASSERT_TRUE(holderReady && waiterReady) << "the two sessions did not get ready";
    ASSERT_TRUE(caught) << "the holder was never caught inside its export";
    ASSERT_TRUE(calling) << "an export that takes no lock waited for the holder";
    EXPECT_FALSE(ranAlongside) << "a locking export ran while another process was inside one";
    ASSERT_TRUE(tookOver) << "the flag of the killed process was not taken over";
    EXPECT_EQ(world.busyFlag(), 0u);

    uint64_t tookOverAt = 0;
    std::ifstream(world.file("waiter-took-over")) >> tookOverAt;
    const uint64_t takeoverMs = tookOverAt - killedAt;
    // The waiter looks every 10 ms; anything near this bound is a hang.
    EXPECT_LT(takeoverMs, 5000u);
    std::printf("killed inside %s: the waiting process had the flag %llu ms after the kill\n", GetParam().name,
                static_cast<unsigned long long>(takeoverMs));
}

INSTANTIATE_TEST_SUITE_P(LongExports, KilledHolder,
                         ::testing::Values(KilledHolderCase{"DoCalibration", LongExport::Calibration},
                                           KilledHolderCase{"StartScanEx or StopScanEx",
                                                            LongExport::ScanStartAndStop}),
                         [](const auto& info) {
                             return info.param.work == LongExport::Calibration ? std::string("Calibration")
                                                                               : std::string("ScanStartAndStop");
                         });

}  // namespace
}  // namespace zrt::test
