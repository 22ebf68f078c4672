// Controller memory: layouts, the register sequence before every transfer,
// DataWrite and DataRead frames, chunking and padding.
#include "engine/transport/controller.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

#include "platform/clock.h"

namespace zrt {
namespace {

constexpr uint8_t kDataWrite = 0x04;
constexpr uint8_t kDataRead = 0x05;
constexpr uint8_t kDataPort = 0x70;

// One frame is built in a buffer of this size; the chunk limit keeps a
// header, a chunk and its padding inside it.
constexpr size_t kFrameBufferSize = 0xFFFF;
constexpr uint32_t kMaxChunk = 0xEFF0;
constexpr int kDataWriteAttempts = 5;
constexpr int kImageReadAttempts = 5;
constexpr uint32_t kRetrySleepMs = 10;

struct MemoryLayout {
    uint32_t layoutValue;  // registers 0x04-0x06
    uint32_t shading[4];
    uint32_t motorTables[5];
};

constexpr MemoryLayout kMemoryLayouts[2] = {
    {0x0C0000,
     {0x000000, 0x00B000, 0x016000, 0x021000},
     {0x030000, 0x030200, 0x030400, 0x030600, 0x030800}},
    {0x080000,
     {0x000000, 0x020000, 0x040000, 0x060000},
     {0x076000, 0x076200, 0x076400, 0x076600, 0x076800}},
};

struct HighRegisterValue {
    uint32_t reg;
    uint8_t value;
};

// Written after the length and address, in this order, before every transfer.
constexpr HighRegisterValue kTransferHighRegisters[] = {
    {0x139, 0x40}, {0x138, 0x89}, {0x13C, 0x2F}, {0x164, 0x20},
};

uint32_t RoundUp(uint32_t value, uint32_t step) {
    return value + (step - value % step) % step;
}

// Padding granule of a DataWrite of this kind; 0 for the read-only kind.
uint32_t PaddingStep(MemoryAccessKind kind) {
    switch (kind) {
        case MemoryAccessKind::Table: return 16;
        case MemoryAccessKind::Gamma: return 8;
        case MemoryAccessKind::ImageRead: return 0;
    }
    return 0;
}

uint8_t AccessControlByte(MemoryAccessKind kind, unsigned direction) {
    uint8_t control = 0x10;
    if (kind == MemoryAccessKind::Gamma) control |= 0x02;
    if (direction == 0) control |= 0x04;
    if (kind == MemoryAccessKind::ImageRead) control |= 0x08;
    return control;
}

}  // namespace

bool Controller::SelectMemoryLayout(unsigned layout) {
    if (layout >= std::size(kMemoryLayouts)) return false;
    const MemoryLayout& chosen = kMemoryLayouts[layout];
    std::copy(std::begin(chosen.shading), std::end(chosen.shading), ShadingAddress.begin());
    std::copy(std::begin(chosen.motorTables), std::end(chosen.motorTables), MotorTableAddress.begin());
    // Register failures are left for the next transfer to show; the layout
    // selection itself never fails.
    if (SetRegisterField(0x01, 2, 1, layout)) WriteRegisterTriple(0x04, chosen.layoutValue);
    return true;
}

bool Controller::SetUpMemoryAccess(MemoryAccessKind kind, unsigned direction, uint32_t address,
                                   uint32_t length) {
    uint32_t adjusted = length & 0xFFFF;
    if (kind == MemoryAccessKind::ImageRead) {
        if (adjusted % 16 != 0) return false;
    } else {
        adjusted = RoundUp(adjusted, PaddingStep(kind));
    }

    std::lock_guard<std::recursive_mutex> lock(exchangeLock_);
    if (!WriteControllerRegister(0x71, 0x01)) return false;
    if (!WriteHighRegister(0x130, 0x11)) return false;
    if (!WriteControllerRegister(0x71, AccessControlByte(kind, direction))) return false;
    if (!WriteRegisterPair(0x72, adjusted & 0xFFFF)) return false;
    if (kind != MemoryAccessKind::ImageRead && !WriteRegisterTriple(0x74, address)) return false;
    for (const HighRegisterValue& high : kTransferHighRegisters) {
        if (!WriteHighRegister(high.reg, high.value)) return false;
    }
    return true;
}

bool Controller::SendDataBlock(MemoryAccessKind kind, uint32_t n, const uint8_t* data) {
    const uint32_t step = PaddingStep(kind);
    // A block larger than one chunk would run past the frame buffer.
    if (step == 0 || n > kMaxChunk || (n > 0 && data == nullptr)) return false;
    std::unique_ptr<uint8_t[]> frame(new (std::nothrow) uint8_t[kFrameBufferSize]);
    if (!frame) return false;

    const uint32_t padded = RoundUp(n, step);
    frame[0] = kDataWrite;
    frame[1] = kDataPort;
    frame[2] = static_cast<uint8_t>(n & 0xFF);
    frame[3] = static_cast<uint8_t>((n >> 8) & 0xFF);
    if (n > 0) std::memcpy(frame.get() + 4, data, n);
    std::memset(frame.get() + 4 + n, 0, padded - n);

    // Repeated at once: the controller either took the frame or did not.
    for (int attempt = 0; attempt < kDataWriteAttempts; ++attempt) {
        if (WritePipe(frame.get(), 4 + padded)) return true;
    }
    return false;
}

bool Controller::RequestDataBlock(uint32_t n) {
    // The frame carries 16 bits of length; anything wider cannot be asked for.
    if (n > 0xFFFF || n % 16 != 0) return false;
    std::lock_guard<std::recursive_mutex> lock(exchangeLock_);
    if (!WriteRegisterPair(0x72, n)) return false;
    const uint8_t request[4] = {kDataRead, kDataPort, static_cast<uint8_t>(n & 0xFF),
                                static_cast<uint8_t>(n >> 8)};
    return WritePipe(request, sizeof request);
}

bool Controller::writeMemory(MemoryAccessKind kind, uint32_t address, uint32_t length,
                             const uint8_t* data) {
    if (length > 0 && data == nullptr) return false;
    while (length > 0) {
        const uint32_t chunk = std::min(length, kMaxChunk);
        {
            // The set-up programs the length and address the DataWrite fills;
            // another thread's transfer between them would use ours.
            std::lock_guard<std::recursive_mutex> lock(exchangeLock_);
            if (!SetUpMemoryAccess(kind, 0, address, chunk)) return false;
            if (!SendDataBlock(kind, chunk, data)) return false;
        }
        data += chunk;
        address += chunk / 2;
        length -= chunk;
    }
    return true;
}

bool Controller::WriteTableMemory(uint32_t address, uint32_t length, const uint8_t* data) {
    return writeMemory(MemoryAccessKind::Table, address, length, data);
}

bool Controller::WriteGammaMemory(uint32_t address, uint32_t length, const uint8_t* data) {
    return writeMemory(MemoryAccessKind::Gamma, address, length, data);
}

bool Controller::PrepareImageRead() {
    return SetUpMemoryAccess(MemoryAccessKind::ImageRead, 1, 0, 16);
}

bool Controller::readImageChunk(uint8_t* buffer, uint32_t chunk, uint32_t& delivered) {
    // The request and the data it asks for are one exchange.
    std::lock_guard<std::recursive_mutex> lock(exchangeLock_);
    if (!RequestDataBlock(chunk)) return false;
    for (int attempt = 0; attempt < kImageReadAttempts; ++attempt) {
        size_t got = 0;
        if (ReadPipe(buffer, chunk, &got)) {
            delivered = static_cast<uint32_t>(got);
            return true;
        }
        platform::SleepMs(kRetrySleepMs);
    }
    return false;
}

bool Controller::ReadImageData(uint8_t* buffer, uint32_t length) {
    if (length > 0 && buffer == nullptr) return false;
    while (length > 0) {
        const uint32_t chunk = std::min(length, kMaxChunk);
        uint32_t delivered = 0;
        if (!readImageChunk(buffer, chunk, delivered)) return false;
        // Nothing delivered means nothing will come; stop instead of spinning.
        if (delivered == 0) return false;
        buffer += delivered;
        length -= delivered;
    }
    return true;
}

}  // namespace zrt
