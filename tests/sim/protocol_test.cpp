// The virtual scanner's wire protocol: identity, frames, registers, memory.
#include <gtest/gtest.h>

#include "engine/transport/transport.h"
#include "sim/sim_options.h"
#include "tests/sim/wire.h"

namespace zrt::sim::test {
namespace {

TEST(SimIdentity, DescriptorAndBusSpeedFollowTheOptions) {
    struct Case { const char* path; uint16_t vid, pid; uint8_t d0; };
    const Case cases[] = {
        {"sim", 0x5A17, 0x3C42, 0x01},
        {"sim:usb=1", 0x5A17, 0x3C42, 0x00},
        {"sim:pid=0x1234", 0x5A17, 0x1234, 0x01},
        {"sim:vid=0x0001,usb=2", 0x0001, 0x3C42, 0x01},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::unique_ptr<Transport> t = CreateTransport(c.path);
        ASSERT_TRUE(t->open(c.path));
        uint8_t d[18] = {};
        ASSERT_TRUE(t->deviceDescriptor(d));
        EXPECT_EQ(d[0], 18);
        EXPECT_EQ(d[1], 1);
        EXPECT_EQ(d[8] | (d[9] << 8), c.vid);
        EXPECT_EQ(d[10] | (d[11] << 8), c.pid);
        uint8_t frame[4] = {0x01, 0xD0, 0x01, 0x00}, value = 0xEE;
        size_t n = 0;
        ASSERT_TRUE(t->bulkWrite(frame, 4, n));
        ASSERT_TRUE(t->bulkRead(&value, 1, n));
        EXPECT_EQ(value, c.d0);
        t->close();
    }
}

TEST(SimIdentity, BadOptionsFailTheOpen) {
    for (const char* path : {"sim:usb=3", "sim:pid=0x10000", "sim:nonsense=1", "sim:film=glass", "sim:pin=0x46",
                             "sim:fail_at=0", "sim:seed=", "sim:,", "simulator"}) {
        SCOPED_TRACE(path);
        std::unique_ptr<Transport> t = CreateTransport(path);
        EXPECT_FALSE(t->open(path));
        uint8_t d[18];
        EXPECT_FALSE(t->deviceDescriptor(d));
    }
}

TEST(SimIdentity, OptionsParseIntoTheirFields) {
    SimOptions o;
    std::string error;
    ASSERT_TRUE(ParseSimPath("sim:seed=7,spread=5,film=pos,fau=2,fail_reg_write=0x60,pin=0x46:0x01,"
                             "pin=0x91:0x02,unplug_after=4096,lamp=dead,sensor=leak,guide=missing,"
                             "film_motor=stuck,busy=1,fail_from=9",
                             o, error))
        << error;
    EXPECT_EQ(o.seed, 7u);
    EXPECT_DOUBLE_EQ(o.spreadPercent, 5.0);
    EXPECT_EQ(o.film, FilmKind::Positive);
    EXPECT_EQ(o.fauPosition, 2);
    EXPECT_EQ(o.faults.failRegisterWrite.count(0x60), 1u);
    EXPECT_EQ(o.faults.pins.at(0x46), 0x01);
    EXPECT_EQ(o.faults.pins.at(0x91), 0x02);
    EXPECT_TRUE(o.faults.unplugArmed);
    EXPECT_EQ(o.faults.unplugAfterBytes, 4096u);
    EXPECT_TRUE(o.faults.lampDead && o.faults.sensorLeak && o.faults.guideMissing && o.faults.filmMotorStuck);
    EXPECT_TRUE(o.faults.busy);
    EXPECT_EQ(o.faults.failFrom, 9u);
}

TEST(SimIdentity, ADeviceInUseRefusesASecondOpen) {
    Wire wire;
    ASSERT_TRUE(wire.opened);
    std::unique_ptr<Transport> second = CreateSimTransport(wire.model);
    EXPECT_FALSE(second->open("sim"));
    EXPECT_EQ(LastOpenedScanner(), wire.model);
}

TEST(SimFrames, MalformedFramesFailAndChangeNothing) {
    Wire wire;
    ASSERT_TRUE(wire.opened);
    ASSERT_TRUE(wire.write(0x60, 0x5A));
    const std::vector<std::vector<uint8_t>> bad = {
        {},
        {0x00, 0x60, 0x01},                     // short header
        {0x00, 0x60, 0x01, 0x00},               // write without its value
        {0x00, 0x60, 0x02, 0x00, 0x11},         // length other than 1
        {0x00, 0x60, 0x01, 0x00, 0x11, 0x22},   // trailing byte
        {0x01, 0x60, 0x01, 0x00, 0x00},         // read with a value
        {0x03, 0x60, 0x01, 0x00, 0x11},         // unknown command
        {0x04, 0x71, 0x10, 0x00},               // data write not on the data port
        {0x04, 0x70, 0x10, 0x00},               // data write without memory set-up or data
        {0x05, 0x70, 0x14, 0x00},               // data read of 20 bytes
        {0x05, 0x70, 0x10, 0x00, 0x00},         // data read with a trailing byte
    };
    for (const auto& frame : bad) {
        SCOPED_TRACE(frame.size());
        EXPECT_FALSE(wire.send(frame));
    }
    std::vector<uint8_t> nothing;
    EXPECT_FALSE(wire.receive(nothing, 1)) << "no request is waiting for an answer";
    EXPECT_EQ(wire.read(0x60), 0x5A);
}

TEST(SimFrames, DataWritesMustMatchTheirSetUp) {
    Wire wire;
    ASSERT_TRUE(wire.setUpAccess(0, 0x1000, 32));
    std::vector<uint8_t> frame = {0x04, 0x70, 20, 0};
    frame.resize(4 + 20, 0xAB);
    EXPECT_FALSE(wire.send(frame)) << "20 data bytes must come padded to 32";
    frame.resize(4 + 32, 0);
    EXPECT_TRUE(wire.send(frame));
    EXPECT_EQ(wire.model->tableMemoryWord(0x1000), 0xABAB);
    EXPECT_EQ(wire.model->tableMemoryWord(0x1009), 0xABAB);
    EXPECT_EQ(wire.model->tableMemoryWord(0x100A), 0x0000);
    EXPECT_FALSE(wire.send(frame)) << "the prepared length is used up";

    ASSERT_TRUE(wire.setUpAccess(0, 0x0FFFF8, 32));
    EXPECT_FALSE(wire.send(frame)) << "a block past the end of memory";
    ASSERT_TRUE(wire.setUpAccess(2, 0, 16));
    EXPECT_FALSE(wire.send(frame)) << "an image-read set-up takes no data";
}

TEST(SimMemory, TablesLandAtTheirWordAddress) {
    Wire wire;
    std::vector<uint16_t> words(0xEFF0 + 40);
    for (size_t i = 0; i < words.size(); ++i) words[i] = uint16_t(i * 7 + 1);
    ASSERT_TRUE(wire.writeWords(0x30000, words));
    for (size_t i : {size_t(0), size_t(0x77F7), size_t(0x77F8), words.size() - 1})
        EXPECT_EQ(wire.model->tableMemoryWord(uint32_t(0x30000 + i)), words[i]) << i;
}

TEST(SimRegisters, PlainRegistersReadBackAndInputsAreComputed) {
    Wire wire;
    for (uint8_t reg : {0x01, 0x10, 0x60, 0x80, 0xB0})
        ASSERT_TRUE(wire.write(reg, uint8_t(reg ^ 0x5A)));
    for (uint8_t reg : {0x01, 0x10, 0x60, 0x80, 0xB0}) EXPECT_EQ(wire.read(reg), uint8_t(reg ^ 0x5A));
    ASSERT_TRUE(wire.writeHigh(0x164, 0x20));
    EXPECT_EQ(wire.model->writtenHighRegister(0x64), 0x20);

    EXPECT_EQ(wire.read(0x46), 0x08) << "idle, carriage at home";
    EXPECT_EQ(wire.readTriple(0x4A), 0u);
    EXPECT_EQ(wire.readTriple(0xA5), 0u);
    EXPECT_EQ(wire.read(0x90) & 0x08, 0) << "film adapter connected by default";
    EXPECT_EQ(wire.read(0xC7) & 0x01, 1) << "film motor on its home sensor";
    ASSERT_TRUE(wire.write(0x87, 0x00) && wire.write(0x88, 0x70));
    EXPECT_EQ(wire.read(0x8B), 0x01) << "the indirect port is busy right after a write";
    wire.model->advanceMs(1);
    EXPECT_EQ(wire.read(0x8B), 0x00);

    SimOptions noAdapter;
    noAdapter.film = FilmKind::None;
    Wire bare(noAdapter);
    EXPECT_EQ(bare.read(0x90) & 0x08, 0x08);
    EXPECT_EQ(bare.read(0xC7) & 0x01, 0);
}

TEST(SimRegisters, ButtonsShowInRegister0x91) {
    Wire wire;
    ASSERT_TRUE(wire.write(0x91, 0x1F));
    EXPECT_EQ(wire.read(0x91), 0x00) << "inputs, not the written bits";
    const uint8_t expected[8] = {0x00, 0x01, 0x03, 0x02, 0x06, 0x08, 0x0C, 0x04};
    for (int button = 1; button <= 7; ++button) {
        wire.model->pressButton(button);
        EXPECT_EQ(wire.read(0x91), expected[button]) << button;
    }
    wire.model->releaseButtons();
    EXPECT_EQ(wire.read(0x91), 0x00);
}

TEST(SimRegisters, ResetClearsTheRegisterFile) {
    Wire wire;
    ASSERT_TRUE(wire.write(0x60, 0x01) && wire.write(0x02, 0x01) && wire.write(0x02, 0x00));
    EXPECT_EQ(wire.read(0x60), 0x00);
    EXPECT_EQ(wire.read(0xD0), 0x01) << "identity survives a reset";
}

}  // namespace
}  // namespace zrt::sim::test
