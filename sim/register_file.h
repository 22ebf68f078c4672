// The controller's register storage: 256 readable registers and the
// write-only range 0x100-0x1FF. Holds only what was written; the meaning of
// the bits lives in the model.
#pragma once

#include <array>
#include <cstdint>

namespace zrt::sim {

class RegisterFile {
public:
    RegisterFile() { reset(); }

    void reset();
    uint8_t get(uint8_t reg) const { return low_[reg]; }
    void set(uint8_t reg, uint8_t value) { low_[reg] = value; }
    uint8_t high(uint8_t reg) const { return high_[reg]; }
    void setHigh(uint8_t reg, uint8_t value) { high_[reg] = value; }

    bool bit(uint8_t reg, int bit) const { return (low_[reg] >> bit) & 1; }
    // Big-endian over consecutive registers, wrapping after 0xFF.
    uint32_t pair(uint8_t reg) const;
    uint32_t triple(uint8_t reg) const;

private:
    std::array<uint8_t, 256> low_{};
    std::array<uint8_t, 256> high_{};
};

}  // namespace zrt::sim
