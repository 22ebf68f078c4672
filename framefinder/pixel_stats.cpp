#include "framefinder/pixel_stats.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace zrt::ff {
namespace {

const uint8_t* RowAt(const TIFF& image, const uint8_t* pixels, int32_t y) {
    return pixels + static_cast<std::size_t>(y) * static_cast<uint32_t>(image.stride);
}

// 3R + 6G + B: ten times the luminance. The division by ten is monotonic,
// so maxima and minima can be taken before it without changing the result.
inline uint32_t WeightedSum(const uint8_t* p) {
    return 3u * LoadSample(p) + 6u * LoadSample(p + 2) + LoadSample(p + 4);
}

Box Ascending(Box box) {
    if (box.x0 > box.x1) std::swap(box.x0, box.x1);
    if (box.y0 > box.y1) std::swap(box.y0, box.y1);
    return box;
}

bool IsEmpty(const Box& b) { return b.x0 >= b.x1 || b.y0 >= b.y1; }

struct LuminanceSums {
    double sum = 0;
    double squares = 0;
    int64_t count = 0;
};

LuminanceSums SumLuminance(const TIFF& image, const uint8_t* pixels, Box box, bool squares) {
    LuminanceSums sums;
    Box clipped = ClipToImage(image, box);
    if (IsEmpty(clipped)) return sums;
    for (int32_t y = clipped.y0; y < clipped.y1; ++y) {
        const uint8_t* p = RowAt(image, pixels, y) + 6 * static_cast<std::size_t>(clipped.x0);
        uint64_t rowSum = 0;
        uint64_t rowSquares = 0;
        for (int32_t x = clipped.x0; x < clipped.x1; ++x, p += 6) {
            uint64_t l = WeightedSum(p) / 10u;
            rowSum += l;
            if (squares) rowSquares += l * l;
        }
        sums.sum += static_cast<double>(rowSum);
        sums.squares += static_cast<double>(rowSquares);
    }
    sums.count = static_cast<int64_t>(clipped.x1 - clipped.x0) * (clipped.y1 - clipped.y0);
    return sums;
}

template <typename Combine>
Colour ChannelFold(const TIFF& image, const uint8_t* pixels, Box box, uint16_t start,
                   Combine combine) {
    Colour result{start, start, start};
    Box clipped = ClipToImage(image, box);
    if (IsEmpty(clipped)) return result;
    for (int32_t y = clipped.y0; y < clipped.y1; ++y) {
        const uint8_t* p = RowAt(image, pixels, y) + 6 * static_cast<std::size_t>(clipped.x0);
        for (int32_t x = clipped.x0; x < clipped.x1; ++x, p += 6) {
            for (int c = 0; c < 3; ++c) result[c] = combine(result[c], LoadSample(p + 2 * c));
        }
    }
    return result;
}

}  // namespace

Box ClipToImage(const TIFF& image, Box box) {
    box.x0 = std::max(box.x0, 0);
    box.y0 = std::max(box.y0, 0);
    box.x1 = std::min(box.x1, image.width);
    box.y1 = std::min(box.y1, image.height);
    return box;
}

uint16_t Density(uint16_t value) {
    double v = value < 2 ? 2.0 : value;
    return static_cast<uint16_t>(std::trunc(std::log(65535.0 / v) * 6000.0));
}

uint16_t MaxLuminance(const TIFF& image, const uint8_t* pixels, Box box) {
    Box clipped = ClipToImage(image, Ascending(box));
    if (IsEmpty(clipped)) return 0;
    uint32_t best = 0;
    for (int32_t y = clipped.y0; y < clipped.y1; ++y) {
        const uint8_t* p = RowAt(image, pixels, y) + 6 * static_cast<std::size_t>(clipped.x0);
        for (int32_t x = clipped.x0; x < clipped.x1; ++x, p += 6) best = std::max(best, WeightedSum(p));
    }
    return static_cast<uint16_t>(best / 10u);
}

uint16_t MinLuminance(const TIFF& image, const uint8_t* pixels, Box box) {
    Box clipped = ClipToImage(image, box);
    if (IsEmpty(clipped)) return 65535;
    uint32_t best = 0xFFFFFFFFu;
    for (int32_t y = clipped.y0; y < clipped.y1; ++y) {
        const uint8_t* p = RowAt(image, pixels, y) + 6 * static_cast<std::size_t>(clipped.x0);
        for (int32_t x = clipped.x0; x < clipped.x1; ++x, p += 6) best = std::min(best, WeightedSum(p));
    }
    return static_cast<uint16_t>(best / 10u);
}

uint16_t MeanLuminance(const TIFF& image, const uint8_t* pixels, Box box) {
    LuminanceSums sums = SumLuminance(image, pixels, Ascending(box), false);
    if (sums.count == 0) return 0;
    return static_cast<uint16_t>(sums.sum / static_cast<double>(sums.count));
}

// Reversed boxes are not put in order here: they read no pixel.
double LuminanceDeviation(const TIFF& image, const uint8_t* pixels, Box box) {
    LuminanceSums sums = SumLuminance(image, pixels, box, true);
    if (sums.count == 0) return 0.0;
    double n = static_cast<double>(sums.count);
    double mean = sums.sum / n;
    double variance = sums.squares / n - mean * mean;
    return variance > 0 ? std::sqrt(variance) : 0.0;
}

Colour ChannelMax(const TIFF& image, const uint8_t* pixels, Box box) {
    return ChannelFold(image, pixels, box, 0,
                       [](uint16_t a, uint16_t b) { return std::max(a, b); });
}

Colour ChannelMin(const TIFF& image, const uint8_t* pixels, Box box) {
    return ChannelFold(image, pixels, box, 65535,
                       [](uint16_t a, uint16_t b) { return std::min(a, b); });
}

Colour ChannelMean(const TIFF& image, const uint8_t* pixels, Box box) {
    Box clipped = ClipToImage(image, box);
    if (IsEmpty(clipped)) return {0, 0, 0};
    uint64_t sums[3] = {0, 0, 0};
    for (int32_t y = clipped.y0; y < clipped.y1; ++y) {
        const uint8_t* p = RowAt(image, pixels, y) + 6 * static_cast<std::size_t>(clipped.x0);
        for (int32_t x = clipped.x0; x < clipped.x1; ++x, p += 6) {
            for (int c = 0; c < 3; ++c) sums[c] += LoadSample(p + 2 * c);
        }
    }
    double w = clipped.x1 - clipped.x0;
    double h = clipped.y1 - clipped.y0;
    Colour mean{};
    for (int c = 0; c < 3; ++c) mean[c] = static_cast<uint16_t>(std::trunc(sums[c] / w / h));
    return mean;
}

}  // namespace zrt::ff
