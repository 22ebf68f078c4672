// The frame finder's settings file: read on top of an empty record, as the
// first VORN2_Initialize of a process does.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "framefinder/search.h"
#include "framefinder/settings.h"
#include "tests/fuzz/fuzz_scratch.h"
#include "zrts5617.h"

namespace {

bool Within(int32_t count, int32_t capacity) { return count >= 0 && count <= capacity; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = zrt::fuzz::Scratch::Get().File("settings.txt");
    static auto settings = std::make_unique<FrameSettings>();
    zrt::fuzz::Scratch::Get().Write("settings.txt", data, size);
    std::memset(settings.get(), 0, sizeof(FrameSettings));
    const int32_t rc = zrt::ff::ReadSettingsFile(path.c_str(), *settings);
    if (rc != ZRTS_OK && rc != ZRTS_OUT_OF_MEMORY) std::abort();
    // The search trusts the counts to fit the record's arrays.
    if (!Within(settings->debug_count, ZRTS_MAX_DEBUG_FRAMES) ||
        !Within(settings->mount_count, ZRTS_MAX_MOUNTS) ||
        !Within(settings->sleeve_count, ZRTS_MAX_HOLDERS) ||
        !Within(settings->blowne_count, ZRTS_MAX_HOLDERS) ||
        settings->external_module_name[ZRTS_MODULE_NAME_BYTES - 1] != '\0')
        std::abort();
    FrameSettings sanitized = zrt::ff::SanitizedSettings(*settings);
    (void)sanitized;
    return 0;
}
