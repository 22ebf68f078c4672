#include "engine/pipeline/line_filter.h"

#include <cstring>
#include <new>

namespace zrt {
namespace {

// Numerators stay below 2^22 and divisors below 40, so a 40-bit
// reciprocal divides exactly.
constexpr unsigned kReciprocalShift = 40;

uint32_t CentreWeight(uint8_t strength) { return strength & 0x0F; }

}  // namespace

LineFilter::LineFilter(uint32_t lineLength, uint32_t extra, uint32_t lineCount, uint8_t kind, uint8_t strength)
    : lineLength_(lineLength), extra_(extra), lineCount_(lineCount), kind_(kind), strength_(strength) {
    unsigned slots = threeLine() ? 3 : 1;
    size_t wordsPerLine = (size_t{lineLength} + 1) / 2;
    storage_.reset(new (std::nothrow) uint16_t[wordsPerLine * (slots + 1)]());
    if (storage_ == nullptr) {
        return;
    }
    auto* base = reinterpret_cast<uint8_t*>(storage_.get());
    for (unsigned s = 0; s < slots; ++s) {
        slot_[s] = base + s * wordsPerLine * 2;
    }
    work_ = base + slots * wordsPerLine * 2;
    uint32_t w = CentreWeight(strength);
    uint32_t divisor = 2 * (w + (threeLine() ? 4 : 2));
    reciprocal_ = (uint64_t{1} << kReciprocalShift) / divisor + 1;
}

void LineFilter::Push(const uint8_t* src) {
    if (!threeLine()) {
        std::memcpy(slot_[0], src, lineLength_);
        return;
    }
    if (held_ < 3) {
        std::memcpy(slot_[held_], src, lineLength_);
        ++held_;
        return;
    }
    // Rotating the slots moves the lines up by one without copying them.
    uint8_t* oldest = slot_[0];
    slot_[0] = slot_[1];
    slot_[1] = slot_[2];
    slot_[2] = oldest;
    std::memcpy(slot_[2], src, lineLength_);
}

void LineFilter::Emit(uint8_t* dst) {
    SmoothLine();
    std::memcpy(dst, threeLine() ? slot_[1] : slot_[0], lineLength_);
    ++index_;
}

void LineFilter::SmoothLine() {
    if (CentreWeight(strength_) == 0) {
        return;
    }
    if (threeLine() && (held_ < 3 || index_ == lineCount_ - 1)) {
        return;
    }
    switch (kind_) {
    case 8: smoothPlanes<uint8_t>(1, 1); break;
    case 24: smoothPlanes<uint8_t>(3, 3); break;
    case 48: smoothPlanes<uint16_t>(3, 6); break;
    case 64: smoothPlanes<uint16_t>(3, 8); break;
    default: break;
    }
}

// Each plane p of the line spans lineLength / divisor samples; its valid
// samples except the first and the last are replaced by the rounded
// weighted mean of the sample, its left and right neighbours and (in
// three-line mode) the samples above and below.
template <class Sample>
void LineFilter::smoothPlanes(unsigned planes, uint32_t divisor) {
    uint8_t* current = threeLine() ? slot_[1] : slot_[0];
    std::memcpy(work_, current, lineLength_);
    const auto* cur = reinterpret_cast<const Sample*>(current);
    const auto* above = reinterpret_cast<const Sample*>(slot_[0]);
    const auto* below = reinterpret_cast<const Sample*>(threeLine() ? slot_[2] : slot_[0]);
    auto* out = reinterpret_cast<Sample*>(work_);
    const uint64_t w = CentreWeight(strength_);
    const uint64_t bias = w + (threeLine() ? 4 : 2);  // half the doubled divisor
    const uint64_t m = reciprocal_;
    for (unsigned p = 0; p < planes; ++p) {
        int64_t begin = int64_t{p} * lineLength_ / divisor + 1;
        int64_t end = (int64_t{p + 1} * lineLength_ - extra_) / divisor - 1;
        if (threeLine()) {
            for (int64_t i = begin; i < end; ++i) {
                uint64_t n = w * cur[i] + above[i] + below[i] + cur[i - 1] + cur[i + 1];
                out[i] = static_cast<Sample>(((2 * n + bias) * m) >> kReciprocalShift);
            }
        } else {
            for (int64_t i = begin; i < end; ++i) {
                uint64_t n = w * cur[i] + cur[i - 1] + cur[i + 1];
                out[i] = static_cast<Sample>(((2 * n + bias) * m) >> kReciprocalShift);
            }
        }
    }
    std::memcpy(current, work_, lineLength_);
}

}  // namespace zrt
