// The scanner controller as the engine sees it: the open device, its
// registers with their shadow, the controller memory and the status
// predicates. Every operation here is built from the five transport
// operations; none writes the engine's last-status word.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "engine/api/status_codes.h"
#include "engine/transport/transport.h"

namespace zrt {

enum class MemoryAccessKind : uint8_t { Table = 0, Gamma = 1, ImageRead = 2 };

class Controller {
public:
    Controller() = default;
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // --- USB device transport ------------------------------------------
    // Opens `path` with the transport chosen for it, checks the descriptor
    // and reads the bus speed. On failure the device is left closed.
    bool OpenDevice(const std::string& path);
    // The same with a transport supplied by the caller (tests).
    bool OpenDevice(const std::string& path, std::unique_ptr<Transport> transport);
    void CloseDevice();
    bool IsOpen() const { return transport_ != nullptr && opened_; }
    bool WritePipe(const uint8_t* bytes, size_t count, size_t* written = nullptr);
    bool ReadPipe(uint8_t* buffer, size_t count, size_t* read = nullptr);

    // --- Register access -----------------------------------------------
    bool ReadControllerRegister(uint32_t reg, uint8_t& value);
    bool WriteControllerRegister(uint32_t reg, uint32_t value);
    bool WriteHighRegister(uint32_t reg, uint32_t value);
    bool SetRegisterField(uint32_t reg, unsigned hi, unsigned lo, uint32_t value);
    bool ReadRegisterPair(uint32_t reg, uint16_t& value);
    bool ReadRegisterTriple(uint32_t reg, uint32_t& value);
    bool WriteRegisterPair(uint32_t reg, uint32_t value);
    bool WriteRegisterTriple(uint32_t reg, uint32_t value);
    bool ReadAllRegisters();
    bool SetControlLine(unsigned line, uint32_t value);
    bool ReadControlLine(unsigned line, bool& state);

    enum class StableReadResult { Ok, FirstReadFailed, LaterReadFailed, NoAgreement };
    StableReadResult ReadStableRegister(uint32_t reg, uint8_t bitsOfInterest, uint8_t& value);

    // --- Controller memory and bulk data -------------------------------
    bool SelectMemoryLayout(unsigned layout);
    bool SetUpMemoryAccess(MemoryAccessKind kind, unsigned direction, uint32_t address, uint32_t length);
    bool SendDataBlock(MemoryAccessKind kind, uint32_t n, const uint8_t* data);
    bool RequestDataBlock(uint32_t n);
    bool WriteTableMemory(uint32_t address, uint32_t length, const uint8_t* data);
    bool WriteGammaMemory(uint32_t address, uint32_t length, const uint8_t* data);
    bool PrepareImageRead();
    bool ReadImageData(uint8_t* buffer, uint32_t length);

    // --- Status and sensor predicates ----------------------------------
    StatusCode ReadMotionBusy(bool& busy, unsigned selector);
    StatusCode ReadControllerBusy(bool& busy);
    bool ReadHomeSensor(bool& atHome);
    StatusCode DetectFilmAdapter(bool& present);

    // --- Engine fields owned here --------------------------------------
    uint16_t DeviceRevision = 0;
    uint32_t BusSpeed = 0;  // 1 = USB 1.1, 2 = USB 2.0; 0 until opened
    std::array<uint8_t, 256> RegisterShadow{};
    std::array<uint16_t, 3> GammaAddress{};
    std::array<uint32_t, 4> ShadingAddress{};
    std::array<uint32_t, 5> MotorTableAddress{};

    // Held for one whole exchange (a register read and its answer, a data
    // request and its data, a field write with its shadow update) so the
    // scan's reader thread and the caller's thread never split one.
    std::recursive_mutex& exchangeLock() { return exchangeLock_; }

private:
    bool readRegisterOnce(uint8_t reg, uint8_t& value);
    bool writeRegisterFrame(const uint8_t (&frame)[5]);
    bool writeMemory(MemoryAccessKind kind, uint32_t address, uint32_t length, const uint8_t* data);
    bool readImageChunk(uint8_t* buffer, uint32_t chunk, uint32_t& delivered);

    std::unique_ptr<Transport> transport_;
    bool opened_ = false;
    std::recursive_mutex exchangeLock_;
};

}  // namespace zrt
