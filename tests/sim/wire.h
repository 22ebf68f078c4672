// Builds controller frames by hand against a virtual scanner, so the model's
// tests depend on nothing of the engine above the transport.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "sim/sim_transport.h"
#include "sim/virtual_scanner.h"

namespace zrt::sim::test {

// A job as the controller sees it, in its own units.
struct Job {
    int modePulses = 1;            // 1: 600 dpi sensor mode, +8: film mode
    uint32_t start = 435, end = 5538;
    int reductionBits = 0;         // register 0xB0 bits 2-0
    uint8_t channelMask = 0x07;
    bool eightBit = false;
    bool shading = false;
    bool filmLamp = false;
    uint32_t linePeriod = 5600;
    uint16_t exposure[4] = {3000, 3000, 3000, 1};
    uint32_t feed = 0;
    uint32_t rows = 0;
    uint16_t stepPeriod = 4200;    // constant speed, last entry of the ramps
    uint16_t accelSteps = 0;       // length of motor table 0
    uint16_t decelSteps = 0;       // length of motor table 2
    bool hold = false;
    bool reverse = false;
    bool homeStop = false;
    bool line13 = false;
    int channels() const { return __builtin_popcount(channelMask); }
    size_t rowBytes() const { return (end - start + 1) / (1u << reductionBits) * (eightBit ? 1 : 2); }
};

class Wire {
public:
    explicit Wire(const SimOptions& options = SimOptions())
        : model(std::make_shared<VirtualScanner>(options)), transport(CreateSimTransport(model)) {
        opened = transport->open("sim");
    }
    ~Wire() { transport->close(); }

    bool send(std::vector<uint8_t> frame) {
        size_t written = 0;
        return transport->bulkWrite(frame.data(), frame.size(), written) && written == frame.size();
    }
    bool receive(std::vector<uint8_t>& out, size_t count) {
        out.assign(count, 0);
        size_t got = 0;
        bool ok = transport->bulkRead(out.data(), count, got);
        out.resize(got);
        return ok;
    }
    bool write(uint8_t reg, uint8_t value) {
        bool ok = send({0x00, reg, 0x01, 0x00, value});
        if (ok) shadow[reg] = value;
        return ok;
    }
    bool writeHigh(uint32_t reg, uint8_t value) { return send({0x02, uint8_t(reg - 0x100), 0x01, 0x00, value}); }
    bool read(uint8_t reg, uint8_t& value) {
        std::vector<uint8_t> answer;
        if (!send({0x01, reg, 0x01, 0x00}) || !receive(answer, 1) || answer.size() != 1) return false;
        value = answer[0];
        return true;
    }
    uint8_t read(uint8_t reg) {
        uint8_t v = 0xEE;
        read(reg, v);
        return v;
    }
    bool writeField(uint8_t reg, int bit, bool on) {
        uint8_t v = on ? uint8_t(shadow[reg] | (1 << bit)) : uint8_t(shadow[reg] & ~(1 << bit));
        return write(reg, v);
    }
    bool writePair(uint8_t reg, uint32_t v) { return write(reg, uint8_t(v >> 8)) && write(uint8_t(reg + 1), uint8_t(v)); }
    bool writeTriple(uint8_t reg, uint32_t v) {
        return write(reg, uint8_t(v >> 16)) && write(uint8_t(reg + 1), uint8_t(v >> 8)) && write(uint8_t(reg + 2), uint8_t(v));
    }
    uint32_t readTriple(uint8_t reg) {
        return (uint32_t(read(reg)) << 16) | (uint32_t(read(uint8_t(reg + 1))) << 8) | read(uint8_t(reg + 2));
    }

    // Memory set-up and one DataWrite frame; kind 0 table, 1 gamma.
    bool setUpAccess(int kind, uint32_t address, uint32_t length) {
        uint8_t control = uint8_t(kind == 1 ? 0x16 : kind == 0 ? 0x14 : 0x18);
        bool ok = write(0x71, 0x01) && writeHigh(0x130, 0x11) && write(0x71, control) && writePair(0x72, length);
        if (kind != 2) ok = ok && writeTriple(0x74, address);
        return ok && writeHigh(0x139, 0x40) && writeHigh(0x138, 0x89) && writeHigh(0x13C, 0x2F) && writeHigh(0x164, 0x20);
    }
    bool writeMemory(int kind, uint32_t address, const std::vector<uint8_t>& data) {
        uint32_t step = kind == 1 ? 8 : 16;
        uint32_t padded = uint32_t((data.size() + step - 1) / step * step);
        if (!setUpAccess(kind, address, padded)) return false;
        std::vector<uint8_t> frame = {0x04, 0x70, uint8_t(data.size()), uint8_t(data.size() >> 8)};
        frame.insert(frame.end(), data.begin(), data.end());
        frame.resize(4 + padded, 0);
        return send(frame);
    }
    bool writeWords(uint32_t address, const std::vector<uint16_t>& words) {
        std::vector<uint8_t> bytes;
        for (uint16_t w : words) { bytes.push_back(uint8_t(w)); bytes.push_back(uint8_t(w >> 8)); }
        for (size_t done = 0; done < bytes.size(); done += 0xEFF0) {
            size_t n = std::min<size_t>(0xEFF0, bytes.size() - done);
            std::vector<uint8_t> chunk(bytes.begin() + long(done), bytes.begin() + long(done + n));
            if (!writeMemory(0, address + uint32_t(done / 2), chunk)) return false;
        }
        return true;
    }
    // Reads `count` image bytes, in blocks of what the controller holds.
    bool readImage(size_t count, std::vector<uint8_t>& out, uint32_t maxMs = 600000) {
        if (!setUpAccess(2, 0, 16)) return false;
        out.clear();
        for (uint32_t waited = 0; out.size() < count;) {
            size_t waiting = size_t(readTriple(0xA5)) * 2;
            size_t n = std::min({waiting, count - out.size(), size_t(0xEFF0)}) / 16 * 16;
            if (n == 0) {
                if (waited >= maxMs) return false;
                model->advanceMs(10);
                waited += 10;
                continue;
            }
            std::vector<uint8_t> block;
            if (!writePair(0x72, uint32_t(n)) || !send({0x05, 0x70, uint8_t(n), uint8_t(n >> 8)}) || !receive(block, n))
                return false;
            out.insert(out.end(), block.begin(), block.end());
        }
        return true;
    }

    void sensorMode(int pulses) {
        writeField(0x90, 4, false);
        for (int i = 0; i < pulses; ++i) { writeField(0x9B, 1, true); writeField(0x9B, 1, false); }
        writeField(0x90, 4, true);
    }
    bool program(const Job& j) {
        sensorMode(j.modePulses);
        std::vector<uint16_t> accel(j.accelSteps, j.stepPeriod), decel(j.decelSteps, j.stepPeriod);
        if (!accel.empty()) { accel[0] = uint16_t(j.stepPeriod * 2); writeWords(0x030000, accel); }
        if (!decel.empty()) writeWords(0x030400, decel);
        writeWords(0x030800, std::vector<uint16_t>(12, j.stepPeriod));
        bool ok = write(0x01, j.eightBit ? 1 : 0) && write(0x18, 0) && write(0x12, uint8_t(j.accelSteps / 2)) &&
                  write(0x21, uint8_t(j.decelSteps / 2)) && write(0x20, 6);
        ok = ok && write(0x07, uint8_t(((j.end >> 16) & 3) << 2 | ((j.start >> 16) & 3))) && writePair(0x08, j.start) &&
             writePair(0x0A, j.end);
        ok = ok && write(0xB0, uint8_t(j.reductionBits | (j.shading ? 0x08 : 0))) && write(0x51, j.channelMask);
        ok = ok && writeTriple(0x61, j.linePeriod);
        for (int c = 0; c < 4; ++c) ok = ok && writePair(uint8_t(0x52 + 2 * c), j.exposure[c]);
        ok = ok && writeField(0x90, 0, j.filmLamp) && writeField(0x9B, 0, j.line13);
        ok = ok && write(0x10, uint8_t((j.hold ? 0x10 : 0) | 0x05)) &&
             write(0x11, uint8_t((j.homeStop ? 0x20 : 0x80) | (j.reverse ? 0x04 : 0) | 0x01));
        return ok && writeTriple(0x1D, j.feed) && writeTriple(0x66, j.rows);
    }
    bool start() { return write(0x03, 1); }
    // Advances virtual time until the job is over; false after `maxMs`.
    bool waitIdle(uint32_t maxMs = 120000) {
        for (uint32_t t = 0; t <= maxMs; t += 10) {
            if ((read(0x46) & 0x43) == 0) return true;
            model->advanceMs(10);
        }
        return false;
    }
    bool capture(const Job& j, std::vector<uint8_t>& out) {
        return program(j) && start() && readImage(j.rowBytes() * j.rows, out) && waitIdle();
    }

    std::shared_ptr<VirtualScanner> model;
    std::unique_ptr<Transport> transport;
    bool opened = false;
    uint8_t shadow[256] = {};
};

// Sample k of plane row `row` of a capture.
inline uint32_t Sample(const std::vector<uint8_t>& data, const Job& j, size_t row, size_t k) {
    size_t at = row * j.rowBytes() + k * (j.eightBit ? 1 : 2);
    return j.eightBit ? data[at] : uint32_t(data[at]) | (uint32_t(data[at + 1]) << 8);
}

}  // namespace zrt::sim::test
