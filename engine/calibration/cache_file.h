// A small owner of one open file stream for the shading cache and use-count
// files. Opening never follows a symbolic link, and a failed open is retried
// a few times because another process may be replacing the file just then.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace zrt {

class CacheFile {
public:
    CacheFile() = default;
    ~CacheFile() { Close(); }
    CacheFile(const CacheFile&) = delete;
    CacheFile& operator=(const CacheFile&) = delete;

    // Closes any stream still held, then opens `path` ("rb", "wb", "rb+");
    // a failed open is tried five more times, 10 ms apart.
    bool Open(const std::string& path, const char* mode);
    bool IsOpen() const { return stream_ != nullptr; }

    // Elements transferred; 0 on a closed object.
    size_t Read(void* buffer, size_t size, size_t count);
    size_t Write(const void* buffer, size_t size, size_t count);
    // Offset from the start; false on a closed object or a failed seek.
    bool Seek(long offset);
    // Bytes in the file (the position is left at the start); -1 on failure.
    long Length();
    // false when buffered data could not be written out or the object held
    // no stream; afterwards the object holds no stream.
    bool Close();

private:
    std::FILE* stream_ = nullptr;
};

}  // namespace zrt
