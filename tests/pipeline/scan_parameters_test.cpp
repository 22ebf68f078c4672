#include <gtest/gtest.h>

#include <memory>

#include "engine/api/export_support.h"
#include "engine/motion/line_period.h"
#include "engine/pipeline/scan_parameters.h"
#include "platform/shared_state.h"

namespace zrt {
namespace {

ScanParameters Document(uint16_t x, uint16_t w, uint16_t y, uint16_t h) {
    ScanParameters p{};
    p.XResolution = p.YResolution = 300;
    p.XOrigin = x;
    p.Width = w;
    p.YOrigin = y;
    p.Height = h;
    p.BitDepth = 24;
    return p;
}

ScanParameters Film(uint16_t x, uint16_t w, uint16_t y, uint16_t h, uint16_t dpi = 600) {
    ScanParameters p = Document(x, w, y, h);
    p.XResolution = p.YResolution = dpi;
    p.FilmScan = 1;
    p.BitDepth = 48;
    return p;
}

struct WindowCase {
    ScanParameters p;
    uint8_t fauScanPosition;
    StatusCode expected;
};

TEST(ScanParameterChecks, WindowLimitsOfDocumentAndFilmArea) {
    const WindowCase cases[] = {
        {Document(40768, 64, 0, 64), 3, status::Ok},
        {Document(40769, 64, 0, 64), 3, status::FlatbedXOrigin},
        {Document(0, 63, 0, 64), 3, status::FlatbedWidth},
        {Document(0, 40833, 0, 64), 3, status::FlatbedWidth},
        {Document(0, 40832, 0, 64), 3, status::Ok},
        {Document(1, 40832, 0, 64), 3, status::FlatbedXEnd},
        {Document(0, 64, 56064, 64), 3, status::Ok},
        {Document(0, 64, 56065, 64), 3, status::FlatbedYOrigin},
        {Document(0, 64, 0, 63), 3, status::FlatbedHeight},
        {Document(0, 64, 0, 56129), 3, status::FlatbedHeight},
        {Document(0, 64, 0, 56128), 3, status::Ok},
        {Document(0, 64, 1, 56128), 3, status::FlatbedYEnd},
        // Film area at 4809 (position 2) or 9968 (any other position).
        {Film(4809, 6400, 9222, 64), 2, status::Ok},
        {Film(4809, 6400, 9222, 64), 3, status::FilmXOrigin},
        {Film(9968, 6400, 9222, 64), 3, status::Ok},
        {Film(4808, 64, 9222, 64), 2, status::FilmXOrigin},
        {Film(4809 + 6336, 64, 9222, 64), 2, status::Ok},
        {Film(4809 + 6337, 63, 9222, 64), 2, status::FilmXOrigin},
        {Film(4809, 6400, 9222, 64, 299), 2, status::FilmResolution},
        {Film(0, 0, 0, 0, 150), 2, status::FilmResolution},  // before any window rule
        {Film(4809, 63, 9222, 64), 2, status::FilmWidth},
        {Film(4809, 6401, 9222, 64), 2, status::FilmWidth},
        {Film(4810, 6400, 9222, 64), 2, status::FilmXEnd},
        {Film(4809, 64, 9221, 64), 2, status::FilmYOrigin},
        {Film(4809, 64, 9222, 63), 2, status::FilmHeight},
        {Film(4809, 64, 9222, 43265), 2, status::FilmHeight},
        {Film(4809, 64, 9933, 43264), 2, status::Ok},
        {Film(4809, 64, 9934, 43264), 2, status::FilmYEnd},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "x " << c.p.XOrigin << " w " << c.p.Width << " y " << c.p.YOrigin
                                          << " h " << c.p.Height << " film " << int(c.p.FilmScan));
        EXPECT_EQ(CheckScanParameters(c.p, c.fauScanPosition), c.expected);
    }
}

TEST(ScanParameterChecks, LineBytesAndLinesLeftTruncate) {
    ScanParameters p = Document(0, 1000, 0, 2400);
    EXPECT_EQ(LineBytesOf(p), 186u);  // 62 pixels of 3 bytes
    EXPECT_EQ(LinesLeftOf(p), 150u);
    p.BitDepth = 48;
    EXPECT_EQ(LineBytesOf(p), 372u);
    p.BitDepth = 8;
    EXPECT_EQ(LineBytesOf(p), 62u);
    EXPECT_EQ(RoundUpToMultiple(75, 600), 600u);
    EXPECT_EQ(RoundUpToMultiple(1200, 600), 1200u);
    EXPECT_EQ(RoundUpToMultiple(2400, 600), 2400u);
}

class SetScanParameterTest : public ::testing::Test {
protected:
    void SetUp() override {
        Request() = ScanRequest{};
        Process().LampSelection = 1;
        platform::SharedState().FAUScanPosition = 2;
        engine = std::make_unique<ScannerEngine>();
        engine->device.BusSpeed = 2;
    }
    std::unique_ptr<ScannerEngine> engine;
};

TEST_F(SetScanParameterTest, GreyFromColourAtLowDocumentResolutions) {
    ScanParameters p = Document(0, 4800, 0, 4800);
    p.BitDepth = 8;
    p.XResolution = 150;
    ASSERT_EQ(SetScanParameter(*engine, p), status::Ok);
    EXPECT_EQ(Request().LineBytes, 150u);
    EXPECT_EQ(engine->config.Channels, 3);
    EXPECT_EQ(engine->config.Depth, 24);
    EXPECT_EQ(engine->config.GreyFromColour, 1u);
    EXPECT_EQ(engine->config.GainG, 4096);

    p.XResolution = 151;
    ASSERT_EQ(SetScanParameter(*engine, p), status::Ok);
    EXPECT_EQ(engine->config.Channels, 1);
    EXPECT_EQ(engine->config.Depth, 8);
    EXPECT_EQ(engine->config.GreyFromColour, 0u);
}

TEST_F(SetScanParameterTest, FilmWithInfraredHasFourChannels) {
    Process().LampSelection = 12;
    ASSERT_EQ(SetScanParameter(*engine, Film(4809, 6400, 9222, 4800)), status::Ok);
    EXPECT_EQ(engine->config.Channels, 4);
    EXPECT_EQ(engine->config.Source, 12);
    EXPECT_EQ(engine->config.OriginY, 9222u);
    EXPECT_EQ(Request().LineBytes, 6u * 800);
}

TEST_F(SetScanParameterTest, RefusedRecordReplacesOnlyTheStoredCopy) {
    ASSERT_EQ(SetScanParameter(*engine, Document(0, 4800, 0, 4800)), status::Ok);
    ScanParameters bad = Document(0, 63, 0, 4800);
    bad.XResolution = 1200;
    EXPECT_EQ(SetScanParameter(*engine, bad), status::FlatbedWidth);
    EXPECT_EQ(Request().StoredParameters.XResolution, 1200);
    EXPECT_EQ(Request().LineBytes, 900u);
    EXPECT_EQ(Request().LinesLeft, 300u);
    EXPECT_EQ(engine->config.XRes, 300);
}

TEST_F(SetScanParameterTest, RefusedWhileAReaderRuns) {
    engine->progress.ReaderThread = std::make_unique<ReaderHandle>();
    EXPECT_EQ(SetScanParameter(*engine, Document(0, 4800, 0, 4800)), status::DeviceActive);
    EXPECT_FALSE(Request().Accepted);
}

TEST_F(SetScanParameterTest, DefaultAGDataIgnoresWhatWasSet) {
    AGDataWords data;
    data.fill(7);
    Request().AGData.fill(1);
    WriteDefaultAGData(data);
    EXPECT_EQ(data[0], 4096);
    EXPECT_EQ(data[1], 65535);
    EXPECT_EQ(data[2], 4096);
    EXPECT_EQ(data[16], 4096);
    EXPECT_EQ(data[17], 65535);
    EXPECT_EQ(data[20], 4096);
    EXPECT_EQ(data[21], 7);  // left untouched
}

TEST_F(SetScanParameterTest, DataStatusCountsTheInfraredChannel) {
    Process().LampSelection = 12;
    ScanParameters p = Film(4809, 6400, 9222, 4800, 1200);
    ASSERT_EQ(SetScanParameter(*engine, p), status::Ok);
    DataStatus out{};
    GetDataStatus(*engine, out);
    uint32_t period = LookupLinePeriod(*engine, 12, 2, 48, 1200).period;
    EXPECT_EQ(out.LineBytes, Request().LineBytes);
    EXPECT_EQ(out.LinesLeft, 1200u);
    EXPECT_EQ(out.LineTime, 4 * period * 8 / 30);
}

TEST_F(SetScanParameterTest, DataStatusTurnsLowResolutionGreyIntoColourForGood) {
    ScanParameters p = Document(0, 4800, 0, 4800);
    p.BitDepth = 8;
    p.XResolution = 150;
    ASSERT_EQ(SetScanParameter(*engine, p), status::Ok);
    DataStatus out{};
    GetDataStatus(*engine, out);
    EXPECT_EQ(Request().StoredParameters.BitDepth, 24);
    uint32_t period = LookupLinePeriod(*engine, 1, 2, 24, 150).period;
    EXPECT_EQ(out.LineTime, 3 * period * 8 / 30);
}

}  // namespace
}  // namespace zrt
