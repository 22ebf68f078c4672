#include "sim/register_file.h"

namespace zrt::sim {

void RegisterFile::reset() {
    low_.fill(0);
    high_.fill(0);
}

uint32_t RegisterFile::pair(uint8_t reg) const {
    return (uint32_t{low_[reg]} << 8) | low_[static_cast<uint8_t>(reg + 1)];
}

uint32_t RegisterFile::triple(uint8_t reg) const {
    return (uint32_t{low_[reg]} << 16) | (uint32_t{low_[static_cast<uint8_t>(reg + 1)]} << 8) |
           low_[static_cast<uint8_t>(reg + 2)];
}

}  // namespace zrt::sim
