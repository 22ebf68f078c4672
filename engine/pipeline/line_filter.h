// The small line filter of a scan: holds the raw lines around the one
// being produced and smooths each sample against its neighbours.
#pragma once

#include <cstdint>
#include <memory>

namespace zrt {

class LineFilter {
public:
    // `lineLength` bytes a raw line, the last `extra` of them pad samples
    // spread over the planes; `lineCount` raw lines in all. `kind` names the
    // sample layout (8, 24: bytes in one or three planes; 48: three 16-bit
    // planes; 64: four 16-bit planes of which the first three are
    // smoothed; anything else is not smoothed). `strength`: low nibble the
    // centre weight (0 = off), high nibble non-zero = three-line mode.
    LineFilter(uint32_t lineLength, uint32_t extra, uint32_t lineCount, uint8_t kind, uint8_t strength);
    LineFilter(const LineFilter&) = delete;
    LineFilter& operator=(const LineFilter&) = delete;

    bool ok() const { return storage_ != nullptr; }
    bool threeLine() const { return (strength_ & 0xF0) != 0; }
    uint8_t held() const { return held_; }
    uint32_t index() const { return index_; }

    void Push(const uint8_t* line);
    // Smooths the line being produced (in place: it becomes the line above
    // for the next one) and copies it to dst.
    void Emit(uint8_t* dst);

private:
    void SmoothLine();
    template <class Sample>
    void smoothPlanes(unsigned planes, uint32_t divisor);
    uint8_t* line(unsigned slot) const { return slot_[slot]; }

    std::unique_ptr<uint16_t[]> storage_;  // three slots (or one) and a work line
    uint8_t* slot_[3] = {};
    uint8_t* work_ = nullptr;
    uint32_t index_ = 1;
    uint32_t lineLength_;
    uint32_t extra_;
    uint32_t lineCount_;
    uint8_t kind_;
    uint8_t strength_;
    uint8_t held_ = 0;
};

}  // namespace zrt
