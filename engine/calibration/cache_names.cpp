#include "engine/calibration/cache_names.h"

#include "platform/temp_dir.h"

namespace zrt {
namespace {

struct CacheEntry {
    int32_t resolution;
    const char* name;
};

constexpr CacheEntry kDocumentFiles[] = {
    {600, "ZRT5617A.SHD"}, {1200, "ZRT5617B.SHD"}, {4800, "ZRT5617C.SHD"}};
constexpr CacheEntry kFilmFiles[] = {
    {600, "ZRT5617D.SHD"}, {1200, "ZRT5617E.SHD"}, {2400, "ZRT5617H.SHD"}, {4800, "ZRT5617F.SHD"}};
constexpr const char* kUnknownFile = "Unknown.shd";
constexpr const char* kDocumentUseCount = "ZRT5617G.SHD";
constexpr const char* kFilmUseCount = "ZRT5617I.SHD";

constexpr uint32_t kDocumentWidthUnits = 40832;
constexpr uint32_t kFilmWidthUnits = 6400;

bool IsDocument(uint8_t source) { return (source & 1) != 0; }

std::string InTempDirectory(const char* name) {
    std::string directory = platform::UserTempDirectory();
    if (directory.empty()) return {};
    return directory + name;
}

}  // namespace

const char* ShadingCacheBaseName(uint16_t resolution, uint8_t source) {
    const auto signedResolution = static_cast<int32_t>(static_cast<int16_t>(resolution));
    if (IsDocument(source)) {
        for (const auto& entry : kDocumentFiles)
            if (entry.resolution == signedResolution) return entry.name;
        return kUnknownFile;
    }
    for (const auto& entry : kFilmFiles)
        if (entry.resolution == signedResolution) return entry.name;
    return kUnknownFile;
}

const char* UseCountBaseName(uint8_t source) {
    return IsDocument(source) ? kDocumentUseCount : kFilmUseCount;
}

std::string ShadingCacheFileName(uint16_t resolution, uint8_t source) {
    return InTempDirectory(ShadingCacheBaseName(resolution, source));
}

std::string UseCountFileName(uint8_t source) {
    return InTempDirectory(UseCountBaseName(source));
}

uint32_t CalibrationPixels(uint32_t resolution, uint8_t source) {
    return resolution * (IsDocument(source) ? kDocumentWidthUnits : kFilmWidthUnits) / 4800;
}

ShadingFileLayout LayoutFor(uint16_t resolution, uint8_t source) {
    ShadingFileLayout layout;
    layout.P = CalibrationPixels(resolution, source);
    layout.Q = (IsDocument(source) && resolution == 600) ? 4 * layout.P : layout.P;
    return layout;
}

}  // namespace zrt
