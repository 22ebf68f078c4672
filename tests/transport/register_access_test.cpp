#include <gtest/gtest.h>

#include "tests/transport/controller_fixture.h"

namespace zrt::test {
namespace {

using Frame = std::vector<uint8_t>;

TEST_F(ControllerTest, RegisterFramesCarryCommandRegisterLengthAndLowByte) {
    device.registers[0x46] = 0x5C;
    uint8_t value = 0;
    ASSERT_TRUE(controller.ReadControllerRegister(0x146, value));
    EXPECT_EQ(value, 0x5C);
    ASSERT_TRUE(controller.WriteControllerRegister(0x90, 0x1AB));
    ASSERT_TRUE(controller.WriteHighRegister(0x164, 0x20));

    const std::vector<Frame> expected = {
        {0x01, 0x46, 0x01, 0x00},
        {0x00, 0x90, 0x01, 0x00, 0xAB},
        {0x02, 0x64, 0x01, 0x00, 0x20},
    };
    EXPECT_EQ(device.writes, expected);
    EXPECT_EQ(controller.RegisterShadow[0x90], 0xAB);
    // High registers have no shadow, and the read left the shadow alone.
    EXPECT_EQ(controller.RegisterShadow[0x64], 0x00);
    EXPECT_EQ(controller.RegisterShadow[0x46], 0x00);
}

TEST_F(ControllerTest, RefusedWriteFailsAfterFiveAttemptsAndFiftyMsKeepingTheShadow) {
    controller.RegisterShadow[0x80] = 0x33;
    device.failRegisterWrites(0x80);
    EXPECT_FALSE(controller.WriteControllerRegister(0x80, 0x02));
    EXPECT_EQ(device.exchanges, 5u);
    EXPECT_EQ(clock.slept, 50u);
    EXPECT_EQ(controller.RegisterShadow[0x80], 0x33);

    device.failRegisterWrites(0x130);
    device.exchanges = 0;
    EXPECT_FALSE(controller.WriteHighRegister(0x130, 0x11));
    EXPECT_EQ(device.exchanges, 5u);
}

TEST_F(ControllerTest, FailedReadLeavesOutputUnchangedAndCostsFiftyMs) {
    device.failRegisterReads(0x46);
    uint8_t value = 0x77;
    EXPECT_FALSE(controller.ReadControllerRegister(0x46, value));
    EXPECT_EQ(value, 0x77);
    EXPECT_EQ(clock.slept, 50u);
}

TEST_F(ControllerTest, RetriedReadSleepsOnlyAfterTheFailedAttempts) {
    device.registers[0x46] = 0x08;
    device.failWhen = [](size_t index, bool, const std::vector<uint8_t>&) { return index < 2; };
    uint8_t value = 0;
    ASSERT_TRUE(controller.ReadControllerRegister(0x46, value));
    EXPECT_EQ(value, 0x08);
    EXPECT_EQ(clock.slept, 20u);
}

TEST_F(ControllerTest, EmptyRegisterAnswerIsAFailedAttemptNotAValue) {
    device.registers[0x46] = 0x08;
    device.emptyRegisterAnswers = 1;
    uint8_t value = 0x77;
    ASSERT_TRUE(controller.ReadControllerRegister(0x46, value));
    EXPECT_EQ(value, 0x08);
    EXPECT_EQ(clock.slept, 10u);

    device.emptyRegisterAnswers = 5;
    value = 0x77;
    EXPECT_FALSE(controller.ReadControllerRegister(0x46, value));
    EXPECT_EQ(value, 0x77);
}

struct FieldCase {
    uint8_t shadow;
    uint32_t reg;
    unsigned hi, lo;
    uint32_t value;
    uint8_t written;
};

TEST_F(ControllerTest, SetRegisterFieldMergesIntoTheShadowAndWritesTheWholeByte) {
    const FieldCase cases[] = {
        {0xFF, 0x98, 1, 0, 2, 0xFE},
        {0xFF, 0x60, 4, 4, 8, 0xEF},      // only the lowest bit of 8 fits
        {0x00, 0x80, 5, 4, 1, 0x10},
        {0xC7, 0x10, 5, 3, 7, 0xFF},
        {0x5A, 0x01, 7, 0, 0x1A5, 0xA5},  // whole byte, high bits dropped
        {0x81, 0x11, 0, 0, 0, 0x80},
    };
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "reg 0x" << std::hex << c.reg << " bits " << std::dec << c.hi << ".." << c.lo);
        device.clearLog();
        controller.RegisterShadow[c.reg] = c.shadow;
        device.registers[c.reg] = 0x3C;  // the device's own value must not matter
        ASSERT_TRUE(controller.SetRegisterField(c.reg, c.hi, c.lo, c.value));
        EXPECT_EQ(device.writesTo(c.reg), std::vector<uint8_t>{c.written});
        EXPECT_EQ(controller.RegisterShadow[c.reg], c.written);
        EXPECT_TRUE(device.registerReads.empty());
    }
}

TEST_F(ControllerTest, FailedFieldWriteKeepsTheIntendedValueInTheShadow) {
    controller.RegisterShadow[0x98] = 0xFF;
    device.failRegisterWrites(0x98);
    EXPECT_FALSE(controller.SetRegisterField(0x98, 1, 0, 2));
    EXPECT_EQ(controller.RegisterShadow[0x98], 0xFE);
}

TEST_F(ControllerTest, FieldOutsideTheByteIsRefusedWithoutAWrite) {
    EXPECT_FALSE(controller.SetRegisterField(0x10, 8, 0, 1));
    EXPECT_FALSE(controller.SetRegisterField(0x10, 2, 3, 1));
    EXPECT_TRUE(device.writes.empty());
}

TEST_F(ControllerTest, MultiByteRegistersAreBigEndianAndWrapAfterFF) {
    ASSERT_TRUE(controller.WriteRegisterPair(0x87, 0x1FF));
    ASSERT_TRUE(controller.WriteRegisterTriple(0xFE, 0x123456));
    const std::vector<RegisterWriteRecord> expected = {
        {0x87, 0x01}, {0x88, 0xFF}, {0xFE, 0x12}, {0xFF, 0x34}, {0x00, 0x56}};
    EXPECT_EQ(registerWrites(), expected);

    device.registers[0xA5] = 0x01;
    device.registers[0xA6] = 0x02;
    device.registers[0xA7] = 0x03;
    uint32_t triple = 0;
    ASSERT_TRUE(controller.ReadRegisterTriple(0xA5, triple));
    EXPECT_EQ(triple, 0x010203u);

    device.registers[0xFF] = 0xAB;
    device.registers[0x00] = 0xCD;
    uint16_t pair = 0;
    ASSERT_TRUE(controller.ReadRegisterPair(0xFF, pair));
    EXPECT_EQ(pair, 0xABCD);
}

TEST_F(ControllerTest, MultiByteOperationsStopAtTheFirstFailure) {
    device.failRegisterReads(0xC9);
    uint16_t pair = 0x1234;
    EXPECT_FALSE(controller.ReadRegisterPair(0xC8, pair));
    EXPECT_EQ(pair, 0x1234);
    uint32_t triple = 0x42;
    EXPECT_FALSE(controller.ReadRegisterTriple(0xC7, triple));
    EXPECT_EQ(triple, 0x42u);

    device.failRegisterWrites(0x88);
    EXPECT_FALSE(controller.WriteRegisterTriple(0x87, 0x010203));
    // The first byte stays written, nothing follows the failed one.
    const std::vector<RegisterWriteRecord> expected = {{0x87, 0x01}};
    EXPECT_EQ(registerWrites(), expected);
}

TEST_F(ControllerTest, ReadAllRegistersFillsTheShadowExceptFFAndSurvivesFailures) {
    for (unsigned r = 0; r < 256; ++r) device.registers[r] = static_cast<uint8_t>(r ^ 0x5A);
    controller.RegisterShadow[0x46] = 0x99;
    controller.RegisterShadow[0xFF] = 0x11;
    device.failRegisterReads(0x46);
    EXPECT_TRUE(controller.ReadAllRegisters());

    std::vector<uint8_t> expectedReads;
    for (unsigned r = 0; r <= 0xFE; ++r)
        if (r != 0x46) expectedReads.push_back(static_cast<uint8_t>(r));
    EXPECT_EQ(device.registerReads, expectedReads);
    EXPECT_EQ(controller.RegisterShadow[0x00], 0x5A);
    EXPECT_EQ(controller.RegisterShadow[0xFE], 0xFE ^ 0x5A);
    EXPECT_EQ(controller.RegisterShadow[0x46], 0x99);
    EXPECT_EQ(controller.RegisterShadow[0xFF], 0x11);
}

struct LineCase {
    unsigned line;
    uint8_t reg;
    uint8_t bit;
};

TEST_F(ControllerTest, ControlLinesMapToTheirRegisterBit) {
    const LineCase cases[] = {{0, 0x91, 0}, {4, 0x91, 4}, {5, 0x90, 0}, {6, 0x90, 1}, {8, 0x90, 3},
                              {11, 0x90, 6}, {12, 0x90, 7}, {13, 0x9B, 0}, {15, 0x9B, 2}};
    for (const LineCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "line " << c.line);
        controller.RegisterShadow[c.reg] = 0x00;
        device.clearLog();
        ASSERT_TRUE(controller.SetControlLine(c.line, 1));
        EXPECT_EQ(device.writesTo(c.reg), std::vector<uint8_t>{static_cast<uint8_t>(1u << c.bit)});

        bool state = false;
        device.registers[c.reg] = static_cast<uint8_t>(1u << c.bit);
        ASSERT_TRUE(controller.ReadControlLine(c.line, state));
        EXPECT_TRUE(state);
        device.registers[c.reg] = static_cast<uint8_t>(~(1u << c.bit));
        ASSERT_TRUE(controller.ReadControlLine(c.line, state));
        EXPECT_FALSE(state);
    }
    bool state = false;
    EXPECT_FALSE(controller.SetControlLine(16, 1));
    EXPECT_FALSE(controller.ReadControlLine(16, state));
}

struct StableCase {
    const char* name;
    std::vector<uint8_t> answers;  // successive values of the register
    unsigned failFromRead;         // 0: no failure
    Controller::StableReadResult result;
    uint8_t value;
    size_t reads;
};

TEST_F(ControllerTest, StableReadAgreesOnTheBitsOfInterestOrNamesItsFailure) {
    using R = Controller::StableReadResult;
    const StableCase cases[] = {
        {"agree at once", {0x08, 0x08}, 0, R::Ok, 0x08, 2},
        {"other bits ignored", {0x08, 0xF8}, 0, R::Ok, 0xF8, 2},
        {"agree after a bounce", {0x01, 0x09, 0x19}, 0, R::Ok, 0x19, 3},
        {"agree on the sixth read", {0, 8, 0, 8, 0, 0}, 0, R::Ok, 0x00, 6},
        {"never agree", {0, 8, 0, 8, 0, 8}, 0, R::NoAgreement, 0x77, 6},
        {"first read fails", {0x08}, 1, R::FirstReadFailed, 0x77, 0},
        {"later read fails", {0x08}, 2, R::LaterReadFailed, 0x77, 1},
    };
    for (const StableCase& c : cases) {
        SCOPED_TRACE(c.name);
        device.clearLog();
        device.failWhen = nullptr;
        if (c.failFromRead) failReadsOf(0x46, c.failFromRead);
        const std::vector<uint8_t>& answers = c.answers;
        size_t served = 0;
        device.onRegisterRead = [&](uint8_t, unsigned) -> std::optional<uint8_t> {
            return answers[std::min(served++, answers.size() - 1)];
        };
        uint8_t value = 0x77;
        EXPECT_EQ(controller.ReadStableRegister(0x46, 0x08, value), c.result);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(device.registerReads.size(), c.reads);
    }
}

}  // namespace
}  // namespace zrt::test
