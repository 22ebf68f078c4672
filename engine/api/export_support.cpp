#include "engine/api/export_support.h"

#include "platform/shared_state.h"

namespace zrt {

ProcessState& Process() {
    static ProcessState state;
    return state;
}

BusyLock::BusyLock() { platform::AcquireBusyFlag(); }

BusyLock::~BusyLock() { platform::ReleaseBusyFlag(); }

}  // namespace zrt
