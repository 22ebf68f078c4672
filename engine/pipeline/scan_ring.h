// The ring buffer between the scan's reader thread and the caller's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace zrt {

inline constexpr uint32_t kScanRingCapacity = 0x200000;

// One producer (the reader thread puts) and one consumer (the caller's
// thread takes). Each index belongs to one side; only the fill count is
// shared, so it is atomic and published after the bytes it counts.
class ScanRing {
public:
    explicit ScanRing(uint32_t capacity = kScanRingCapacity);
    ScanRing(const ScanRing&) = delete;
    ScanRing& operator=(const ScanRing&) = delete;

    // False when the buffer could not be allocated.
    bool ok() const { return data_ != nullptr; }

    // 0, or 1 when the free space is smaller than n (nothing written).
    int Put(const uint8_t* src, uint32_t n);
    // 0, or 1 when fewer than n bytes are held (nothing taken).
    int Take(uint8_t* dst, uint32_t n);
    uint32_t FreeSpace() const;
    uint32_t Used() const { return used_.load(std::memory_order_acquire); }
    // Frees the buffer; the ring holds nothing afterwards.
    void Release();

    uint32_t capacity() const { return capacity_; }

private:
    std::unique_ptr<uint8_t[]> data_;
    uint32_t capacity_;
    uint32_t readIndex_ = 0;   // the taking side's
    uint32_t writeIndex_ = 0;  // the putting side's
    std::atomic<uint32_t> used_{0};
};

}  // namespace zrt
