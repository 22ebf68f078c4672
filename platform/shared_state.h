// The 9-byte block shared by every process that loads the engine, and the
// cross-process busy flag that serialises the locking exports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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

// False when the shared object could not be opened and the block is private
// to this process (the engine still works, but not beside other processes).
bool SharedStateIsProcessWide();

// The name of the backing object: ZRT_SHARED_NAME, or a per-user default.
std::string SharedStateName();

// Takes BusyFlag: one atomic test-and-set, 10 ms sleeps while another holder
// has it. A holder process that no longer exists loses the flag, so an
// application that crashed inside an export does not block the others.
void AcquireBusyFlag();
void ReleaseBusyFlag();

}  // namespace zrt::platform
