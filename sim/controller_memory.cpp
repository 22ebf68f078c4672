#include "sim/controller_memory.h"

#include <algorithm>
#include <cstring>

namespace zrt::sim {

ControllerMemory::ControllerMemory()
    : table_(kTableMemoryWords, 0), gamma_(kGammaMemoryWords * 2, 0), image_(kTableMemoryWords * 2, 0) {
    imageCapacity_ = (kTableMemoryWords - 0xC0000) * 2;
    resetGammaToIdentity();
}

bool ControllerMemory::writeTable(uint32_t wordAddress, const uint8_t* data, size_t bytes) {
    uint64_t words = (bytes + 1) / 2;
    if (uint64_t{wordAddress} + words > kTableMemoryWords) return false;
    for (size_t i = 0; i < bytes; ++i) {
        uint16_t& word = table_[wordAddress + i / 2];
        if (i % 2 == 0) word = static_cast<uint16_t>((word & 0xFF00) | data[i]);
        else word = static_cast<uint16_t>((word & 0x00FF) | (data[i] << 8));
    }
    return true;
}

bool ControllerMemory::writeGamma(uint32_t wordAddress, const uint8_t* data, size_t bytes) {
    uint64_t byteAddress = uint64_t{wordAddress} * 2;
    if (byteAddress + bytes > gamma_.size()) return false;
    std::memcpy(gamma_.data() + byteAddress, data, bytes);
    return true;
}

uint16_t ControllerMemory::tableWord(uint32_t wordAddress) const {
    return wordAddress < kTableMemoryWords ? table_[wordAddress] : 0;
}

uint8_t ControllerMemory::gammaByte(uint32_t byteAddress) const {
    return byteAddress < gamma_.size() ? gamma_[byteAddress] : 0;
}

void ControllerMemory::resetGammaToIdentity() {
    // Three 256-byte tables at word addresses 0x000, 0x100, 0x200.
    for (uint32_t table = 0; table < 4; ++table) {
        for (uint32_t k = 0; k < 256; ++k) gamma_[table * 0x200 + k] = static_cast<uint8_t>(k);
    }
}

bool ControllerMemory::pushImage(const uint8_t* data, size_t bytes) {
    if (bytes > imageFree()) return false;
    size_t tail = (imageHead_ + imageCount_) % image_.size();
    size_t first = std::min(bytes, image_.size() - tail);
    std::memcpy(image_.data() + tail, data, first);
    std::memcpy(image_.data(), data + first, bytes - first);
    imageCount_ += bytes;
    return true;
}

size_t ControllerMemory::popImage(uint8_t* out, size_t bytes) {
    bytes = std::min(bytes, imageCount_);
    size_t first = std::min(bytes, image_.size() - imageHead_);
    std::memcpy(out, image_.data() + imageHead_, first);
    std::memcpy(out + first, image_.data(), bytes - first);
    imageHead_ = (imageHead_ + bytes) % image_.size();
    imageCount_ -= bytes;
    return bytes;
}

void ControllerMemory::clearImage() {
    imageHead_ = 0;
    imageCount_ = 0;
}

}  // namespace zrt::sim
