#include "engine/pipeline/scan_ring.h"

#include <cstring>
#include <new>

namespace zrt {

ScanRing::ScanRing(uint32_t capacity)
    : data_(new (std::nothrow) uint8_t[capacity]()), capacity_(capacity) {}

int ScanRing::Put(const uint8_t* src, uint32_t n) {
    if (data_ == nullptr || FreeSpace() < n) {
        return 1;
    }
    uint32_t first = capacity_ - writeIndex_;
    if (n > first) {
        std::memcpy(data_.get() + writeIndex_, src, first);
        std::memcpy(data_.get(), src + first, n - first);
        writeIndex_ = n - first;
    } else {
        std::memcpy(data_.get() + writeIndex_, src, n);
        writeIndex_ += n;
        if (writeIndex_ == capacity_) {
            writeIndex_ = 0;
        }
    }
    used_.fetch_add(n, std::memory_order_acq_rel);
    return 0;
}

int ScanRing::Take(uint8_t* dst, uint32_t n) {
    if (data_ == nullptr || Used() < n) {
        return 1;
    }
    uint32_t first = capacity_ - readIndex_;
    if (n > first) {
        std::memcpy(dst, data_.get() + readIndex_, first);
        std::memcpy(dst + first, data_.get(), n - first);
        readIndex_ = n - first;
    } else {
        std::memcpy(dst, data_.get() + readIndex_, n);
        readIndex_ += n;
        if (readIndex_ == capacity_) {
            readIndex_ = 0;
        }
    }
    used_.fetch_sub(n, std::memory_order_acq_rel);
    return 0;
}

uint32_t ScanRing::FreeSpace() const {
    uint32_t used = Used();
    return used > capacity_ ? 0 : capacity_ - used;
}

void ScanRing::Release() {
    data_.reset();
    readIndex_ = 0;
    writeIndex_ = 0;
    used_.store(0, std::memory_order_release);
}

}  // namespace zrt
