#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "engine/pipeline/reader_thread.h"
#include "engine/pipeline/scan_stop.h"
#include "platform/clock.h"
#include "tests/pipeline/pipeline_fixture.h"
#include "tests/support/scripted_device.h"

namespace zrt::test {
namespace {

class FastClock final : public platform::ClockSource {
public:
    void sleepMs(uint32_t ms) override {
        now += ms;
        std::this_thread::yield();
    }
    uint64_t nowMs() override { return now; }
    std::atomic<uint64_t> now{0};
};

// Image data the scripted controller holds: `released` bytes of `data` are
// waiting, at most `perPoll` of them reported at a time.
class ImageStream {
public:
    void attach(ScriptedDevice& device) {
        device.onRegisterRead = [this](uint8_t reg, unsigned) -> std::optional<uint8_t> {
            std::lock_guard<std::mutex> lock(mutex);
            if (reg == 0xA5) {
                size_t waiting = std::min(released, data.size()) - pos;
                words = static_cast<uint32_t>(std::min(waiting, perPoll) / 2);
                return static_cast<uint8_t>(words >> 16);
            }
            if (reg == 0xA6) return static_cast<uint8_t>(words >> 8);
            if (reg == 0xA7) return static_cast<uint8_t>(words);
            if (reg == 0x46 || reg == 0xA4) return 0;
            return std::nullopt;
        };
        device.onDataRead = [this](size_t n) {
            std::lock_guard<std::mutex> lock(mutex);
            requests.push_back(n);
            size_t take = std::min(n, data.size() - pos);
            Bytes out(data.begin() + pos, data.begin() + pos + take);
            pos += take;
            return out;
        };
        device.onRegisterWrite = [this](uint8_t reg, uint8_t value) {
            if (reg == 0x03 && value == 4) {
                std::lock_guard<std::mutex> lock(mutex);
                released = data.size();  // the stop lets the controller flush
            }
        };
    }

    std::mutex mutex;
    Bytes data;
    size_t pos = 0;
    size_t released = 0;
    size_t perPoll = 1 << 20;
    uint32_t words = 0;
    std::vector<size_t> requests;
};

class ReaderTest : public PipelineTest {
protected:
    void SetUp() override {
        PipelineTest::SetUp();
        platform::InstallClock(&clock);
        stream.attach(device);
        ASSERT_TRUE(engine->device.OpenDevice("scripted", device.transport()));
    }
    void TearDown() override {
        engine.reset();  // joins a reader still running
        platform::InstallClock(nullptr);
    }

    // A 48-bit document scan of `lines` raw lines of 48 bytes (8 of them
    // pad), the controller holding `released` bytes of a numbered stream.
    void PrepareScan(uint32_t lines, size_t released) {
        StartShape({.depth = 48, .channels = 3, .rawLineBytes = 36, .rawLineExtra = 12, .lines = lines});
        engine->config.YRes = 300;
        engine->progress.ReaderThread.reset();
        stream.data.resize(size_t{lines} * 48);
        for (size_t i = 0; i < stream.data.size(); ++i) stream.data[i] = static_cast<uint8_t>(i * 7);
        stream.released = released;
    }

    uint32_t WaitForReaderEnd() {
        while (engine->progress.ReaderThread->ExitCode.load() == kStillActive) platform::SleepMs(1);
        return engine->progress.ReaderThread->ExitCode.load();
    }

    FastClock clock;
    ScriptedDevice device;
    ImageStream stream;
};

TEST_F(ReaderTest, DeliversWholeLinesInGranuleSizedReads) {
    PrepareScan(5, 5 * 48);
    stream.perPoll = 100;  // counts that are neither lines nor granules
    ASSERT_TRUE(CreateReaderThread(*engine));
    EXPECT_EQ(WaitForReaderEnd(), 1u);
    Bytes ring(5 * 48);
    ASSERT_EQ(engine->scan.Ring->Take(ring.data(), 240), 0);
    EXPECT_EQ(ring, stream.data);
    for (size_t n : stream.requests) EXPECT_EQ(n % kImageTransferGranule, 0u) << n;
}

TEST_F(ReaderTest, ReadFailureEndsTheReaderWithCodeZero) {
    PrepareScan(5, 5 * 48);
    device.failRegisterReads(0xA5);
    ASSERT_TRUE(CreateReaderThread(*engine));
    EXPECT_EQ(WaitForReaderEnd(), 0u);
    EXPECT_FALSE(WaitForRawLine(*engine));
}

TEST_F(ReaderTest, LinesReachTheCallerThroughReadScan) {
    PrepareScan(3, 3 * 48);
    ASSERT_TRUE(CreateReaderThread(*engine));
    Bytes out(36);
    for (uint32_t line = 0; line < 3; ++line) {
        ASSERT_EQ(ReadScan(*engine, out.data(), 36), status::Ok);
        const uint8_t* raw = stream.data.data() + line * 48;
        EXPECT_EQ(out[0], raw[0]);   // red of pixel 0
        EXPECT_EQ(out[2], raw[16]);  // green plane starts after 12 valid and 4 pad bytes
        EXPECT_EQ(out[4], raw[32]);
    }
    EXPECT_EQ(Request().LinesLeft, 0u);
}

TEST_F(ReaderTest, StopRightAfterStartDrainsAndParks) {
    PrepareScan(6, 48);  // one line waiting, the rest comes after the stop command
    Request().LinesLeft = 6;
    ASSERT_TRUE(CreateReaderThread(*engine));
    {
        // The reader may be mid-exchange with the device.
        std::lock_guard<std::recursive_mutex> exchange(engine->device.exchangeLock());
        device.clearLog();
    }
    EXPECT_EQ(StopScan(*engine, 0), status::Ok);
    EXPECT_EQ(stream.pos, stream.data.size());  // everything read and dropped
    const Bytes commands = device.writesTo(0x03);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), 4), 2);
    EXPECT_EQ(engine->progress.ReaderThread, nullptr);
    EXPECT_EQ(engine->scan.Ring, nullptr);
    EXPECT_EQ(engine->scan.Filter, nullptr);
    EXPECT_EQ(engine->progress.Lines, 0u);
    EXPECT_EQ(device.registers[0x80] & 0x02, 0x02);  // scan engine disarmed
    EXPECT_EQ(device.registers[0x60] & 0x01, 0);
    // A second stop finds no scan.
    EXPECT_EQ(StopScan(*engine, 0), status::NoScanActive);
}

TEST_F(ReaderTest, StopAfterTheLastLineEndsNormally) {
    PrepareScan(2, 2 * 48);
    ASSERT_TRUE(CreateReaderThread(*engine));
    Bytes out(72);
    ASSERT_EQ(ReadScan(*engine, out.data(), 72), status::Ok);
    size_t requestsBefore = 0;
    {
        std::lock_guard<std::recursive_mutex> exchange(engine->device.exchangeLock());
        device.registers[0xA4] = 1;
        device.onRegisterRead = [](uint8_t reg, unsigned) -> std::optional<uint8_t> {
            if (reg == 0xA4) return 1;
            if (reg == 0x46) return 0;
            return std::nullopt;
        };
        device.clearLog();
        requestsBefore = stream.requests.size();
    }
    EXPECT_EQ(StopScan(*engine, 0), status::Ok);
    const Bytes commands = device.writesTo(0x03);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), 4), 0);  // no stop command
    EXPECT_EQ(stream.requests.size(), requestsBefore);              // no drain
    EXPECT_EQ(engine->progress.Lines, 0u);
    EXPECT_EQ(engine->scan.Ring, nullptr);
}

}  // namespace
}  // namespace zrt::test
