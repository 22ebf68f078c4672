// An engine opened on the scripted device, in virtual time, with a fresh
// temporary directory per test and the shared block back at its initial
// values. The shared block opens once per program (its name is fixed by
// then), so each test resets it instead of renaming it.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "engine/api/export_support.h"
#include "engine/api/scanner_engine.h"
#include "platform/clock.h"
#include "platform/shared_state.h"
#include "tests/platform/test_environment.h"
#include "tests/support/scripted_device.h"
#include "tests/support/virtual_clock.h"

namespace zrt::test {

// A carriage for the scripted device: every start command moves it by the
// programmed feed (towards home when reversing, onto home for a homing
// run), and register 0x46 bit 3 reports the home sensor.
class ScriptedCarriage {
public:
    static constexpr uint32_t kHomeSensorSteps = 10;

    void attach(ScriptedDevice& device) {
        device.onRegisterWrite = [this, &device](uint8_t reg, uint8_t value) {
            if (reg == 0x03 && value == 1) start(device);
        };
        device.onRegisterRead = [this, &device](uint8_t reg, unsigned) -> std::optional<uint8_t> {
            if (reg == 0x46) return static_cast<uint8_t>((position < kHomeSensorSteps ? 0x08 : 0x00) | busyBits);
            // Control line 8 reads 0 while a film adapter is plugged in.
            if (reg == 0x90) return static_cast<uint8_t>(filmAdapter ? device.registers[0x90] & ~0x08
                                                                     : device.registers[0x90] | 0x08);
            // Bit 0 is the film motor's home sensor: the device's, not the host's.
            if (reg == 0xC7) return static_cast<uint8_t>((device.registers[0xC7] & ~0x01) | (filmMotorHome ? 1 : 0));
            // Image data always waiting: 0xEFF0 bytes.
            if (reg == 0xA5) return 0x00;
            if (reg == 0xA6) return 0x77;
            if (reg == 0xA7) return 0xF8;
            return std::nullopt;
        };
    }

    // Answers the strip scans: `pixel(line, plane, offset)` for every byte
    // of the data part of a raw line, zero for its padding. The raw line
    // geometry is the one the engine just programmed.
    template <class Pixel>
    static void feedImage(ScriptedDevice& device, const ScannerEngine& engine, Pixel pixel) {
        auto offset = std::make_shared<size_t>(0);
        device.onDataRead = [&engine, pixel, offset](size_t n) {
            const size_t data = engine.progress.RawLineBytes;
            const size_t raw = data + engine.progress.RawLineExtra;
            std::vector<uint8_t> bytes(n);
            for (size_t i = 0; i < n; ++i, ++*offset) {
                const size_t line = *offset / raw;
                const size_t inLine = *offset % raw;
                const size_t planeBytes = raw / 3;
                const size_t plane = inLine / planeBytes;
                const size_t inPlane = inLine % planeBytes;
                bytes[i] = inPlane < data / 3 ? pixel(line, plane, inPlane) : 0;
            }
            return bytes;
        };
    }

    uint32_t position = 0;
    unsigned starts = 0;
    bool filmAdapter = false;
    bool filmMotorHome = false;
    uint8_t busyBits = 0;

    // Jobs of `lines` lines of three channels started so far (the line
    // count registers 0x66-0x68 hold lines x channels).
    static size_t jobsOf(const ScriptedDevice& device, uint32_t lines) {
        const uint32_t count = lines * 3;
        size_t jobs = 0;
        const auto& w = device.registerWrites;
        for (size_t i = 2; i < w.size(); ++i)
            if (w[i - 2].reg == 0x66 && w[i - 1].reg == 0x67 && w[i].reg == 0x68 &&
                ((uint32_t(w[i - 2].value) << 16) | (uint32_t(w[i - 1].value) << 8) | w[i].value) == count)
                ++jobs;
        return jobs;
    }

private:
    void start(const ScriptedDevice& device) {
        ++starts;
        const auto& r = device.registers;
        const uint32_t feed = (uint32_t(r[0x1D]) << 16) | (uint32_t(r[0x1E]) << 8) | r[0x1F];
        const bool homeStop = r[0x11] & 0x20;
        const bool reverse = r[0x11] & 0x04;
        if (homeStop) {
            position = 0;
        } else if (reverse) {
            position = feed >= position ? 0 : position - feed;
        } else {
            position += feed;
        }
    }
};

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::InstallClock(&clock);
        scratch = std::make_unique<ScratchDir>();
        ASSERT_FALSE(scratch->path().empty());
        const char* previous = std::getenv("TMPDIR");
        previousTmpdir = previous ? previous : "";
        setenv("TMPDIR", scratch->path().c_str(), 1);
        ResetSharedState();
        Process() = ProcessState{};
    }

    void TearDown() override {
        engine.device.CloseDevice();
        Engine().device.CloseDevice();
        Process() = ProcessState{};
        ResetSharedState();
        setenv("TMPDIR", previousTmpdir.c_str(), 1);
        scratch.reset();
        platform::InstallClock(nullptr);
    }

    static void ResetSharedState() {
        auto& shared = platform::SharedState();
        shared.OriginOffset = 0;
        shared.FAUScanPosition = 3;
    }

    // Opens the engine's device on the scripted device and forgets the
    // traffic of the open.
    void Open(ScannerEngine& target) {
        ASSERT_TRUE(target.device.OpenDevice("scripted", device.transport()));
        device.clearLog();
    }
    void Open() { Open(engine); }

    // The process's own engine, as the exports see it, opened on the
    // scripted device.
    void OpenProcessEngine() {
        Open(Engine());
        Process().DeviceOpened = 1;
    }

    void WriteFau(const std::string& content) {
        std::ofstream file(scratch->file("FAU.txt"), std::ios::binary);
        file << content;
    }

    VirtualClock clock;
    ScriptedDevice device;
    ScannerEngine engine;
    std::unique_ptr<ScratchDir> scratch;
    std::string previousTmpdir;
};

}  // namespace zrt::test
