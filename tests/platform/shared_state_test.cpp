// The shared block across real processes: each child is this test program
// started afresh in one of the roles below, so it opens the block by name
// exactly as a second application would.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine/api/export_support.h"
#include "platform/clock.h"
#include "platform/shared_state.h"
#include "tests/platform/test_environment.h"
#include "zrtl5617.h"

extern char** environ;

namespace zrt {
namespace {

namespace fs = std::filesystem;

bool Exists(const std::string& path) { return fs::exists(path); }

void Touch(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file) std::fclose(file);
}

// Polls in 10 ms steps for at most `limitMs` of wall time.
bool WaitFor(const std::string& path, int limitMs = 20000) {
    for (int waited = 0; waited < limitMs; waited += 10) {
        if (Exists(path)) return true;
        platform::SleepMs(10);
    }
    return Exists(path);
}

std::string SelfPath() {
    char path[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

pid_t SpawnRole(const std::string& role, const std::string& sharedName, const std::string& dir) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("ZRT_", 0) == 0) continue;
        env.push_back(entry);
    }
    env.push_back("ZRT_CHILD_ROLE=" + role);
    env.push_back("ZRT_CHILD_DIR=" + dir);
    env.push_back("ZRT_SHARED_NAME=" + sharedName);
    std::vector<char*> envp;
    for (auto& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);

    const std::string self = SelfPath();
    std::string filter = "--gtest_filter=SharedStateChild.Role";
    char* argv[] = {const_cast<char*>(self.c_str()), filter.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = dir + "/" + role + "." + std::to_string(std::rand()) + ".log";
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int ExitCodeOf(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int RunRole(const std::string& role, const std::string& sharedName, const std::string& dir) {
    const pid_t pid = SpawnRole(role, sharedName, dir);
    return pid > 0 ? ExitCodeOf(pid) : -1;
}

// What a child does; selected by ZRT_CHILD_ROLE, skipped in a normal run.
TEST(SharedStateChild, Role) {
    const char* role = std::getenv("ZRT_CHILD_ROLE");
    const char* dirValue = std::getenv("ZRT_CHILD_DIR");
    if (!role || !dirValue) GTEST_SKIP() << "runs only as a child of the shared-state tests";
    const std::string dir = dirValue;
    const std::string which = role;
    auto& shared = platform::SharedState();
    ASSERT_TRUE(platform::SharedStateIsProcessWide());

    if (which == "fresh") {
        EXPECT_EQ(shared.OriginOffset, 0);
        EXPECT_EQ(shared.BusyFlag, 0u);
        EXPECT_EQ(shared.FAUScanPosition, 3);
        shared.OriginOffset = 300;
        shared.FAUScanPosition = 2;
    } else if (which == "written") {
        EXPECT_EQ(shared.OriginOffset, 300);
        EXPECT_EQ(shared.FAUScanPosition, 2);
    } else if (which == "count") {
        BusyLock lock;
        const uint16_t seen = shared.OriginOffset;
        platform::SleepMs(1);  // widen the window a missing lock would lose an update in
        shared.OriginOffset = static_cast<uint16_t>(seen + 1);
    } else if (which == "hold" || which == "hold-until-killed") {
        BusyLock lock;
        Touch(dir + "/held");
        if (which == "hold") {
            ASSERT_TRUE(WaitFor(dir + "/release"));
        } else {
            WaitFor(dir + "/never", 60000);
            FAIL() << "was not killed";
        }
    } else {
        FAIL() << "unknown role " << which;
    }
}

// Reads the first bytes of a shared object directly, not through the block
// of this process.
bool ReadObject(const std::string& name, platform::SharedStateBlock& block, mode_t& mode) {
    const int fd = shm_open(name.c_str(), O_RDONLY, 0);
    if (fd < 0) return false;
    struct stat st {};
    fstat(fd, &st);
    mode = st.st_mode & 0777;
    void* memory = mmap(nullptr, sizeof block, PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    if (memory == MAP_FAILED) return false;
    std::memcpy(&block, memory, sizeof block);
    munmap(memory, sizeof block);
    return true;
}

class SharedStateProcesses : public ::testing::Test {
protected:
    void TearDown() override {
        for (const auto& name : names) shm_unlink(name.c_str());
    }
    std::string uniqueName(const char* tag) {
        names.push_back("/zrt-test-shared-" + std::to_string(getpid()) + "-" + tag);
        return names.back();
    }
    std::vector<std::string> names;
    test::ScratchDir dir;
};

TEST_F(SharedStateProcesses, FirstProcessInitialisesLaterOnesShareAndNamesIsolate) {
    const std::string first = uniqueName("first");
    const std::string other = uniqueName("other");
    // "fresh" checks the initial values, then changes them.
    ASSERT_EQ(RunRole("fresh", first, dir.path()), 0);
    // A second process finds the changed values: it did not initialise again.
    EXPECT_EQ(RunRole("written", first, dir.path()), 0);
    // Another name is another block.
    EXPECT_EQ(RunRole("fresh", other, dir.path()), 0);

    platform::SharedStateBlock block{};
    mode_t mode = 0;
    ASSERT_TRUE(ReadObject(first, block, mode));
    EXPECT_EQ(block.OriginOffset, 300);
    EXPECT_EQ(block.FAUScanPosition, 2);
    EXPECT_EQ(mode, 0600u);
}

TEST_F(SharedStateProcesses, ProcessesStartingTogetherInitialiseOnceAndSerialise) {
    const std::string name = uniqueName("together");
    constexpr int kProcesses = 6;
    std::vector<pid_t> children;
    for (int i = 0; i < kProcesses; ++i) children.push_back(SpawnRole("count", name, dir.path()));
    for (pid_t child : children) {
        ASSERT_GT(child, 0);
        EXPECT_EQ(ExitCodeOf(child), 0);
    }
    platform::SharedStateBlock block{};
    mode_t mode = 0;
    ASSERT_TRUE(ReadObject(name, block, mode));
    // A second initialisation, or two holders at once, would lose a count.
    EXPECT_EQ(block.OriginOffset, kProcesses);
    EXPECT_EQ(block.BusyFlag, 0u);
    EXPECT_EQ(block.FAUScanPosition, 3);
}

// Runs TerminateScanner on a thread so that the test can see whether it
// returned while another process holds the flag.
class TerminateOnThread {
public:
    TerminateOnThread() : thread_([this] { result_ = TerminateScanner(0); done_ = true; }) {}
    ~TerminateOnThread() {
        if (thread_.joinable()) thread_.join();
    }
    bool done() const { return done_; }
    int32_t join() {
        thread_.join();
        return result_;
    }
    // Bounded wait in wall time; false if it never returned.
    bool waitDone(int limitMs = 20000) {
        for (int waited = 0; waited < limitMs && !done_; waited += 10) platform::SleepMs(10);
        return done_;
    }

private:
    std::atomic<bool> done_{false};
    int32_t result_ = 0;
    std::thread thread_;
};

TEST_F(SharedStateProcesses, LockingExportWaitsUntilTheOtherProcessReleases) {
    const std::string name = platform::SharedStateName();  // this process's block
    const pid_t holder = SpawnRole("hold", name, dir.path());
    ASSERT_GT(holder, 0);
    ASSERT_TRUE(WaitFor(dir.file("held")));
    EXPECT_EQ(platform::SharedState().BusyFlag, 1u);

    Process().LastStatus = status::MotionTimeout;
    TerminateOnThread terminate;
    platform::SleepMs(100);
    EXPECT_FALSE(terminate.done()) << "ran while another process held the flag";
    // The status query takes no lock.
    uint16_t value = 0;
    EXPECT_EQ(GetScannerStatus(0, &value), 1);
    EXPECT_EQ(value, status::MotionTimeout);

    Touch(dir.file("release"));
    EXPECT_EQ(terminate.join(), 1);
    EXPECT_EQ(Process().LastStatus, status::Ok);
    EXPECT_EQ(ExitCodeOf(holder), 0);
    EXPECT_EQ(platform::SharedState().BusyFlag, 0u);
}

class KilledHolder : public SharedStateProcesses, public ::testing::WithParamInterface<bool> {};

TEST_P(KilledHolder, FlagIsTakenOverFromAHolderThatNoLongerExists) {
    const bool reapedFirst = GetParam();  // else it lingers as a zombie
    const pid_t holder = SpawnRole("hold-until-killed", platform::SharedStateName(), dir.path());
    ASSERT_GT(holder, 0);
    ASSERT_TRUE(WaitFor(dir.file("held")));
    ASSERT_EQ(kill(holder, SIGKILL), 0);
    if (reapedFirst) {
        EXPECT_EQ(ExitCodeOf(holder), 128 + SIGKILL);
    }

    TerminateOnThread terminate;
    if (!terminate.waitDone()) {
        ADD_FAILURE() << "the flag of a killed holder was never taken over";
        platform::ReleaseBusyFlag();
    }
    EXPECT_EQ(terminate.join(), 1);
    if (!reapedFirst) {
        EXPECT_EQ(ExitCodeOf(holder), 128 + SIGKILL);
    }
    EXPECT_EQ(platform::SharedState().BusyFlag, 0u);
}

INSTANTIATE_TEST_SUITE_P(ReapedOrZombie, KilledHolder, ::testing::Bool());

}  // namespace
}  // namespace zrt
