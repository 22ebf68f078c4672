#include "engine/pipeline/line_filter.h"

#include <cstring>
#include <new>
#include <utility>

namespace zrt {
namespace {

// Division by the doubled weight sum d (6 to 38) as a multiply and a
// shift: exact as long as the numerator x stays below 2^shift / d, so the
// error x / 2^shift never reaches 1 / d. Byte numerators stay below 2^14
// (32-bit products with a 20-bit shift), 16-bit ones below 2^23 (32 x 32
// bit products with a 34-bit shift, which keeps the multiplier in 32 bits).
uint32_t CentreWeight(uint8_t strength) { return strength & 0x0F; }

template <class Sample>
struct Arithmetic;
template <>
struct Arithmetic<uint8_t> {
    using Product = uint32_t;
    static constexpr unsigned shift = 20;
};
template <>
struct Arithmetic<uint16_t> {
    using Product = uint64_t;
    static constexpr unsigned shift = 34;
};

template <class Sample, bool kThreeLine>
void SmoothRange(Sample* out, const Sample* cur, const Sample* above, const Sample* below, size_t begin,
                 size_t end, uint32_t w, uint32_t bias) {
    using Product = typename Arithmetic<Sample>::Product;
    constexpr unsigned shift = Arithmetic<Sample>::shift;
    const auto m = static_cast<uint32_t>((uint64_t{1} << shift) / (2 * bias) + 1);
    for (size_t i = begin; i < end; ++i) {
        uint32_t n = w * cur[i] + cur[i - 1] + cur[i + 1];
        if constexpr (kThreeLine) {
            n += uint32_t{above[i]} + below[i];
        }
        out[i] = static_cast<Sample>((Product{2 * n + bias} * m) >> shift);
    }
}

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
// three-line mode) the samples above and below. The smoothed line takes
// the place of the current one: it is the line above for the next.
template <class Sample>
void LineFilter::smoothPlanes(unsigned planes, uint32_t divisor) {
    bool three = threeLine();
    uint8_t*& current = three ? slot_[1] : slot_[0];
    std::memcpy(work_, current, lineLength_);
    const auto* cur = reinterpret_cast<const Sample*>(current);
    const auto* above = reinterpret_cast<const Sample*>(slot_[0]);
    const auto* below = reinterpret_cast<const Sample*>(three ? slot_[2] : slot_[0]);
    auto* out = reinterpret_cast<Sample*>(work_);
    const uint32_t w = CentreWeight(strength_);
    const uint32_t bias = w + (three ? 4 : 2);  // the weight sum; the divisor is twice it
    for (unsigned p = 0; p < planes; ++p) {
        int64_t begin = int64_t{p} * lineLength_ / divisor + 1;
        int64_t end = (int64_t{p + 1} * lineLength_ - extra_) / divisor - 1;
        if (end <= begin) {
            continue;
        }
        if (three) {
            SmoothRange<Sample, true>(out, cur, above, below, size_t(begin), size_t(end), w, bias);
        } else {
            SmoothRange<Sample, false>(out, cur, above, below, size_t(begin), size_t(end), w, bias);
        }
    }
    std::swap(current, work_);
}

}  // namespace zrt
