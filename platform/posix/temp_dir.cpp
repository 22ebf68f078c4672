// The engine keeps its cache files and the infrared file in a directory
// only the user can write: a predictable file name in a shared, world-
// writable directory would let another user plant a link there.
#include "platform/temp_dir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zrt::platform {
namespace {

constexpr size_t kMaxPathLength = 260;

// A directory we own, reached without a symbolic link, that no one else
// can write into. A directory of ours with loose permissions is tightened.
bool IsPrivateDirectory(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return false;
    if ((st.st_mode & 077) == 0) return true;
    return chmod(path.c_str(), 0700) == 0;
}

struct OpenMode {
    int flags;
    bool valid;
};

OpenMode ParseMode(const char* mode) {
    if (!mode || !*mode) return {0, false};
    const bool plus = std::strchr(mode, '+') != nullptr;
    switch (mode[0]) {
        case 'r': return {plus ? O_RDWR : O_RDONLY, true};
        case 'w': return {(plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC, true};
        case 'a': return {(plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND, true};
        default: return {0, false};
    }
}

}  // namespace

std::string PrivateUserDirectory(const std::string& base) {
    std::string path = base;
    if (!path.empty() && path.back() != '/') path += '/';
    path += "zrt5617-" + std::to_string(geteuid());
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return {};
    if (!IsPrivateDirectory(path)) return {};
    path += '/';
    if (path.size() > kMaxPathLength) return {};
    return path;
}

std::string UserTempDirectory() {
    const char* tmpdir = std::getenv("TMPDIR");
    if (!tmpdir || !*tmpdir) return PrivateUserDirectory("/tmp");
    std::string path = tmpdir;
    if (path.back() != '/') path += '/';
    if (path.size() > kMaxPathLength) return {};
    return path;
}

std::FILE* OpenFileNoFollow(const std::string& path, const char* mode) {
    const OpenMode parsed = ParseMode(mode);
    if (!parsed.valid || path.empty()) return nullptr;
    // O_NONBLOCK keeps a planted FIFO from blocking the open; only a
    // regular file is accepted.
    const int fd = open(path.c_str(), parsed.flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    const int status = fcntl(fd, F_GETFL);
    if (status < 0 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        close(fd);
        return nullptr;
    }
    std::FILE* file = fdopen(fd, mode);
    if (!file) close(fd);
    return file;
}

bool ReplaceFile(const std::string& tempPath, const std::string& path) {
    // The data reaches the disk before the name does: after a power loss the
    // name holds the old file or the whole new one, never a zero-filled one.
    const int fd = open(tempPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = fsync(fd) == 0;
    close(fd);
    return synced && std::rename(tempPath.c_str(), path.c_str()) == 0;
}

}  // namespace zrt::platform
