// An engine in the middle of a scan without a device: the ring is filled by
// the test, the reader counts as finished, the line counts are set by hand.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "engine/api/scanner_engine.h"
#include "engine/pipeline/line_assembly.h"
#include "engine/pipeline/line_filter.h"
#include "engine/pipeline/scan_ring.h"
#include "engine/pipeline/scan_start.h"
#include "engine/pipeline/scan_state.h"

namespace zrt::test {

using Bytes = std::vector<uint8_t>;

inline Bytes Words(std::initializer_list<uint16_t> words) {
    Bytes out(words.size() * 2);
    size_t i = 0;
    for (uint16_t w : words) {
        std::memcpy(&out[2 * i++], &w, 2);
    }
    return out;
}

inline uint16_t WordAt(const Bytes& b, size_t i) {
    uint16_t v;
    std::memcpy(&v, &b[2 * i], 2);
    return v;
}

struct ScanShape {
    uint8_t source = 1;
    uint8_t depth = 24;
    uint8_t channels = 3;
    uint8_t filmOption = 0;
    uint8_t useAG = 0;
    uint16_t xRes = 300;
    uint32_t rawLineBytes = 0;
    uint32_t rawLineExtra = 0;
    uint32_t lines = 1;        // raw lines of the scan
    uint32_t greyFromColour = 0;
};

class PipelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        Request() = ScanRequest{};
        engine = std::make_unique<ScannerEngine>();
    }

    void TearDown() override { engine.reset(); }

    void StartShape(const ScanShape& s) {
        ScanConfig& c = engine->config;
        c.Source = s.source;
        c.Depth = s.depth;
        c.Channels = s.channels;
        c.FilmOption = s.filmOption;
        c.UseAG = s.useAG;
        c.XRes = s.xRes;
        c.GreyFromColour = s.greyFromColour;
        ScanProgress& p = engine->progress;
        p.RawLineBytes = s.rawLineBytes;
        p.RawLineExtra = s.rawLineExtra;
        p.Lines = s.lines;
        p.RawLinesLeft = s.lines;
        engine->scan.Ring = std::make_unique<ScanRing>();
        FilterChoice f = ChooseFilter(c);
        engine->scan.Filter = std::make_unique<LineFilter>(s.rawLineBytes + s.rawLineExtra, s.rawLineExtra,
                                                           s.lines, f.kind, f.strength);
        p.ReaderThread = std::make_unique<ReaderHandle>();
        p.ReaderThread->ExitCode = 1;  // finished: everything is in the ring
        Request().Accepted = true;
        Request().LineBytes = OutputLineBytes(*engine);
        Request().LinesLeft = s.lines;
    }

    void Feed(const Bytes& rawLine) { ASSERT_EQ(engine->scan.Ring->Put(rawLine.data(), rawLine.size()), 0); }

    std::unique_ptr<ScannerEngine> engine;
};

}  // namespace zrt::test
