// Virtual time, scene files and the film strip of the virtual scanner.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/transport/transport.h"
#include "platform/clock.h"
#include "sim/scene.h"
#include "sim/scene_loader.h"
#include "tests/sim/wire.h"

namespace zrt::sim::test {
namespace {

TEST(SimTime, OpeningInstallsTheVirtualClockAndClosingRemovesIt) {
    std::unique_ptr<Transport> t = CreateTransport("sim");
    ASSERT_TRUE(t->open("sim"));
    std::shared_ptr<VirtualScanner> model = LastOpenedScanner();
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(platform::InstalledClock(), &model->clock());
    uint64_t before = model->nowUs();
    platform::SleepMs(60000);
    EXPECT_GE(model->nowUs() - before, 60'000'000u);
    EXPECT_EQ(platform::NowMs(), model->nowUs() / 1000);
    t->close();
    EXPECT_EQ(platform::InstalledClock(), nullptr);
}

// The engine reads image data on one thread while another sleeps; both
// advance the same model.
TEST(SimTime, TwoSleepingThreadsBothProgress) {
    Wire wire;
    Job j;
    j.hold = true;
    j.rows = 300;
    ASSERT_TRUE(wire.program(j) && wire.start());
    std::atomic<bool> done{false};
    std::vector<uint8_t> data;
    std::thread reader([&] {
        ASSERT_TRUE(wire.setUpAccess(2, 0, 16));
        while (data.size() < j.rows * j.rowBytes()) {
            size_t waiting = std::min<size_t>(size_t(wire.readTriple(0xA5)) * 2, 0xEFF0) / 16 * 16;
            if (waiting == 0) { platform::SleepMs(10); continue; }
            std::vector<uint8_t> block;
            ASSERT_TRUE(wire.writePair(0x72, uint32_t(waiting)));
            ASSERT_TRUE(wire.send({0x05, 0x70, uint8_t(waiting), uint8_t(waiting >> 8)}));
            ASSERT_TRUE(wire.receive(block, waiting));
            data.insert(data.end(), block.begin(), block.end());
        }
        done = true;
    });
    while (!done) platform::SleepMs(10);
    reader.join();
    EXPECT_EQ(data.size(), j.rows * j.rowBytes());
}

TEST(SimSceneFile, NeedsAnInstalledLoaderAndLandsAtTheOrigin) {
    SimOptions options;
    options.sceneFile = "page.tif";
    SetSceneFileLoader(nullptr);
    {
        auto model = std::make_shared<VirtualScanner>(options);
        EXPECT_FALSE(CreateSimTransport(model)->open("sim"));
    }
    SetSceneFileLoader([](const std::string& path, Image& out) {
        if (path != "page.tif") return false;
        out.width = 300;       // one inch of black at 300 dpi
        out.height = 300;
        out.channels = 1;
        out.samples.assign(300 * 300, 0);
        return true;
    });
    Wire wire(options);
    SetSceneFileLoader(nullptr);
    ASSERT_TRUE(wire.opened);
    wire.model->setCarriageSteps(kGlassOriginSteps + 600);   // half an inch down
    Job j;
    j.hold = true;
    j.rows = 3;
    std::vector<uint8_t> data;
    ASSERT_TRUE(wire.capture(j, data));
    EXPECT_LT(Sample(data, j, 1, 300), 6000u) << "inside the black image";
    EXPECT_GT(Sample(data, j, 1, 900), 30000u) << "past its right edge: the lid";
}

TEST(SimFilmStrip, SixFramesAtTheirPitchWithDustInTheInfrared) {
    Wire wire;
    const FilmStripGeometry& strip = wire.model->filmStrip();
    ASSERT_TRUE(strip.present);
    ASSERT_EQ(strip.frames.size(), 6u);
    for (size_t k = 0; k < 6; ++k) {
        const Rect4800& f = strip.frames[k];
        EXPECT_NEAR(f.right - f.left, 24 * kMm, 1e-6);
        EXPECT_NEAR(f.bottom - f.top, 36 * kMm, 1e-6);
        if (k > 0) {
            EXPECT_NEAR(f.top - strip.frames[k - 1].top, 38 * kMm, 1e-6);
        }
        EXPECT_GE(f.left, strip.filmAreaLeft);
        EXPECT_LE(f.right, strip.filmAreaLeft + kFilmAreaWidth);
    }
    ASSERT_FALSE(strip.dust.empty());

    // An infrared row through the first speck, the lamp band centred on it.
    const DustSpeck& speck = strip.dust[0];
    wire.model->setCarriageSteps(kGlassOriginSteps + speck.y / 4);
    int lampSteps = int((speck.y - kLampBandTopAtHome - kLampBandHeight / 2) * kFilmStepsPerInch / 4800);
    wire.model->setFilmMotorSteps(lampSteps);
    uint32_t q = uint32_t((speck.x - strip.filmAreaLeft) / 8) + 388;
    Job j;
    j.hold = true;
    j.modePulses = 1 + 8;
    j.filmLamp = true;
    j.channelMask = 0x08;
    j.start = q - 32;
    j.end = q + 31;
    j.exposure[3] = 2500;
    j.rows = 1;
    std::vector<uint8_t> data;
    ASSERT_TRUE(wire.capture(j, data));
    EXPECT_LT(Sample(data, j, 0, 32), Sample(data, j, 0, 0) / 3);
}

}  // namespace
}  // namespace zrt::sim::test
