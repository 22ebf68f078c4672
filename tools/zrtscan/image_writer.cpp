#include "tools/zrtscan/image_writer.h"

#include <algorithm>
#include <cctype>

#include "tools/zrtscan/image_writers.h"

namespace zrtscan {

static std::string LowerExtension(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

std::unique_ptr<ImageWriter> CreateImageWriter(const std::string& path) {
    const std::string ext = LowerExtension(path);
    if (ext == "tif" || ext == "tiff") return std::make_unique<TiffWriter>();
    if (ext == "png") return std::make_unique<PngWriter>();
    if (ext == "pnm" || ext == "pgm" || ext == "ppm") return std::make_unique<PnmWriter>();
    return nullptr;
}

bool IsSupportedImageName(const std::string& path) { return CreateImageWriter(path) != nullptr; }

}  // namespace zrtscan
