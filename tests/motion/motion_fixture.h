// An engine opened on the scripted device, in virtual time, with a small
// carriage model: a started job moves the carriage by the travel register
// (forward, backward, or to the home sensor), and register 0x46 bit 3
// reports home while the carriage is within a few steps of it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/api/scanner_engine.h"
#include "platform/clock.h"
#include "tests/support/scripted_device.h"
#include "tests/support/virtual_clock.h"

namespace zrt::test {

struct CarriageModel {
    int32_t position = 500;     // steps from home
    bool sensorWorks = true;    // false: the home sensor never reports
    bool sensorStuck = false;   // true: the home sensor always reports
    unsigned starts = 0;
    std::vector<int32_t> moves;  // travel of every started job
    bool atHome() const { return sensorStuck || (sensorWorks && position < 10); }
};

class MotionTest : public ::testing::Test {
protected:
    void SetUp() override {
        static const std::string name = "zrt-test-motion-" + std::to_string(getpid());
        setenv("ZRT_SHARED_NAME", name.c_str(), 1);
        platform::InstallClock(&clock);
        ASSERT_TRUE(engine.device.OpenDevice("scripted", device.transport()));
        device.onRegisterWrite = [this](uint8_t reg, uint8_t value) {
            if (reg == 0x03 && value == 1) startJob();
        };
        device.onRegisterRead = [this](uint8_t reg, unsigned) -> std::optional<uint8_t> {
            if (reg != 0x46) return std::nullopt;
            return static_cast<uint8_t>((device.registers[0x46] & ~0x08) | (carriage.atHome() ? 0x08 : 0));
        };
        device.clearLog();
        clock.slept = 0;
    }
    void TearDown() override { platform::InstallClock(nullptr); }

    void startJob() {
        ++carriage.starts;
        const uint8_t* r = device.registers.data();
        const int32_t steps = (r[0x1D] << 16) | (r[0x1E] << 8) | r[0x1F];
        const uint8_t ctl11 = r[0x11];
        carriage.moves.push_back(steps);
        if (ctl11 & 0x20) carriage.position = 0;                  // runs to the home sensor
        else if (ctl11 & 0x04) carriage.position = std::max(0, carriage.position - steps);
        else carriage.position += steps;
    }

    // Values of the 24-bit register group starting at `reg` written last.
    uint32_t lastTriple(uint32_t reg) const {
        return (last(reg) << 16) | (last(reg + 1) << 8) | last(reg + 2);
    }
    uint32_t last(uint32_t reg) const {
        const auto values = device.writesTo(reg);
        return values.empty() ? 0xFFFFFFFF : values.back();
    }
    // Total bytes asked for by data-read requests.
    size_t bytesRequested() const {
        size_t total = 0;
        for (const auto& frame : device.writes)
            if (frame.size() >= 4 && frame[0] == 0x05) total += frame[2] | (frame[3] << 8);
        return total;
    }

    VirtualClock clock;
    ScriptedDevice device;
    ScannerEngine engine;
    CarriageModel carriage;
};

inline bool operator==(const RegisterWriteRecord& a, const RegisterWriteRecord& b) {
    return a.reg == b.reg && a.value == b.value;
}

inline void PrintTo(const RegisterWriteRecord& r, std::ostream* os) {
    *os << std::hex << "{0x" << r.reg << ", 0x" << unsigned(r.value) << "}";
}

}  // namespace zrt::test
