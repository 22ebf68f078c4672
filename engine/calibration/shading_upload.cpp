#include "engine/calibration/shading_upload.h"

#include <new>
#include <vector>

#include "engine/api/scanner_engine.h"

namespace zrt {

bool UploadShading(ScannerEngine& engine, uint32_t table, uint32_t index) {
    if (table > 3) return false;
    ShadingTables& tables = engine.shading;
    if (!ShadingTables::Present(tables.ShadingGain[table]) || !ShadingTables::Present(tables.ShadingOffset[table]))
        return false;
    const uint32_t count = tables.ShadingEntryCount;
    if (count > kShadingEntries) return false;

    const uint64_t used = (uint64_t(count) + index) * 4;
    const uint64_t length = (used + 15) / 16 * 16;
    if (length > 0xFFFFFFFFu) return false;
    std::vector<uint8_t> buffer;
    try {
        buffer.assign(length, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const uint16_t* offset = tables.ShadingOffset[table].data();
    const uint16_t* gain = tables.ShadingGain[table].data();
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* at = &buffer[(size_t(index) + i) * 4];
        at[0] = static_cast<uint8_t>(offset[i]);
        at[1] = static_cast<uint8_t>(offset[i] >> 8);
        at[2] = static_cast<uint8_t>(gain[i]);
        at[3] = static_cast<uint8_t>(gain[i] >> 8);
    }
    return engine.device.WriteTableMemory(engine.device.ShadingAddress[table], static_cast<uint32_t>(length),
                                          buffer.data());
}

}  // namespace zrt
