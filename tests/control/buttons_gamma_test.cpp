#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/control/find_scanner.h"
#include "engine/control/push_buttons.h"
#include "tests/control/control_fixture.h"
#include "zrtl5617.h"

namespace zrt::test {
namespace {

TEST(ButtonCode, DecodesTheFourInputLinesByTheFirstMatchingRow) {
    struct Case {
        uint8_t reg91;
        uint8_t button;
    };
    const Case cases[] = {
        {0x00, 0}, {0x01, 1}, {0x05, 1}, {0x03, 2}, {0x0F, 2}, {0x02, 3}, {0x0A, 3}, {0x06, 4},
        {0x04, 7}, {0x0C, 6}, {0x08, 5}, {0x10, 0}, {0xF0, 0}, {0x13, 2}, {0x18, 5},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeButtonCode(c.reg91), c.button) << std::hex << int(c.reg91);
}

using PushButtonTest = ControlTest;

TEST_F(PushButtonTest, ReportsThePressedButtonAsOneBit) {
    OpenProcessEngine();
    struct Case {
        uint8_t reg91;
        uint8_t report[2];
    };
    const Case cases[] = {
        {0x03, {0x80, 0x02}}, {0x08, {0x80, 0x10}}, {0x0C, {0x80, 0x20}},
        {0x04, {0x80, 0x40}}, {0x10, {0x00, 0x00}}, {0x01, {0x80, 0x01}},
    };
    for (const Case& c : cases) {
        device.registers[0x91] = c.reg91;
        uint8_t report[2] = {0x55, 0x55};
        EXPECT_EQ(::ReadPushButton(0, report), 1);
        EXPECT_EQ(report[0], c.report[0]) << std::hex << int(c.reg91);
        EXPECT_EQ(report[1], c.report[1]) << std::hex << int(c.reg91);
    }
    EXPECT_EQ(Process().LastStatus, status::Ok);
}

TEST_F(PushButtonTest, AFailedReadLeavesTheReportAndShowsOnlyInTheStatus) {
    OpenProcessEngine();
    device.failRegisterReads(0x91);
    uint8_t report[2] = {0x55, 0x66};
    EXPECT_EQ(::ReadPushButton(0, report), 1);
    EXPECT_EQ(report[0], 0x55);
    EXPECT_EQ(report[1], 0x66);
    EXPECT_EQ(Process().LastStatus, status::PushButtonReadFailed);
}

TEST(InitialButton, DescribesSevenButtons) {
    ButtonDescription description{};
    EXPECT_EQ(::InitialButton(0, &description), 1);
    const uint8_t expected[8] = {3, 0, 0, 0, 7, 0, 7, 0};
    EXPECT_EQ(std::memcmp(&description, expected, 8), 0);
    EXPECT_EQ(::InitialButton(0, nullptr), 1);
}

// --- SetGamma ----------------------------------------------------------

class SetGammaTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        ASSERT_TRUE(Engine().gamma.Allocate());
        for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint16_t>(65535 - i);
    }
    bool slotIsIdentity(int slot) const {
        const auto& s = Engine().gamma.slot[slot];
        for (size_t i = 0; i < s.size(); ++i)
            if (s[i] != i) return false;
        return s.size() == 65536;
    }
    bool slotIsTable(int slot) const { return Engine().gamma.slot[slot] == table; }

    std::vector<uint16_t> table = std::vector<uint16_t>(65536);
};

TEST_F(SetGammaTest, TypesZeroToThreeLoadTheirSlots) {
    struct Case {
        int32_t type;
        bool loaded[3];
    };
    const Case cases[] = {
        {0, {true, true, true}}, {1, {true, false, false}}, {2, {false, true, false}},
        {3, {false, false, true}}, {0x102, {false, true, false}},  // only the low byte counts
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Engine().gamma.Allocate());
        Process().LastStatus = 0x9B0C;
        EXPECT_EQ(::SetGamma(0, table.data(), c.type, 0), 1) << c.type;
        EXPECT_EQ(Process().LastStatus, status::Ok);
        for (int slot = 0; slot < 3; ++slot) {
            EXPECT_EQ(slotIsTable(slot), c.loaded[slot]) << c.type << " slot " << slot;
            EXPECT_EQ(slotIsIdentity(slot), !c.loaded[slot]) << c.type << " slot " << slot;
        }
    }
}

TEST_F(SetGammaTest, OtherTypesChangeNothingAndAnswerFromTheLastStatus) {
    Process().LastStatus = 0;
    EXPECT_EQ(::SetGamma(0, table.data(), 7, 0), 1);
    Process().LastStatus = 0x9B0C;
    EXPECT_EQ(::SetGamma(0, table.data(), 4, 0), 0);
    EXPECT_EQ(Process().LastStatus, 0x9B0C);
    for (int slot = 0; slot < 3; ++slot) EXPECT_TRUE(slotIsIdentity(slot));
}

TEST_F(SetGammaTest, ANullTableChangesNothingAndFails) {
    Process().LastStatus = 0;
    for (int32_t type : {0, 1, 2, 3}) {
        EXPECT_EQ(::SetGamma(0, nullptr, type, 0), 0);
        EXPECT_EQ(Process().LastStatus, status::Ok);
    }
    for (int slot = 0; slot < 3; ++slot) EXPECT_TRUE(slotIsIdentity(slot));
}

TEST_F(SetGammaTest, WorksBeforeTheFirstSetUpAndIsResetByIt) {
    // A fresh engine already has its slots: nothing to crash on.
    ScannerEngine fresh;
    EXPECT_TRUE(fresh.gamma.Allocated());

    EXPECT_EQ(::SetGamma(0, table.data(), 0, 0), 1);
    EXPECT_TRUE(slotIsTable(2));
    EXPECT_EQ(FindScanner(Engine(), "scripted", device.transport()), 1);
    for (int slot = 0; slot < 3; ++slot) EXPECT_TRUE(slotIsIdentity(slot));
}

TEST_F(SetGammaTest, SlotsLostToAFailedAllocationRefuseTheTable) {
    Engine().gamma.Release();
    Process().LastStatus = 0;
    EXPECT_EQ(::SetGamma(0, table.data(), 1, 0), 0);
    EXPECT_FALSE(Engine().gamma.Allocated());
    ASSERT_TRUE(Engine().gamma.Allocate());
}

}  // namespace
}  // namespace zrt::test
