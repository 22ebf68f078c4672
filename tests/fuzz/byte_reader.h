// Reads an input front to back in fixed little-endian fields; past the end
// every field reads as 0, so any input decodes and the seed files can be
// written field by field (tests/fuzz/make_corpus.py).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zrt::fuzz {

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t U8() { return pos_ < size_ ? data_[pos_++] : 0; }
    int8_t I8() { return static_cast<int8_t>(U8()); }
    uint16_t U16() { return static_cast<uint16_t>(U8() | (U8() << 8)); }
    int16_t I16() { return static_cast<int16_t>(U16()); }
    uint32_t U32() { return U16() | (static_cast<uint32_t>(U16()) << 16); }
    int32_t I32() { return static_cast<int32_t>(U32()); }

    // `n` bytes into `out`, zeros past the end.
    void Bytes(void* out, size_t n) {
        auto* bytes = static_cast<uint8_t*>(out);
        for (size_t i = 0; i < n; ++i) bytes[i] = U8();
    }

    const uint8_t* Rest() const { return data_ + pos_; }
    size_t RestSize() const { return size_ - pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace zrt::fuzz
