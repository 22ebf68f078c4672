// The 9-byte block shared by every process that loads the engine, and the
// cross-process busy flag that serialises the locking exports.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zrt::platform {

#pragma pack(push, 1)
struct SharedStateBlock {
    uint16_t OriginOffset;     // motor steps from home to the scan origin; 0 = not powered up
    uint8_t reserved[2];
    uint32_t BusyFlag;         // 1 while some export of some process holds the device
    uint8_t FAUScanPosition;   // film adapter scan position, 2 or 3
};
#pragma pack(pop)
static_assert(sizeof(SharedStateBlock) == 9);
static_assert(offsetof(SharedStateBlock, BusyFlag) == 4);
static_assert(offsetof(SharedStateBlock, FAUScanPosition) == 8);

// The process's view of the shared block. Opened on first use; the name of
// the backing object can be overridden with ZRT_SHARED_NAME so that test
// processes do not share one.
SharedStateBlock& SharedState();

// Takes BusyFlag: one atomic test-and-set, 10 ms sleeps while another holder
// has it. A holder process that no longer exists loses the flag.
void AcquireBusyFlag();
void ReleaseBusyFlag();

}  // namespace zrt::platform
