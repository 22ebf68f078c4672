// A scripted controller for tests: records every frame written, keeps a
// register file that register writes update and register reads answer from,
// answers data reads from a callback and fails chosen exchanges.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/transport/transport.h"

namespace zrt::test {

struct RegisterWriteRecord {
    uint32_t reg;    // 0x00-0xFF, or 0x100-0x1FF for high registers
    uint8_t value;
};

class ScriptedDevice {
public:
    ScriptedDevice();

    // A transport bound to this device (the device outlives it).
    std::unique_ptr<Transport> transport();

    // --- What the device answers ---------------------------------------
    std::array<uint8_t, 18> descriptor;          // idVendor 0x5A17, idProduct 0x3C42 by default
    bool openSucceeds = true;
    bool descriptorSucceeds = true;              // false: the descriptor request fails
    // The optional device release summary (vendor, product, bcdDevice,
    // language as little-endian u16); none by default.
    std::optional<std::array<uint8_t, 8>> summary;
    // Added to the count that every bulk read reports, beyond what it
    // delivered: a misbehaving transport.
    size_t overReportedReadBytes = 0;
    // The next this many register reads are answered with no byte at all.
    unsigned emptyRegisterAnswers = 0;
    std::array<uint8_t, 256> registers{};        // register file; 0xD0 = 0x01 by default
    // Called for every register read; a value overrides the register file,
    // std::nullopt answers from it. `count` is the n-th read of that register (from 1).
    std::function<std::optional<uint8_t>(uint8_t reg, unsigned count)> onRegisterRead;
    // Called for every register write after it is recorded.
    std::function<void(uint8_t reg, uint8_t value)> onRegisterWrite;
    // Supplies image data for a data read of `n` bytes (default: zeros).
    std::function<std::vector<uint8_t>(size_t n)> onDataRead;

    // Failure injection: return true to fail this exchange. `index` counts
    // every bulk write and read from 0.
    std::function<bool(size_t index, bool isWrite, const std::vector<uint8_t>& frame)> failWhen;
    void failRegisterWrites(uint32_t reg);       // every write of this register fails
    void failRegisterReads(uint8_t reg);         // every read of this register fails

    // --- What was written ----------------------------------------------
    std::vector<std::vector<uint8_t>> writes;    // every successful bulk write, whole
    std::vector<RegisterWriteRecord> registerWrites;  // decoded register and high register writes
    std::vector<uint8_t> registerReads;          // register numbers read, in order
    size_t exchanges = 0;                        // bulk writes and reads attempted
    std::vector<std::vector<uint8_t>> dataWrites;  // payloads of DataWrite frames (header removed, padding kept)
    bool closed = false;

    // Values written to `reg`, in order.
    std::vector<uint8_t> writesTo(uint32_t reg) const;
    void clearLog();

    // Internal: used by the transport.
    bool handleWrite(const uint8_t* data, size_t count);
    bool handleRead(uint8_t* buffer, size_t count, size_t& read);

private:
    std::vector<uint8_t> pendingRead_;
    std::array<unsigned, 256> readCounts_{};
    std::vector<uint32_t> failingWrites_;
    std::vector<uint8_t> failingReads_;
};

}  // namespace zrt::test
