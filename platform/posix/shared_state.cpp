// The shared block lives in a POSIX shared-memory object readable and
// writable by the owning user only. Behind the 9 bytes every process sees,
// the object carries an "initialised" word and the process id of the
// BusyFlag holder; neither is part of the block's layout.
#include "platform/shared_state.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/clock.h"

namespace zrt::platform {
namespace {

constexpr uint32_t kInitialisedMagic = 0x5A525435;
constexpr uint32_t kBusyPollMs = 10;

struct SharedObject {
    SharedStateBlock block;
    uint8_t pad[3];
    uint32_t initialised;  // kInitialisedMagic once the block holds its initial values
    int32_t holderPid;     // process holding BusyFlag; 0 while free or being taken
    uint32_t reserved;
};
static_assert(offsetof(SharedObject, initialised) == 12);
static_assert(offsetof(SharedObject, holderPid) == 16);

struct Mapping {
    SharedObject* object;
    bool processWide;
};

void InitialiseObject(SharedObject& object) {
    object.block.OriginOffset = 0;
    object.block.reserved[0] = 0;
    object.block.reserved[1] = 0;
    object.block.BusyFlag = 0;
    object.block.FAUScanPosition = 3;
    object.holderPid = 0;
    __atomic_store_n(&object.initialised, kInitialisedMagic, __ATOMIC_RELEASE);
}

// An object planted by another user, or one others could write, is not ours
// to trust with the device lock.
bool OwnedPrivately(const struct stat& st) {
    return st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

SharedObject* MapInitialisedObject(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !OwnedPrivately(st)) return nullptr;
    if (static_cast<size_t>(st.st_size) < sizeof(SharedObject) &&
        ftruncate(fd, sizeof(SharedObject)) != 0) {
        return nullptr;
    }
    void* memory = mmap(nullptr, sizeof(SharedObject), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) return nullptr;
    auto* object = static_cast<SharedObject*>(memory);
    // A creator that died half-way left the word unset; whoever comes next
    // initialises instead.
    if (__atomic_load_n(&object->initialised, __ATOMIC_ACQUIRE) != kInitialisedMagic) {
        InitialiseObject(*object);
    }
    return object;
}

SharedObject* OpenSharedObject(const std::string& name) {
    const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT, 0600);
    if (fd < 0) return nullptr;
    // The file lock makes "first process initialises" race-free; the kernel
    // drops it if its holder dies.
    SharedObject* object = nullptr;
    if (flock(fd, LOCK_EX) == 0) {
        object = MapInitialisedObject(fd);
        flock(fd, LOCK_UN);
    }
    close(fd);
    return object;
}

Mapping OpenMapping() {
    if (SharedObject* object = OpenSharedObject(SharedStateName())) return {object, true};
    // Without the shared object the engine still serves this process; it
    // simply cannot see other processes.
    alignas(8) static SharedObject local;
    InitialiseObject(local);
    return {&local, false};
}

Mapping& TheMapping() {
    static Mapping mapping = OpenMapping();
    return mapping;
}

uint32_t* BusyWord(SharedObject& object) {
    auto* base = reinterpret_cast<unsigned char*>(&object.block);
    return reinterpret_cast<uint32_t*>(base + offsetof(SharedStateBlock, BusyFlag));
}

// kill(pid, 0) succeeds for a zombie as well: a holder that died but has
// not been reaped by its parent is just as gone.
bool IsZombie(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    std::FILE* file = std::fopen(path, "r");
    if (!file) return false;
    char line[512] = {};
    const bool got = std::fgets(line, sizeof line, file) != nullptr;
    std::fclose(file);
    if (!got) return false;
    const char* end = std::strrchr(line, ')');
    if (!end || end[1] != ' ') return false;
    return end[2] == 'Z' || end[2] == 'X';
}

bool ProcessGone(pid_t pid) {
    if (kill(pid, 0) == 0) return IsZombie(pid);
    return errno == ESRCH;
}

// Takes the flag over from a holder process that no longer exists. The
// compare-exchange on the holder id lets only one waiter win.
bool TakeOverFromVanishedHolder(SharedObject& object, int32_t self) {
    int32_t holder = __atomic_load_n(&object.holderPid, __ATOMIC_ACQUIRE);
    if (holder <= 0 || holder == self) return false;
    if (!ProcessGone(static_cast<pid_t>(holder))) return false;
    return __atomic_compare_exchange_n(&object.holderPid, &holder, self, false, __ATOMIC_ACQ_REL,
                                       __ATOMIC_ACQUIRE);
}

}  // namespace

std::string SharedStateName() {
    const char* override = std::getenv("ZRT_SHARED_NAME");
    std::string name;
    if (override) {
        name = override;
        while (!name.empty() && name.front() == '/') name.erase(name.begin());
        for (char& c : name) {
            if (c == '/') c = '_';
        }
        if (name.size() > 200) name.resize(200);
    }
    if (name.empty()) name = "zrt5617-shared-" + std::to_string(geteuid());
    return "/" + name;
}

SharedStateBlock& SharedState() { return TheMapping().object->block; }

bool SharedStateIsProcessWide() { return TheMapping().processWide; }

void AcquireBusyFlag() {
    SharedObject& object = *TheMapping().object;
    uint32_t* busy = BusyWord(object);
    const int32_t self = static_cast<int32_t>(getpid());
    for (;;) {
        if (__atomic_exchange_n(busy, 1u, __ATOMIC_ACQ_REL) == 0) {
            __atomic_store_n(&object.holderPid, self, __ATOMIC_RELEASE);
            return;
        }
        if (TakeOverFromVanishedHolder(object, self)) return;
        SleepMs(kBusyPollMs);
    }
}

void ReleaseBusyFlag() {
    SharedObject& object = *TheMapping().object;
    // The holder id is cleared first so that no waiter takes a flag over
    // from a process that released it in the normal way.
    __atomic_store_n(&object.holderPid, 0, __ATOMIC_RELEASE);
    __atomic_store_n(BusyWord(object), 0u, __ATOMIC_RELEASE);
}

}  // namespace zrt::platform
