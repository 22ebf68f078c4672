// On Windows the block lives in a shared data section of the DLL: every
// process that loads it maps the same bytes, initialised by the loader from
// the values below before the first process runs. Behind the 9 bytes the
// section keeps the id of the BusyFlag holder so that a crashed holder can
// be taken over.
#include <windows.h>

#include <cstdlib>

#include "platform/clock.h"
#include "platform/shared_state.h"

namespace zrt::platform {
namespace {

constexpr uint32_t kBusyPollMs = 10;

struct SharedObject {
    SharedStateBlock block;
    uint8_t pad[3];
    int32_t holderPid;  // process holding BusyFlag; 0 while free
};

// Shared sections must hold initialised data.
__attribute__((section(".zrtshr"), shared)) SharedObject g_shared = {{0, {0, 0}, 0, 3}, {0, 0, 0}, 0};

uint32_t* BusyWord() {
    auto* base = reinterpret_cast<unsigned char*>(&g_shared.block);
    return reinterpret_cast<uint32_t*>(base + offsetof(SharedStateBlock, BusyFlag));
}

bool ProcessGone(DWORD pid) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return ::GetLastError() == ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool gone = ::GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
    ::CloseHandle(process);
    return gone;
}

bool TakeOverFromVanishedHolder(int32_t self) {
    int32_t holder = __atomic_load_n(&g_shared.holderPid, __ATOMIC_ACQUIRE);
    if (holder <= 0 || holder == self) return false;
    if (!ProcessGone(static_cast<DWORD>(holder))) return false;
    return __atomic_compare_exchange_n(&g_shared.holderPid, &holder, self, false, __ATOMIC_ACQ_REL,
                                       __ATOMIC_ACQUIRE);
}

}  // namespace

std::string SharedStateName() { return "shared data section"; }

SharedStateBlock& SharedState() { return g_shared.block; }

bool SharedStateIsProcessWide() { return true; }

void AcquireBusyFlag() {
    const int32_t self = static_cast<int32_t>(::GetCurrentProcessId());
    for (;;) {
        if (__atomic_exchange_n(BusyWord(), 1u, __ATOMIC_ACQ_REL) == 0) {
            __atomic_store_n(&g_shared.holderPid, self, __ATOMIC_RELEASE);
            return;
        }
        if (TakeOverFromVanishedHolder(self)) return;
        SleepMs(kBusyPollMs);
    }
}

void ReleaseBusyFlag() {
    __atomic_store_n(&g_shared.holderPid, 0, __ATOMIC_RELEASE);
    __atomic_store_n(BusyWord(), 0u, __ATOMIC_RELEASE);
}

}  // namespace zrt::platform
