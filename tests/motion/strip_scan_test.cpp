#include <gtest/gtest.h>

#include <algorithm>

#include "engine/motion/carriage_motion.h"
#include "tests/motion/motion_fixture.h"

namespace zrt::test {
namespace {

class StripScanTest : public MotionTest {
protected:
    // The controller delivers `raw` in order and reports `words` waiting.
    void serve(std::vector<uint8_t> raw, uint32_t words = 0xFFFFFF) {
        stream = std::move(raw);
        offset = 0;
        device.registers[0xA5] = static_cast<uint8_t>(words >> 16);
        device.registers[0xA6] = static_cast<uint8_t>(words >> 8);
        device.registers[0xA7] = static_cast<uint8_t>(words);
        device.onDataRead = [this](size_t n) {
            std::vector<uint8_t> chunk(n, 0xAB);  // beyond the strip: garbage
            for (size_t k = 0; k < n && offset < stream.size(); ++k) chunk[k] = stream[offset++];
            return chunk;
        };
    }
    std::vector<uint8_t> stream;
    size_t offset = 0;
};

// A FindOrigin strip: 128 lines of three plane rows of 118 data and 10 pad
// bytes. Column c of the first plane turns dark at line edge(c).
std::vector<uint8_t> OriginStrip(int drop, unsigned (*edge)(unsigned)) {
    std::vector<uint8_t> raw(128 * 384, 0xEE);
    for (unsigned line = 0; line < 128; ++line)
        for (unsigned plane = 0; plane < 3; ++plane)
            for (unsigned c = 0; c < 118; ++c)
                raw[line * 384 + plane * 128 + c] = line < edge(c) ? 200 : static_cast<uint8_t>(200 - drop);
    return raw;
}

TEST_F(StripScanTest, FindOriginAveragesTheEdgeLine) {
    serve(OriginStrip(180, [](unsigned c) { return 20 + c % 3; }));
    int16_t origin = -1;
    ASSERT_EQ(FindOrigin(engine, origin), 0);
    // Edges found at lines 19, 20, 21 over 40, 39, 39 columns: average 19.
    EXPECT_EQ(origin, 19 * 4 + 132 + 151);
    EXPECT_EQ(bytesRequested(), 128u * 384);  // not a byte past the strip
    EXPECT_EQ(carriage.moves.back(), kFullTravelSteps);  // homed afterwards
}

TEST_F(StripScanTest, FindOriginWithoutAnEdge) {
    serve(OriginStrip(50, [](unsigned) { return 60u; }));  // a drop of 50 is not an edge
    int16_t origin = -1;
    EXPECT_EQ(FindOrigin(engine, origin), status::OriginNotFound);
    EXPECT_EQ(origin, 0);
}

struct LayoutCase {
    uint8_t depth;
    uint8_t channels;
    size_t planeRow;   // raw bytes of one plane row
    size_t dataRow;    // delivered bytes of one plane row
    uint32_t words;    // waiting words the controller reports each time
};

TEST_F(StripScanTest, PaddingIsRemovedPlaneByPlane) {
    // 600 dpi over 8000 units: 1000 pixels and 8 pad pixels.
    const LayoutCase cases[] = {
        {16, 3, 2016, 2000, 0xFFFFFF},
        {24, 3, 1008, 1000, 9},   // 18 bytes waiting: read in whole 16-byte blocks
        {8, 1, 1008, 1000, 0x7800},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.depth) << "-bit, " << int(c.channels) << " channels");
        device.clearLog();
        const size_t rows = 2u * c.channels;
        std::vector<uint8_t> raw(rows * c.planeRow, 0xEE);
        for (size_t k = 0; k < rows; ++k) std::fill_n(raw.begin() + k * c.planeRow, c.dataRow, uint8_t(k));
        serve(raw, c.words);
        const ChannelExposure exposure;
        std::vector<uint8_t> out;
        ASSERT_EQ(ScanToMemory(engine, out, 2, 600, c.depth, 2, 0, 8000, 1, c.channels, exposure, 0, 0, 0, 0), 0);
        ASSERT_EQ(out.size(), rows * c.dataRow);
        for (size_t k = 0; k < rows; ++k)
            EXPECT_TRUE(std::all_of(out.begin() + k * c.dataRow, out.begin() + (k + 1) * c.dataRow,
                                    [&](uint8_t v) { return v == k; })) << k;
        EXPECT_EQ(bytesRequested(), raw.size());
        EXPECT_EQ(engine.device.RegisterShadow[0x11] & 0x40, 0x40);  // a strip job
        EXPECT_EQ(engine.device.RegisterShadow[0x90] & 0x02, 0);     // line 6 lowered again
    }
}

TEST_F(StripScanTest, ReadFailuresFreeAndReport) {
    const ChannelExposure exposure;
    std::vector<uint8_t> out{1, 2, 3};
    device.failWhen = [](size_t, bool isWrite, const std::vector<uint8_t>& frame) {
        return isWrite && !frame.empty() && frame[0] == 0x05;
    };
    serve(std::vector<uint8_t>(2 * 1008));
    EXPECT_EQ(ScanToMemory(engine, out, 2, 600, 8, 2, 0, 8000, 1, 1, exposure, 0, 0, 0, 0),
              status::MemoryScanReadFailed);
    EXPECT_EQ(out, (std::vector<uint8_t>{1, 2, 3}));

    device.failRegisterReads(0xA5);
    EXPECT_EQ(ScanToMemory(engine, out, 2, 600, 8, 2, 0, 8000, 1, 1, exposure, 0, 0, 0, 0),
              status::MemoryScanCountFailed);
    device.failRegisterWrites(0x90);
    EXPECT_EQ(ScanToMemory(engine, out, 2, 600, 8, 2, 0, 8000, 1, 1, exposure, 0, 0, 0, 0),
              status::MemoryScanSetLine6Failed);
}

TEST_F(StripScanTest, NoDataArrivingIsGivenUp) {
    serve({}, 0);
    const ChannelExposure exposure;
    std::vector<uint8_t> out;
    EXPECT_EQ(ScanToMemory(engine, out, 2, 600, 8, 2, 0, 8000, 1, 1, exposure, 0, 0, 0, 0),
              status::MemoryScanReadFailed);
    EXPECT_GE(clock.slept, 59000u);
}

TEST_F(StripScanTest, FilmLampCheck) {
    // 75 dpi over 2880 units: 45 pixels and 3 pad pixels a plane row.
    for (uint8_t level : {uint8_t{200}, uint8_t{199}}) {
        SCOPED_TRACE(int(level));
        std::vector<uint8_t> raw(250 * 3 * 48, level);
        serve(raw);
        EXPECT_EQ(CheckFilmLamp(engine), level >= 200 ? status::Ok : status::FilmLampTooDark);
        EXPECT_EQ(engine.gamma.slot[2].size(), 65536u);
        EXPECT_EQ(engine.gamma.slot[2][40000], 40000);
    }
}

}  // namespace
}  // namespace zrt::test
