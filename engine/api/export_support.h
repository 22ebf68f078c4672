// What every export shares: the per-process state and the call discipline
// of the locking exports.
#pragma once

#include <cstdint>

#include "engine/api/status_codes.h"

namespace zrt {

// Per-process state outside the engine object.
struct ProcessState {
    uint16_t LastStatus = 0;
    uint32_t DeviceOpened = 0;
    uint8_t LampSelection = 0;
};

ProcessState& Process();

// Holds the cross-process BusyFlag for its lifetime: waits in 10 ms sleeps
// while another holder has it, releases it on every way out.
class BusyLock {
public:
    BusyLock();
    ~BusyLock();
    BusyLock(const BusyLock&) = delete;
    BusyLock& operator=(const BusyLock&) = delete;
};

// Stores `code` in LastStatus and turns it into the export result (1 on 0).
inline int32_t RecordStatus(StatusCode code) {
    Process().LastStatus = code;
    return code == status::Ok ? 1 : 0;
}

// The usual shape of a locking export that records its status:
//   return LockedExport([&] { return SomeOperation(Engine(), ...); });
template <class Work>
int32_t LockedExport(Work&& work) {
    BusyLock lock;
    return RecordStatus(static_cast<StatusCode>(work()));
}

}  // namespace zrt
