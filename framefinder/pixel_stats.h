// Box statistics over 48-bit RGB previews.
//
// Boxes cover the rows y0 .. y1-1 and the columns x0 .. x1-1. Pixels of a box
// that lie outside the image are skipped: a statistic reads only the part of
// the box inside the image, and the mean and deviation divide by the number
// of pixels read. A box with no pixel inside the image gives the empty-box
// values (maximum 0, minimum 65535, mean 0, deviation 0).
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "zrts5617.h"

namespace zrt::ff {

struct Box {
    int32_t x0, y0, x1, y1;
};

using Colour = std::array<uint16_t, 3>;  // R, G, B

inline uint16_t LoadSample(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline Colour PixelAt(const TIFF& image, const uint8_t* pixels, int32_t x, int32_t y) {
    const uint8_t* p = pixels + static_cast<std::size_t>(y) * static_cast<uint32_t>(image.stride) +
                       6 * static_cast<std::size_t>(x);
    return {LoadSample(p), LoadSample(p + 2), LoadSample(p + 4)};
}

inline uint16_t Luminance(uint16_t r, uint16_t g, uint16_t b) {
    return static_cast<uint16_t>((3u * r + 6u * g + b) / 10u);
}
inline uint16_t Luminance(const Colour& c) { return Luminance(c[0], c[1], c[2]); }

uint16_t Density(uint16_t value);

uint16_t MaxLuminance(const TIFF& image, const uint8_t* pixels, Box box);
uint16_t MinLuminance(const TIFF& image, const uint8_t* pixels, Box box);
uint16_t MeanLuminance(const TIFF& image, const uint8_t* pixels, Box box);
double LuminanceDeviation(const TIFF& image, const uint8_t* pixels, Box box);
Colour ChannelMax(const TIFF& image, const uint8_t* pixels, Box box);
Colour ChannelMin(const TIFF& image, const uint8_t* pixels, Box box);
Colour ChannelMean(const TIFF& image, const uint8_t* pixels, Box box);

// The part of a box (already in ascending order) that lies inside the image;
// empty when x0 >= x1 or y0 >= y1.
Box ClipToImage(const TIFF& image, Box box);

}  // namespace zrt::ff
