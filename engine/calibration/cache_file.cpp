#include "engine/calibration/cache_file.h"

#include <cstring>

#include "platform/clock.h"
#include "platform/temp_dir.h"

namespace zrt {
namespace {

constexpr int kOpenRetries = 5;
constexpr uint32_t kRetrySleepMs = 10;

// "rb+" and "r+b" are the same mode; the platform opener knows the latter.
const char* PlatformMode(const char* mode) {
    if (std::strcmp(mode, "rb+") == 0) return "r+b";
    return mode;
}

}  // namespace

bool CacheFile::Open(const std::string& path, const char* mode) {
    Close();
    const char* platformMode = PlatformMode(mode);
    for (int attempt = 0; attempt <= kOpenRetries; ++attempt) {
        stream_ = platform::OpenFileNoFollow(path, platformMode);
        if (stream_ != nullptr) return true;
        if (attempt < kOpenRetries) platform::SleepMs(kRetrySleepMs);
    }
    return false;
}

size_t CacheFile::Read(void* buffer, size_t size, size_t count) {
    if (stream_ == nullptr) return 0;
    return std::fread(buffer, size, count, stream_);
}

size_t CacheFile::Write(const void* buffer, size_t size, size_t count) {
    if (stream_ == nullptr) return 0;
    return std::fwrite(buffer, size, count, stream_);
}

bool CacheFile::Seek(long offset) {
    if (stream_ == nullptr) return false;
    return std::fseek(stream_, offset, SEEK_SET) == 0;
}

long CacheFile::Length() {
    if (stream_ == nullptr) return -1;
    if (std::fseek(stream_, 0, SEEK_END) != 0) return -1;
    const long length = std::ftell(stream_);
    if (std::fseek(stream_, 0, SEEK_SET) != 0) return -1;
    return length;
}

bool CacheFile::Close() {
    if (stream_ == nullptr) return false;
    const bool ok = std::fclose(stream_) == 0;
    stream_ = nullptr;
    return ok;
}

}  // namespace zrt
