// Keeps a test program off the user's real shared block and temporary
// directory: a fresh directory becomes TMPDIR and a name of its own
// ZRT_SHARED_NAME, both set before the first use (the block opens lazily)
// and removed when the program ends.
#pragma once

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace zrt::test {

// A fresh directory under the system's temporary directory, removed with
// everything in it.
class ScratchDir {
public:
    explicit ScratchDir(const std::filesystem::path& base = BaseTemp()) {
        std::string pattern = (base / "zrt-test-XXXXXX").string();
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

    // Where scratch directories go: the TMPDIR the program was started with.
    static const std::filesystem::path& BaseTemp() {
        static const std::filesystem::path base = [] {
            const char* tmpdir = std::getenv("TMPDIR");
            return std::filesystem::path(tmpdir && *tmpdir ? tmpdir : "/tmp");
        }();
        return base;
    }

private:
    std::filesystem::path path_;
};

class ProcessEnvironment final : public ::testing::Environment {
public:
    // A child started by a test (ZRT_CHILD_ROLE set) works in the block and
    // directory its parent named and leaves their removal to the parent,
    // which also covers a child that is killed.
    explicit ProcessEnvironment(const std::string& suite)
        : sharedName_("/zrt-test-" + suite + "-" + std::to_string(getpid())),
          isChild_(std::getenv("ZRT_CHILD_ROLE") != nullptr) {
        ScratchDir::BaseTemp();
        if (isChild_) {
            if (const char* dir = std::getenv("ZRT_CHILD_DIR")) setenv("TMPDIR", dir, 1);
            return;
        }
        scratch_.emplace();
        setenv("ZRT_SHARED_NAME", sharedName_.c_str(), 1);
        setenv("TMPDIR", scratch_->path().c_str(), 1);
    }
    void TearDown() override {
        if (isChild_) return;
        shm_unlink(sharedName_.c_str());
        scratch_.reset();
    }

private:
    std::string sharedName_;
    bool isChild_;
    std::optional<ScratchDir> scratch_;
};

// Call once per program from a namespace-scope initialiser.
inline ProcessEnvironment* InstallProcessEnvironment(const std::string& suite) {
    auto* environment = new ProcessEnvironment(suite);
    ::testing::AddGlobalTestEnvironment(environment);
    return environment;
}

}  // namespace zrt::test
