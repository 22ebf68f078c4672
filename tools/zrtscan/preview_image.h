// A 48-bit preview held in memory, as the frame finder takes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zrtscan {

struct PreviewImage {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t dpi = 300;
    std::vector<uint8_t> pixels;  // R, G, B little-endian u16 per pixel, rows 6 x width apart
};

// Reads an RGB TIFF of 16-bit samples (8-bit samples are widened).
PreviewImage ReadPreviewTiff(const std::string& path);

// The preview reduced to 8 bits with the rectangles drawn in, as PNG.
struct DrawnRect {
    int32_t left, top, right, bottom;  // inclusive
};
void WriteOverlayPng(const PreviewImage& image, const std::vector<DrawnRect>& rects, const std::string& path);

}  // namespace zrtscan
