#include "engine/pipeline/infrared_file.h"

#include <cstring>
#include <new>

#include "platform/temp_dir.h"

namespace zrt {

std::string InfraredFilePath() {
    std::string dir = platform::UserTempDirectory();
    if (dir.empty()) {
        return {};
    }
    return dir + kInfraredFileName;
}

int OpenInfraredFile(ScannerEngine& engine, int replay) {
    std::string path = InfraredFilePath();
    if (path.empty()) {
        engine.scan.IRFile.Close();
        return 1;
    }
    engine.scan.IRFile.Open(path, replay == 1 ? "rb" : "wb");
    return 1;
}

bool ReplayInfrared(ScannerEngine& engine, uint8_t* dst, uint32_t count) {
    std::vector<uint16_t>& samples = engine.scan.ReplayBuffer;
    try {
        samples.assign(count, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    size_t got = engine.scan.IRFile.Read(samples.data(), sizeof(uint16_t), count);
    if (got == 0) {
        return false;
    }
    // Samples are stored little-endian; the replay keeps their high byte.
    const auto* bytes = reinterpret_cast<const uint8_t*>(samples.data());
    for (uint32_t i = 0; i < count; ++i) {
        dst[i] = bytes[2 * size_t{count - 1 - i} + 1];
    }
    return true;
}

bool WriteInfraredPlane(ScannerEngine& engine, const uint8_t* src, uint32_t bytes) {
    return engine.scan.IRFile.Write(src, 1, bytes) != 0;
}

}  // namespace zrt
