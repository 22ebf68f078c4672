// A controller opened on the scripted device, with virtual time so that
// retries cost nothing and their sleeps can be counted.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "engine/transport/controller.h"
#include "platform/clock.h"
#include "tests/support/scripted_device.h"
#include "tests/support/virtual_clock.h"

namespace zrt::test {

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::InstallClock(&clock);
        ASSERT_TRUE(controller.OpenDevice("scripted", device.transport()));
        device.clearLog();
        device.exchanges = 0;
        clock.slept = 0;
    }
    void TearDown() override { platform::InstallClock(nullptr); }

    // The register numbers and values written, in order (high registers
    // as 0x100-0x1FF).
    std::vector<RegisterWriteRecord> registerWrites() const { return device.registerWrites; }

    // Frames of one command byte, in the order written.
    std::vector<std::vector<uint8_t>> framesOf(uint8_t command) const {
        std::vector<std::vector<uint8_t>> frames;
        for (const auto& frame : device.writes)
            if (!frame.empty() && frame[0] == command) frames.push_back(frame);
        return frames;
    }

    // Makes every register read request of `reg` fail from the `fromRead`-th
    // attempt on (counted from 1).
    void failReadsOf(uint8_t reg, unsigned fromRead) {
        auto attempts = std::make_shared<unsigned>(0);
        device.failWhen = [=](size_t, bool isWrite, const std::vector<uint8_t>& frame) {
            if (!isWrite || frame.size() != 4 || frame[0] != 0x01 || frame[1] != reg) return false;
            return ++*attempts >= fromRead;
        };
    }

    VirtualClock clock;
    ScriptedDevice device;
    Controller controller;
};

inline bool operator==(const RegisterWriteRecord& a, const RegisterWriteRecord& b) {
    return a.reg == b.reg && a.value == b.value;
}

inline void PrintTo(const RegisterWriteRecord& r, std::ostream* os) {
    *os << std::hex << "{0x" << r.reg << ", 0x" << unsigned(r.value) << "}";
}

}  // namespace zrt::test
