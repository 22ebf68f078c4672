// Streams an image to disk row by row, in the format its file name asks for.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zrtscan {

struct ImageFormat {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t samplesPerPixel = 1;  // 1 grey, 3 RGB, 4 RGB + an extra (infrared) sample
    uint32_t bitsPerSample = 8;    // 8 or 16; 16-bit samples arrive little-endian
    uint32_t dpi = 300;
};

class ImageWriter {
public:
    virtual ~ImageWriter() = default;
    virtual bool begin(const std::string& path, const ImageFormat& format) = 0;
    // Writes `rows` whole rows of the declared format.
    virtual bool writeRows(const uint8_t* data, uint32_t rows) = 0;
    // Finishes the file; false when anything could not be written.
    virtual bool finish() = 0;
    virtual std::string error() const = 0;
};

// TIFF for ".tif"/".tiff", PNG for ".png", PNM for ".pnm"/".pgm"/".ppm";
// nullptr for anything else.
std::unique_ptr<ImageWriter> CreateImageWriter(const std::string& path);

bool IsSupportedImageName(const std::string& path);

}  // namespace zrtscan
