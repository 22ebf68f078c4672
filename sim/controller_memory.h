// The controller's memories: word-addressed table memory (shading and motor
// tables), the small gamma memory, and the image buffer that captured rows
// wait in until the host reads them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zrt::sim {

// Table memory is 2 MiB: 0x100000 words. The image buffer sits above the
// tables (from 0xC0000 or 0x80000 words, by memory layout) and is modelled
// as a byte queue of that size.
constexpr uint32_t kTableMemoryWords = 0x100000;
constexpr uint32_t kGammaMemoryWords = 0x800;

class ControllerMemory {
public:
    ControllerMemory();

    // Stores bytes at a word address; false when the block does not fit.
    bool writeTable(uint32_t wordAddress, const uint8_t* data, size_t bytes);
    bool writeGamma(uint32_t wordAddress, const uint8_t* data, size_t bytes);
    uint16_t tableWord(uint32_t wordAddress) const;
    uint8_t gammaByte(uint32_t byteAddress) const;
    void resetGammaToIdentity();

    // Image buffer (FIFO of captured bytes).
    void setImageCapacity(size_t bytes) { imageCapacity_ = bytes; }
    size_t imageCapacity() const { return imageCapacity_; }
    size_t imageBytes() const { return imageCount_; }
    size_t imageFree() const { return imageCapacity_ > imageCount_ ? imageCapacity_ - imageCount_ : 0; }
    bool pushImage(const uint8_t* data, size_t bytes);
    size_t popImage(uint8_t* out, size_t bytes);
    void clearImage();

private:
    std::vector<uint16_t> table_;
    std::vector<uint8_t> gamma_;
    std::vector<uint8_t> image_;   // ring storage
    size_t imageCapacity_ = 0;
    size_t imageHead_ = 0;         // next byte to read
    size_t imageCount_ = 0;
};

}  // namespace zrt::sim
