// FAU.txt as any program or user might have left it in the temporary
// directory: the reader takes it from an in-memory stream.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "engine/control/fau_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An empty buffer is no valid memory stream; an empty file reads the same.
    std::FILE* file = size > 0 ? fmemopen(const_cast<uint8_t*>(data), size, "rb")
                               : std::fopen("/dev/null", "rb");
    if (!file) std::abort();
    uint8_t position = 0xA5;
    const bool found = zrt::ParseFauSettings(file, position);
    std::fclose(file);
    // Without the key the caller's value stays as it was.
    if (!found && position != 0xA5) std::abort();
    return 0;
}
