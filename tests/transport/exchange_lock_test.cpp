#include <gtest/gtest.h>

#include <thread>

#include "tests/transport/controller_fixture.h"

namespace zrt::test {
namespace {

constexpr int kRounds = 2000;

TEST_F(ControllerTest, RegisterReadsOnTwoThreadsAlwaysGetTheirOwnAnswer) {
    device.registers[0x46] = 0x11;
    device.registers[0xA5] = 0xEE;
    // Give the other thread every chance to slip in between a request and
    // its answer.
    device.failWhen = [](size_t, bool isWrite, const std::vector<uint8_t>&) {
        if (!isWrite) std::this_thread::yield();
        return false;
    };
    auto reader = [this](uint8_t reg, uint8_t expected, int& wrong) {
        for (int i = 0; i < kRounds; ++i) {
            uint8_t value = 0;
            if (!controller.ReadControllerRegister(reg, value) || value != expected) ++wrong;
        }
    };
    int wrongA = 0, wrongB = 0;
    std::thread a(reader, 0x46, 0x11, std::ref(wrongA));
    std::thread b(reader, 0xA5, 0xEE, std::ref(wrongB));
    a.join();
    b.join();
    EXPECT_EQ(wrongA, 0);
    EXPECT_EQ(wrongB, 0);

    // No attempt had to be repeated: one request and one answer per read.
    EXPECT_EQ(device.registerReads.size(), 2u * kRounds);
    EXPECT_EQ(device.exchanges, 4u * kRounds);
}

TEST_F(ControllerTest, FieldWritesOnTwoThreadsNeverLoseTheOtherThreadsBits) {
    controller.RegisterShadow[0x90] = 0x00;
    device.failWhen = [](size_t, bool, const std::vector<uint8_t>&) {
        std::this_thread::yield();
        return false;
    };
    auto toggler = [this](unsigned firstLine) {
        for (int i = 0; i < kRounds; ++i) {
            const unsigned line = firstLine + static_cast<unsigned>(i % 4);
            controller.SetControlLine(line, 0);
            controller.SetControlLine(line, 1);
        }
    };
    std::thread low(toggler, 5);    // register 0x90 bits 0-3
    std::thread high(toggler, 9);   // register 0x90 bits 4-7
    low.join();
    high.join();
    EXPECT_EQ(device.registers[0x90], 0xFF);
    EXPECT_EQ(controller.RegisterShadow[0x90], 0xFF);
}

}  // namespace
}  // namespace zrt::test
