// Failing transfers on demand: the n-th transfer once or from then on, every
// write of chosen registers, pinned register values, a device that stays busy
// or vanishes after so many image bytes.
#pragma once

#include <cstdint>

#include "sim/sim_options.h"

namespace zrt::sim {

class FaultState {
public:
    explicit FaultState(const FaultOptions& options) : options_(options) {}
    FaultOptions& options() { return options_; }
    const FaultOptions& options() const { return options_; }

    // Counts a transfer (from 1) and tells whether it is to fail.
    bool nextTransferFails();
    uint64_t transfers() const { return transfers_; }
    void resetCount() { transfers_ = 0; }

    bool registerWriteFails(uint32_t reg) const { return options_.failRegisterWrite.count(reg) != 0; }
    bool pinned(uint8_t reg, uint8_t& value) const;

    bool unplugged() const { return unplugged_; }
    void unplug() { unplugged_ = true; }
    void replug() { unplugged_ = unplugDue_ = false; imageBytes_ = 0; }
    // How many of `bytes` image bytes may still be delivered. Once the budget
    // is spent the device vanishes, after the read that delivers them.
    uint64_t admitImageBytes(uint64_t bytes);
    void applyDueUnplug() { if (unplugDue_) unplugged_ = true; }

private:
    FaultOptions options_;
    uint64_t transfers_ = 0;
    uint64_t imageBytes_ = 0;
    bool unplugged_ = false;
    bool unplugDue_ = false;
};

}  // namespace zrt::sim
