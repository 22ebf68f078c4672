// Injected faults of the virtual scanner surface as failed transfers or as
// faulty hardware.
#include <gtest/gtest.h>

#include "sim/sim_options.h"
#include "tests/sim/wire.h"

namespace zrt::sim::test {
namespace {

SimOptions Parsed(const std::string& path) {
    SimOptions o;
    std::string error;
    EXPECT_TRUE(ParseSimPath(path, o, error)) << error;
    return o;
}

// One register write per transfer: which of the first six fail.
TEST(SimFaults, NumberedTransfersFailOnceOrFromThenOn) {
    struct Case { const char* path; std::vector<bool> ok; };
    const Case cases[] = {
        {"sim:fail_at=3", {true, true, false, true, true, true}},
        {"sim:fail_from=4", {true, true, true, false, false, false}},
        {"sim:fail_at=2,fail_from=5", {true, false, true, true, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Wire wire(Parsed(c.path));
        for (size_t i = 0; i < c.ok.size(); ++i) EXPECT_EQ(wire.write(0x60, uint8_t(i)), c.ok[i]) << i;
        EXPECT_EQ(wire.model->transferCount(), c.ok.size());
    }
}

TEST(SimFaults, RegisterFaultsHitOnlyTheirRegister) {
    Wire wire(Parsed("sim:fail_reg_write=0x60,fail_reg_write=0x130,pin=0x46:0x01"));
    EXPECT_FALSE(wire.write(0x60, 1));
    EXPECT_TRUE(wire.write(0x61, 1));
    EXPECT_FALSE(wire.writeHigh(0x130, 0x11));
    EXPECT_TRUE(wire.writeHigh(0x138, 0x89));
    EXPECT_EQ(wire.read(0x60), 0) << "a refused write changes nothing";
    EXPECT_EQ(wire.read(0x46), 0x01);
    wire.model->unpinRegister(0x46);
    EXPECT_EQ(wire.read(0x46), 0x08);

    Wire busy(Parsed("sim:busy=1"));
    EXPECT_NE(busy.read(0x46) & 0x43, 0);
}

TEST(SimFaults, UnpluggedAfterSomeImageBytesEveryTransferFails) {
    Wire wire(Parsed("sim:unplug_after=20000"));
    Job j;
    j.hold = true;
    j.rows = 3;
    ASSERT_TRUE(wire.program(j) && wire.start() && wire.waitIdle());
    std::vector<uint8_t> data;
    EXPECT_FALSE(wire.readImage(j.rows * j.rowBytes(), data));
    EXPECT_EQ(data.size(), 20000u) << "the bytes before the cut arrive";
    uint8_t value = 0;
    EXPECT_FALSE(wire.read(0xD0, value));
    uint8_t d[18];
    EXPECT_FALSE(wire.transport->deviceDescriptor(d));
    wire.model->replug();
    EXPECT_TRUE(wire.read(0xD0, value));
}

TEST(SimFaults, DeadLampDarkensTheLeftOfTheLineAndAnOffLampAllOfIt) {
    struct Case { const char* path; bool leftLit, rightLit; };
    const Case cases[] = {{"sim", true, true}, {"sim:lamp=dead", false, true}, {"sim:lamp=off", false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Wire wire(Parsed(c.path));
        wire.model->setCarriageSteps(1052);
        Job j;
        j.hold = true;
        j.rows = 3;
        std::vector<uint8_t> data;
        ASSERT_TRUE(wire.capture(j, data));
        // 600 dpi samples: 100 lies at x 800, 4000 at x 32000.
        EXPECT_EQ(Sample(data, j, 1, 100) > 10000, c.leftLit);
        EXPECT_EQ(Sample(data, j, 1, 4000) > 10000, c.rightLit);
    }
}

}  // namespace
}  // namespace zrt::sim::test
