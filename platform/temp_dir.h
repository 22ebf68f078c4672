// The user's private directory for the cache, FAU.txt and the infrared file.
#pragma once

#include <cstdio>
#include <string>

namespace zrt::platform {

// $TMPDIR when set, else a per-user private directory (created 0700 and
// checked to belong to the user). Empty when no safe directory is available.
// At most 260 characters, ending with a path separator.
std::string UserTempDirectory();

// The per-user directory "zrt5617-<uid>" under `base`, created 0700 when
// missing; empty when it is a symbolic link, not a directory or not the
// user's. UserTempDirectory uses it under /tmp.
std::string PrivateUserDirectory(const std::string& base);

// Opens a file in `mode` ("rb", "wb", "ab", "r+b") without following a
// symbolic link at the final component; nullptr on failure.
std::FILE* OpenFileNoFollow(const std::string& path, const char* mode);

// Replaces `path` by `tempPath` atomically; false on failure.
bool ReplaceFile(const std::string& tempPath, const std::string& path);

}  // namespace zrt::platform
