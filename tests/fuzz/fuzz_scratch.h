// A directory of this fuzzing process for the files that the file-based
// readers are handed, removed with its contents when the process ends. It
// lives under $TMPDIR (scripts/fuzz points that at its own work directory),
// else under /tmp.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace zrt::fuzz {

class Scratch {
public:
    static Scratch& Get() {
        static Scratch scratch;
        return scratch;
    }

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

    // Replaces the file `name` by the bytes of one input; its path.
    std::string Write(const std::string& name, const uint8_t* data, size_t size) const {
        std::string path = File(name);
        // A new file each time: truncating one in place makes some file
        // systems write it out at close, a hundred times slower.
        std::remove(path.c_str());
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) std::abort();
        if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
        if (std::fclose(f) != 0) std::abort();
        return path;
    }

private:
    Scratch() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/zrt-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        path_ = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    std::string path_;
};

}  // namespace zrt::fuzz
