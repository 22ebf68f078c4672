#include "sim/faults.h"

namespace zrt::sim {

bool FaultState::nextTransferFails() {
    ++transfers_;
    if (unplugged_) return true;
    if (options_.failAt != 0 && transfers_ == options_.failAt) return true;
    return options_.failFrom != 0 && transfers_ >= options_.failFrom;
}

bool FaultState::pinned(uint8_t reg, uint8_t& value) const {
    auto found = options_.pins.find(reg);
    if (found == options_.pins.end()) return false;
    value = found->second;
    return true;
}

uint64_t FaultState::admitImageBytes(uint64_t bytes) {
    if (!options_.unplugArmed) return bytes;
    uint64_t left = options_.unplugAfterBytes > imageBytes_ ? options_.unplugAfterBytes - imageBytes_ : 0;
    uint64_t admitted = bytes < left ? bytes : left;
    imageBytes_ += admitted;
    if (imageBytes_ >= options_.unplugAfterBytes) unplugDue_ = true;
    return admitted;
}

}  // namespace zrt::sim
