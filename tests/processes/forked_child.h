// Engine sessions in forked child processes, one engine each, as separate
// applications run them. The test program itself never touches the engine:
// every child starts from an untouched engine, and each fork happens while
// the program has no thread but its main one. A child reports through its
// exit code and says why on stderr; it ends with _exit so that nothing of
// the test program (gtest's state, buffered output) runs or flushes twice.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/shared_state.h"
#include "tests/platform/test_environment.h"
#include "zrtl5617.h"

namespace zrt::test {

// A child still running after this much wall time is ended by its own alarm,
// so a hang fails the test instead of leaving a process behind.
inline constexpr unsigned kChildAlarmSeconds = 150;

inline uint16_t ChildLastStatus() {
    uint16_t value = 0;
    ::GetScannerStatus(0, &value);
    return value;
}

// In a child: a failed requirement is printed with the engine's last status
// and ends the child's body with exit code 1.
#define REQUIRE_IN_CHILD(condition)                                                                     \
    do {                                                                                                \
        if (!(condition)) {                                                                             \
            std::fprintf(stderr, "%s:%d: child %d: %s failed (last status 0x%04X)\n", __FILE__, __LINE__, \
                         static_cast<int>(getpid()), #condition, ::zrt::test::ChildLastStatus());       \
            return 1;                                                                                   \
        }                                                                                               \
    } while (0)

}  // namespace zrt::test

// Present when the program is built with the leak checker; _exit skips the
// check it would run at exit, so a child asks for it itself.
extern "C" int __lsan_do_recoverable_leak_check() __attribute__((weak));

namespace zrt::test {

inline pid_t ForkChild(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid != 0) return pid;
    alarm(kChildAlarmSeconds);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    int code = body();
    if (__lsan_do_recoverable_leak_check && __lsan_do_recoverable_leak_check() != 0 && code == 0) code = 1;
    _exit(code);
}

// The exit code of `pid`, 128 + the signal that ended it, or -1 when it did
// not end within `limitMs` of wall time (it is then killed).
inline int WaitChild(pid_t pid, uint64_t limitMs = 1000ull * kChildAlarmSeconds) {
    const uint64_t start = platform::SystemClock().nowMs();
    for (;;) {
        int status = 0;
        const pid_t ended = waitpid(pid, &status, WNOHANG);
        if (ended == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (ended < 0) return -1;
        if (platform::SystemClock().nowMs() - start > limitMs) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        platform::SystemClock().sleepMs(5);
    }
}

// Wall-time waits for what another process does. A child with the virtual
// scanner open has virtual time installed, so these use the system clock.
inline bool WaitUntil(const std::function<bool()>& done, uint64_t limitMs = 30000) {
    const uint64_t start = platform::SystemClock().nowMs();
    while (!done()) {
        if (platform::SystemClock().nowMs() - start > limitMs) return false;
        platform::SystemClock().sleepMs(1);
    }
    return true;
}

inline void Touch(const std::string& path) { std::ofstream(path) << ""; }

inline bool WaitForFile(const std::string& path, uint64_t limitMs = 30000) {
    return WaitUntil([&] { return std::filesystem::exists(path); }, limitMs);
}

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// One test's world: a temporary directory that TMPDIR names and a shared
// block of its own, both inherited by the children it forks and removed
// afterwards. The test program keeps its own TMPDIR and block name around it.
class ChildWorld {
public:
    ChildWorld() : sharedName_("/zrt-test-children-" + std::to_string(getpid()) + "-" + std::to_string(++count_)) {
        const char* tmpdir = std::getenv("TMPDIR");
        const char* shared = std::getenv("ZRT_SHARED_NAME");
        savedTmpdir_ = tmpdir ? tmpdir : "";
        savedShared_ = shared ? shared : "";
        setenv("TMPDIR", dir_.path().c_str(), 1);
        setenv("ZRT_SHARED_NAME", sharedName_.c_str(), 1);
    }
    ~ChildWorld() {
        if (block_) munmap(block_, sizeof(platform::SharedStateBlock));
        shm_unlink(sharedName_.c_str());
        Restore("TMPDIR", savedTmpdir_);
        Restore("ZRT_SHARED_NAME", savedShared_);
    }
    ChildWorld(const ChildWorld&) = delete;
    ChildWorld& operator=(const ChildWorld&) = delete;

    std::string file(const std::string& name) const { return dir_.file(name); }

    // The block the children share, mapped read-only here once a child has
    // created it; null before that.
    const volatile platform::SharedStateBlock* block() {
        if (block_) return block_;
        const int fd = shm_open(sharedName_.c_str(), O_RDONLY, 0);
        if (fd < 0) return nullptr;
        struct stat st {};
        if (fstat(fd, &st) == 0 && static_cast<size_t>(st.st_size) >= sizeof(platform::SharedStateBlock)) {
            void* memory = mmap(nullptr, sizeof(platform::SharedStateBlock), PROT_READ, MAP_SHARED, fd, 0);
            if (memory != MAP_FAILED) block_ = static_cast<platform::SharedStateBlock*>(memory);
        }
        close(fd);
        return block_;
    }

    uint32_t busyFlag() {
        const volatile platform::SharedStateBlock* shared = block();
        return shared ? shared->BusyFlag : 0;
    }

private:
    static void Restore(const char* name, const std::string& value) {
        if (value.empty()) {
            unsetenv(name);
        } else {
            setenv(name, value.c_str(), 1);
        }
    }

    static inline int count_ = 0;
    ScratchDir dir_;
    std::string sharedName_;
    std::string savedTmpdir_;
    std::string savedShared_;
    platform::SharedStateBlock* block_ = nullptr;
};

}  // namespace zrt::test
