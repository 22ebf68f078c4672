#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/temp_dir.h"
#include "tests/platform/test_environment.h"

namespace zrt::platform {
namespace {

namespace fs = std::filesystem;

std::string Contents(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// Sets TMPDIR for one test and puts the program's value back afterwards.
class TmpdirOverride {
public:
    explicit TmpdirOverride(const char* value) {
        const char* old = std::getenv("TMPDIR");
        if (old) saved_ = old, hadValue_ = true;
        if (value) {
            setenv("TMPDIR", value, 1);
        } else {
            unsetenv("TMPDIR");
        }
    }
    ~TmpdirOverride() {
        if (hadValue_) {
            setenv("TMPDIR", saved_.c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
    }

private:
    std::string saved_;
    bool hadValue_ = false;
};

TEST(UserTempDirectory, TmpdirWithTrailingSeparator) {
    test::ScratchDir dir;
    const std::string base = dir.path().string();
    {
        TmpdirOverride tmpdir(base.c_str());
        EXPECT_EQ(UserTempDirectory(), base + "/");
    }
    {
        TmpdirOverride tmpdir((base + "/").c_str());
        EXPECT_EQ(UserTempDirectory(), base + "/");
    }
    {
        const std::string tooLong = "/" + std::string(300, 'x');
        TmpdirOverride tmpdir(tooLong.c_str());
        EXPECT_EQ(UserTempDirectory(), "");
    }
}

TEST(PrivateUserDirectory, CreatedOwnerOnlyAndReusedAfterwards) {
    test::ScratchDir dir;
    const std::string expected = dir.path().string() + "/zrt5617-" + std::to_string(geteuid()) + "/";
    EXPECT_EQ(PrivateUserDirectory(dir.path().string()), expected);
    struct stat st {};
    ASSERT_EQ(lstat(expected.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, geteuid());

    // Loosened permissions are tightened again, the directory kept.
    Write(expected + "keep", "x");
    ASSERT_EQ(chmod(expected.c_str(), 0777), 0);
    EXPECT_EQ(PrivateUserDirectory(dir.path().string()), expected);
    ASSERT_EQ(lstat(expected.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(Contents(expected + "keep"), "x");
}

TEST(PrivateUserDirectory, PlantedLinkOrFileIsRefused) {
    test::ScratchDir dir;
    const std::string name = dir.file("zrt5617-" + std::to_string(geteuid()));
    const std::string elsewhere = dir.file("elsewhere");
    fs::create_directory(elsewhere);
    ASSERT_EQ(symlink(elsewhere.c_str(), name.c_str()), 0);
    EXPECT_EQ(PrivateUserDirectory(dir.path().string()), "");
    fs::remove(name);
    Write(name, "not a directory");
    EXPECT_EQ(PrivateUserDirectory(dir.path().string()), "");
}

TEST(OpenFileNoFollow, LinkAtTheFinalComponentIsNotFollowed) {
    test::ScratchDir dir;
    const std::string target = dir.file("victim");
    Write(target, "precious");
    const std::string link = dir.file("ZRT5617A.SHD");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    for (const char* mode : {"rb", "wb", "ab", "r+b"}) {
        std::FILE* file = OpenFileNoFollow(link, mode);
        EXPECT_EQ(file, nullptr) << mode;
        if (file) std::fclose(file);
    }
    EXPECT_EQ(Contents(target), "precious");
}

TEST(OpenFileNoFollow, WritesCreateOwnerOnlyFilesAndReadBack) {
    test::ScratchDir dir;
    const std::string path = dir.file("ZRT5617G.SHD");
    std::FILE* file = OpenFileNoFollow(path, "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("abc", file);
    std::fclose(file);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);

    file = OpenFileNoFollow(path, "ab");
    ASSERT_NE(file, nullptr);
    std::fputs("def", file);
    std::fclose(file);
    file = OpenFileNoFollow(path, "rb");
    ASSERT_NE(file, nullptr);
    char text[16] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text, file), 6u);
    std::fclose(file);
    EXPECT_STREQ(text, "abcdef");

    EXPECT_EQ(OpenFileNoFollow(dir.file("missing"), "rb"), nullptr);
    EXPECT_EQ(OpenFileNoFollow(path, "x"), nullptr);
    EXPECT_EQ(OpenFileNoFollow(path, ""), nullptr);
}

TEST(OpenFileNoFollow, PlantedFifoIsRefusedWithoutBlocking) {
    test::ScratchDir dir;
    const std::string fifo = dir.file("FAU.txt");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(OpenFileNoFollow(fifo, "rb"), nullptr);
}

TEST(ReplaceFile, TakesThePlaceOfTheOldFile) {
    test::ScratchDir dir;
    Write(dir.file("cache"), "old");
    Write(dir.file("cache.tmp"), "new");
    EXPECT_TRUE(ReplaceFile(dir.file("cache.tmp"), dir.file("cache")));
    EXPECT_EQ(Contents(dir.file("cache")), "new");
    EXPECT_FALSE(fs::exists(dir.file("cache.tmp")));
    EXPECT_FALSE(ReplaceFile(dir.file("cache.tmp"), dir.file("cache")));
    EXPECT_EQ(Contents(dir.file("cache")), "new");
}

}  // namespace
}  // namespace zrt::platform
