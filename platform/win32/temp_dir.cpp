// On Windows the temporary directory that the system reports is already the
// user's own (under the profile); files there are still opened only when
// they are plain files, not links or junctions planted in their place.
#include "platform/temp_dir.h"

#include <windows.h>

// <windows.h> maps ReplaceFile to its own function.
#undef ReplaceFile

#include <cstdlib>

namespace zrt::platform {
namespace {

constexpr size_t kMaxPathLength = 260;

bool IsReparsePoint(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

std::string PrivateUserDirectory(const std::string& base) {
    std::string path = base;
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
    return path.size() > kMaxPathLength ? std::string() : path;
}

std::string UserTempDirectory() {
    // TMPDIR lets tests keep their files apart, as elsewhere.
    if (const char* tmpdir = std::getenv("TMPDIR"); tmpdir && *tmpdir) return PrivateUserDirectory(tmpdir);
    char buffer[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathA(sizeof buffer, buffer);
    if (n == 0 || n > MAX_PATH) return {};
    return PrivateUserDirectory(std::string(buffer, n));
}

std::FILE* OpenFileNoFollow(const std::string& path, const char* mode) {
    if (path.empty() || !mode || IsReparsePoint(path)) return nullptr;
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return nullptr;
    return std::fopen(path.c_str(), mode);
}

bool ReplaceFile(const std::string& tempPath, const std::string& path) {
    return ::MoveFileExA(tempPath.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace zrt::platform
