// Scans through the exported API against the virtual scanner, as an
// application runs them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/api/export_support.h"
#include "engine/api/scanner_engine.h"
#include "engine/pipeline/infrared_file.h"
#include "engine/pipeline/scan_state.h"
#include "platform/clock.h"
#include "platform/shared_state.h"
#include "sim/sim_transport.h"
#include "sim/virtual_scanner.h"
#include "tests/platform/test_environment.h"
#include "zrtl5617.h"

namespace zrt::test {
namespace {

class SimScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        scratch = std::make_unique<ScratchDir>();
        ASSERT_FALSE(scratch->path().empty());
        const char* previous = std::getenv("TMPDIR");
        previousTmpdir = previous ? previous : "";
        setenv("TMPDIR", scratch->path().c_str(), 1);
        platform::SharedState().OriginOffset = 0;
        platform::SharedState().FAUScanPosition = 3;
        Process() = ProcessState{};
        Request() = ScanRequest{};
    }

    void TearDown() override {
        ::StopScanEx(0, 0);
        ::TerminateScanner(0);
        Process() = ProcessState{};
        Request() = ScanRequest{};
        Engine().config = ScanConfig{};
        setenv("TMPDIR", previousTmpdir.c_str(), 1);
        scratch.reset();
    }

    uint16_t Status() const {
        uint16_t code = 0;
        ::GetScannerStatus(0, &code);
        return code;
    }

    void Start(const std::string& path = "sim") {
        ASSERT_EQ(::FindScannerEx(0, path.c_str()), 1) << std::hex << Status();
        model = sim::LastOpenedScanner();
        ASSERT_EQ(::InitializeScanner(0), 1) << std::hex << Status();
        ASSERT_EQ(::SetLamp(0, 1), 1) << std::hex << Status();
    }

    static ScanParameters Window(uint16_t dpi, uint8_t depth, uint16_t width, uint16_t height) {
        ScanParameters p{};
        p.XResolution = p.YResolution = dpi;
        p.XOrigin = 4800;
        p.YOrigin = 4800;
        p.Width = width;
        p.Height = height;
        p.BitDepth = depth;
        return p;
    }

    // Starts the scan set up, reads every line one call at a time and
    // stops; the lines are returned.
    std::vector<uint8_t> ScanAll(uint32_t linesPerCall = 1) {
        std::vector<uint8_t> image;
        if (::StartScanEx(0, 0) != 1) {
            ADD_FAILURE() << "start failed: " << std::hex << Status();
            return image;
        }
        ::DataStatus data{};
        ::GetDataStatus(0, &data);
        std::vector<uint8_t> lines(size_t{data.LineBytes} * linesPerCall);
        while (data.LinesLeft >= linesPerCall) {
            if (::ReadScan(0, 0, lines.data(), static_cast<uint32_t>(lines.size())) != 1) {
                ADD_FAILURE() << "read failed: " << std::hex << Status() << " with " << std::dec << data.LinesLeft
                              << " lines left";
                return image;
            }
            image.insert(image.end(), lines.begin(), lines.end());
            ::GetDataStatus(0, &data);
        }
        EXPECT_EQ(::StopScanEx(0, 0), 1) << std::hex << Status();
        return image;
    }

    std::unique_ptr<ScratchDir> scratch;
    std::string previousTmpdir;
    std::shared_ptr<sim::VirtualScanner> model;
};

TEST_F(SimScanTest, DocumentScansAtEveryDepth) {
    Start();
    ASSERT_EQ(::DoCalibration(0, 0, 0, 600), 1) << std::hex << Status();
    for (uint8_t depth : {8, 16, 24, 48}) {
        SCOPED_TRACE(int(depth));
        ScanParameters p = Window(300, depth, 4800, 480);  // one inch wide, 30 lines
        ASSERT_EQ(::SetScanParameter(0, &p), 1) << std::hex << Status();
        ::DataStatus data{};
        ::GetDataStatus(0, &data);
        EXPECT_EQ(data.LineBytes, 300u * depth / 8);
        EXPECT_EQ(data.LinesLeft, 30u);
        std::vector<uint8_t> image = ScanAll();
        EXPECT_EQ(image.size(), size_t{data.LineBytes} * 30);
        size_t lit = 0;
        for (uint8_t b : image) lit += b != 0;
        EXPECT_GT(lit, image.size() / 2);
        EXPECT_EQ(Engine().progress.Lines, 0u);
        EXPECT_EQ(Engine().scan.Ring, nullptr);
    }
}

// At 44 dpi the job leaves the controller a rest that is no whole transfer
// granule; a stop right after the start drains what can be read and ends.
TEST_F(SimScanTest, EarlyStopEndsWithLessThanAGranuleLeft) {
    Start();
    ASSERT_EQ(::DoCalibration(0, 0, 0, 600), 1) << std::hex << Status();
    ScanParameters p = Window(300, 48, 300, 300);
    p.XResolution = 44;
    p.XOrigin = 448;
    p.YOrigin = 512;
    ASSERT_EQ(::SetScanParameter(0, &p), 1) << std::hex << Status();
    ASSERT_EQ(::StartScanEx(0, 0), 1) << std::hex << Status();
    EXPECT_EQ(::StopScanEx(0, 0), 1) << std::hex << Status();
    EXPECT_EQ(Engine().progress.Lines, 0u);
}

TEST_F(SimScanTest, GreyAt150DpiIsTheGreenOfAColourScan) {
    Start("sim:noise=0");
    ASSERT_EQ(::DoCalibration(0, 0, 0, 600), 1) << std::hex << Status();
    ScanParameters p = Window(150, 24, 4800, 320);
    ASSERT_EQ(::SetScanParameter(0, &p), 1);
    std::vector<uint8_t> colour = ScanAll();
    p.BitDepth = 8;
    ASSERT_EQ(::SetScanParameter(0, &p), 1);
    std::vector<uint8_t> grey = ScanAll();
    ASSERT_EQ(grey.size() * 3, colour.size());
    size_t differ = 0;
    for (size_t i = 0; i < grey.size(); ++i) differ += grey[i] != colour[3 * i + 1];
    EXPECT_EQ(differ, 0u);
}

TEST_F(SimScanTest, FilmScanWithInfraredAndItsReplay) {
    Start();
    ASSERT_EQ(::SetLamp(0, 12), 1) << std::hex << Status();
    ASSERT_EQ(::DoCalibration(0, 1, 0, 1200), 1) << std::hex << Status();
    ScanParameters p = Window(1200, 48, 640, 480);  // 160 pixels, 120 lines
    p.FilmScan = 1;
    p.XOrigin = 9968;
    p.YOrigin = 9222 + 4800;
    ASSERT_EQ(::SetScanParameter(0, &p), 1) << std::hex << Status();
    std::vector<uint8_t> image = ScanAll();
    ASSERT_EQ(image.size(), 160u * 6 * 120);

    std::ifstream in(InfraredFilePath(), std::ios::binary);
    std::vector<uint8_t> stored{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_EQ(stored.size(), 160u * 2 * 120);  // one 16-bit plane a line

    // The carriage is still on its way home after the scan.
    for (int wait = 0; wait < 100 && ::SetLamp(0, 8) != 1 && Status() == status::DeviceActive; ++wait) {
        platform::SleepMs(500);
    }
    ASSERT_EQ(Process().LampSelection, 8) << std::hex << Status();
    p.BitDepth = 8;
    ASSERT_EQ(::SetScanParameter(0, &p), 1) << std::hex << Status();
    ASSERT_EQ(::StartScanEx(0, 0), 1) << std::hex << Status();
    std::vector<uint8_t> line(160);
    ASSERT_EQ(::ReadScan(0, 0, line.data(), 160), 1) << std::hex << Status();
    for (size_t i = 0; i < 160; ++i) {
        ASSERT_EQ(line[i], stored[2 * (159 - i) + 1]) << i;  // the high bytes, mirrored
    }
    EXPECT_EQ(::StopScanEx(0, 0), 1);
}

TEST_F(SimScanTest, SplitFilmScanDeliversEveryLine) {
    Start();
    ASSERT_EQ(::SetLamp(0, 12), 1) << std::hex << Status();
    ASSERT_EQ(::DoCalibration(0, 1, 0, 2400), 1) << std::hex << Status();
    ScanParameters p = Window(2400, 24, 64, 14752);
    p.FilmScan = 1;
    p.XOrigin = 9968;
    p.YOrigin = 9222;
    ASSERT_EQ(::SetScanParameter(0, &p), 1) << std::hex << Status();
    std::vector<uint8_t> image = ScanAll();
    EXPECT_EQ(image.size(), 32u * 3 * 7376);
}

}  // namespace
}  // namespace zrt::test
