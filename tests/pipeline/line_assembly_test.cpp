#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>

#include "engine/pipeline/infrared_file.h"
#include "tests/pipeline/pipeline_fixture.h"

namespace zrt::test {
namespace {

TEST(BlackOffset, FilmSamplesLoseTheirFloor) {
    struct Case {
        uint16_t in;
        uint8_t filmOption;
        uint16_t out;
    } cases[] = {
        {600, 0, 128}, {700, 0, 188}, {640, 0, 128}, {641, 0, 129}, {0, 0, 128},
        {600, 1, 256}, {1000, 1, 488}, {768, 1, 256}, {769, 1, 257}, {65535, 1, 65023},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RemoveBlackOffset(c.in, c.filmOption), c.out) << c.in << " option " << int(c.filmOption);
    }
}

TEST(InterleavePlanes, PlanesBecomePixels) {
    ScanConfig c;
    c.Source = 1;
    c.Depth = 24;
    c.Channels = 3;
    Bytes out(6);
    Bytes planar{1, 2, 10, 20, 100, 200};
    InterleavePlanes(c, out.data(), planar.data(), 6);
    EXPECT_EQ(out, (Bytes{1, 10, 100, 2, 20, 200}));

    // A film line with its infrared plane: three samples a pixel come out,
    // 16-bit ones without the black offset.
    c.Source = 12;
    c.Depth = 48;
    c.Channels = 4;
    c.FilmOption = 1;
    Bytes film = Words({600, 1000, 2000, 3000, 769, 800, 7, 9});
    Bytes pixels(12);
    InterleavePlanes(c, pixels.data(), film.data(), 16);
    EXPECT_EQ(pixels, Words({256, 1488, 257, 488, 2488, 288}));
}

TEST(BlendLine, WeighsTheKeptLineDownOverTenLines) {
    Bytes kept = Words({1000, 0, 65535, 1, 2, 3});
    for (uint32_t w = 10; w >= 1; --w) {
        Bytes line = Words({2000, 65535, 0, 4, 5, 6});
        BlendLine(line.data(), kept.data(), 12, w, true);
        for (size_t i = 0; i < 6; ++i) {
            long double exact = WordAt(kept, i) * (w - 1) * 0.1L + (10 - w + 1) * WordAt(Words({2000, 65535, 0, 4, 5, 6}), i) * 0.1L;
            EXPECT_EQ(WordAt(line, i), static_cast<uint16_t>(std::trunc(exact))) << "w " << w << " sample " << i;
        }
        if (w == 10) {
            EXPECT_EQ(WordAt(line, 0), 1100);
        }
        if (w == 1) {
            EXPECT_EQ(WordAt(line, 0), 2000);
        }
    }
    Bytes narrow{200, 10}, narrowKept{100, 250};
    BlendLine(narrow.data(), narrowKept.data(), 2, 10, false);
    EXPECT_EQ(narrow, (Bytes{110, 226}));
}

using AssembleLineTest = PipelineTest;

TEST_F(AssembleLineTest, FilteredThreeLineScan) {
    StartShape({.depth = 8, .channels = 1, .rawLineBytes = 5, .lines = 3});
    Feed({10, 20, 30, 40, 50});
    Feed({0, 100, 0, 100, 0});
    Feed({1, 2, 3, 4, 5});
    Bytes out(5);
    ASSERT_TRUE(AssembleLine(*engine, out.data()));
    EXPECT_EQ(out, (Bytes{10, 20, 30, 40, 50}));
    EXPECT_EQ(engine->progress.RawLinesLeft, 2u);
    EXPECT_EQ(engine->scan.Ring->Used(), 5u);  // the line below is already taken
    ASSERT_TRUE(AssembleLine(*engine, out.data()));
    EXPECT_EQ(out, (Bytes{0, 53, 29, 56, 0}));
    ASSERT_TRUE(AssembleLine(*engine, out.data()));
    EXPECT_EQ(out, (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(engine->progress.RawLinesLeft, 0u);
}

TEST_F(AssembleLineTest, OneLineFilteredScanDoesNotWaitForALineBelow) {
    StartShape({.depth = 8, .channels = 1, .rawLineBytes = 4, .lines = 1});
    Feed({9, 8, 7, 6});
    Bytes out(4);
    ASSERT_TRUE(AssembleLine(*engine, out.data()));
    EXPECT_EQ(out, (Bytes{9, 8, 7, 6}));
}

TEST_F(AssembleLineTest, DocumentLineDropsPadSamplesAndAppliesGamma) {
    StartShape({.depth = 48, .channels = 3, .rawLineBytes = 12, .rawLineExtra = 6, .lines = 1});
    Feed(Words({1, 2, 0xEEEE, 3, 4, 0xEEEE, 5, 6, 0xEEEE}));
    Bytes out(12);
    ASSERT_TRUE(AssembleLine(*engine, out.data()));
    EXPECT_EQ(out, Words({1, 3, 5, 2, 4, 6}));  // identity gamma: interleaved input

    engine->progress.RawLinesLeft = 1;
    for (auto& slot : engine->gamma.slot) {
        slot.resize(65536);
        for (uint32_t v = 0; v < 65536; ++v) slot[v] = static_cast<uint16_t>(v);
    }
    engine->gamma.slot[2][6] = 60000;
    Feed(Words({1, 2, 0, 3, 4, 0, 5, 6, 0}));
    ASSERT_TRUE(AssembleLine(*engine, out.data()));
    EXPECT_EQ(out, Words({1, 3, 5, 2, 4, 60000}));
}

TEST_F(AssembleLineTest, FilmLineIsMirroredAndItsInfraredPlaneStored) {
    ASSERT_EQ(OpenInfraredFile(*engine, 0), 1);
    StartShape({.source = 12, .depth = 48, .channels = 4, .filmOption = 1, .rawLineBytes = 16, .lines = 1});
    Feed(Words({600, 1000, 2000, 3000, 769, 800, 0x1234, 0xABCD}));
    Bytes out(12);
    ASSERT_TRUE(AssembleLine(*engine, out.data()));
    EXPECT_EQ(out, Words({488, 2488, 288, 256, 1488, 257}));
    engine->scan.IRFile.Close();
    std::ifstream in(InfraredFilePath(), std::ios::binary);
    Bytes stored{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(stored, Words({0x1234, 0xABCD}));
}

TEST_F(AssembleLineTest, InfraredPlaneThatCannotBeStoredFailsTheLine) {
    StartShape({.source = 12, .depth = 48, .channels = 4, .filmOption = 1, .rawLineBytes = 16, .lines = 1});
    Feed(Bytes(16, 0));
    Bytes out(12);
    EXPECT_FALSE(AssembleLine(*engine, out.data()));
}

TEST_F(AssembleLineTest, GreyFromColourDeliversTheGreenPlane) {
    StartShape({.depth = 24, .channels = 3, .xRes = 150, .rawLineBytes = 9, .rawLineExtra = 3, .lines = 1,
                .greyFromColour = 1});
    Feed({1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0});
    EXPECT_EQ(Request().LineBytes, 3u);
    Bytes out(3);
    ASSERT_TRUE(AssembleLine(*engine, out.data()));
    EXPECT_EQ(out, (Bytes{4, 5, 6}));
}

TEST_F(AssembleLineTest, ReplayReadsTheStoredInfraredBackMirrored) {
    {
        std::ofstream file(InfraredFilePath(), std::ios::binary | std::ios::trunc);
        Bytes samples = Words({0x1234, 0x5678, 0x9ABC});
        file.write(reinterpret_cast<const char*>(samples.data()), 6);
    }
    engine->config.Source = 8;
    Request().Accepted = true;
    Request().LineBytes = 3;
    ASSERT_EQ(OpenInfraredFile(*engine, 1), 1);
    Bytes out(3);
    EXPECT_EQ(ReadScan(*engine, out.data(), 3), status::Ok);
    EXPECT_EQ(out, (Bytes{0x9A, 0x56, 0x12}));
    EXPECT_EQ(ReadScan(*engine, out.data(), 3), status::ShadingPrepareFailed);  // nothing left
}

using ReadScanTest = PipelineTest;

TEST_F(ReadScanTest, RefusedBeforeAnyAcceptedParameters) {
    Bytes out(16);
    EXPECT_EQ(ReadScan(*engine, out.data(), 16), status::NoScanActive);
}

TEST_F(ReadScanTest, ByteCountMustBeWholeLines) {
    StartShape({.depth = 48, .channels = 3, .rawLineBytes = 12, .lines = 2});
    Feed(Bytes(12, 1));
    Feed(Bytes(12, 2));
    Bytes out(24);
    EXPECT_EQ(ReadScan(*engine, out.data(), 13), status::ByteCountNotWholeLines);
    EXPECT_EQ(engine->scan.Ring->Used(), 24u);  // nothing read
    EXPECT_EQ(ReadScan(*engine, out.data(), 0), status::Ok);
    EXPECT_EQ(ReadScan(*engine, out.data(), 24), status::Ok);
    EXPECT_EQ(out, (Bytes{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2}));
    EXPECT_EQ(Request().LinesLeft, 0u);
}

TEST_F(ReadScanTest, SecondLineFailsAfterTheFirstWasDelivered) {
    StartShape({.depth = 48, .channels = 3, .rawLineBytes = 12, .lines = 2});
    Feed(Bytes(12, 7));
    Bytes out(24, 0);
    // The reader has ended and the ring holds one line only: the second
    // line fails at once and the scan is ended.
    EXPECT_EQ(ReadScan(*engine, out.data(), 24), status::DeliverLineFailed);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 12), Bytes(12, 7));
    EXPECT_EQ(Request().LinesLeft, 2u);
    EXPECT_EQ(engine->scan.Ring, nullptr);
    EXPECT_EQ(engine->progress.ReaderThread, nullptr);
}

TEST_F(ReadScanTest, FailedReaderFailsTheLine) {
    StartShape({.depth = 48, .channels = 3, .rawLineBytes = 12, .lines = 1});
    engine->progress.ReaderThread->ExitCode = 0;
    Bytes out(12);
    EXPECT_EQ(ReadScan(*engine, out.data(), 12), status::DeliverLineFailed);
}

TEST_F(ReadScanTest, NoReaderFailsAtOnce) {
    StartShape({.depth = 48, .channels = 3, .rawLineBytes = 12, .lines = 1});
    engine->progress.ReaderThread.reset();
    EXPECT_FALSE(WaitForRawLine(*engine));
}

// A split scan with segments of 20 lines read one line per call: the 11th
// call keeps 10 lines for the blend and delivers the next one 9:1 blended.
TEST_F(ReadScanTest, SplitScanBlendsTheOverlap) {
    StartShape({.depth = 48, .channels = 3, .rawLineBytes = 6, .lines = 20});
    engine->progress.Split = 1;
    engine->progress.RawLinesLeft = 40;
    auto value = [](uint32_t raw) { return static_cast<uint16_t>(1000 + 100 * raw); };
    for (uint32_t raw = 1; raw <= 24; ++raw) Feed(Words({value(raw), value(raw), value(raw)}));
    Bytes out(6);
    for (uint32_t call = 1; call <= 10; ++call) {
        ASSERT_EQ(ReadScan(*engine, out.data(), 6), status::Ok);
        EXPECT_EQ(WordAt(out, 0), value(call));
    }
    ASSERT_EQ(ReadScan(*engine, out.data(), 6), status::Ok);
    EXPECT_EQ(engine->progress.ReadCalls, 21u);
    EXPECT_EQ(WordAt(out, 0), (value(11) * 9 + value(21)) / 10);
    ASSERT_EQ(ReadScan(*engine, out.data(), 6), status::Ok);
    EXPECT_EQ(WordAt(out, 2), (value(12) * 8 + value(22) * 2) / 10);
    EXPECT_EQ(Request().BlendCount, 8);
}

}  // namespace
}  // namespace zrt::test
