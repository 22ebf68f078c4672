#include <algorithm>
#include <new>
#include <vector>

#include "framefinder/holders.h"
#include "framefinder/pixel_stats.h"

namespace zrt::ff {
namespace {

constexpr HolderClass kTemplateClass[ZRTS_MAX_TEMPLATES] = {kSleeve135, kMount135, kSleeve120,
                                                           kLarge};

// Green of the cell's first reddest-darkest pixel against the threshold.
std::vector<uint16_t> CellFlags(const TIFF& image, const uint8_t* pixels, int32_t block,
                                int32_t rows, int32_t cols, uint16_t threshold) {
    std::vector<uint16_t> flags(static_cast<std::size_t>(rows) * cols);
    for (int32_t r = 0; r < rows; ++r) {
        for (int32_t c = 0; c < cols; ++c) {
            uint16_t red = 65535, green = 65535;
            for (int32_t y = r * block; y < (r + 1) * block; ++y) {
                for (int32_t x = c * block; x < (c + 1) * block; ++x) {
                    Colour p = PixelAt(image, pixels, x, y);
                    if (p[0] < red) {
                        red = p[0];
                        green = p[1];
                    }
                }
            }
            flags[static_cast<std::size_t>(r) * cols + c] = green >= threshold ? 65535 : 0;
        }
    }
    return flags;
}

// Run lengths alternate between cells of value 0 and 1, starting with 0.
// Cells past the last run are left at 1, so they do not count.
std::vector<uint8_t> TemplateGrid(const uint8_t* bytes, std::size_t cells) {
    std::vector<uint8_t> grid(cells, 1);
    std::size_t cell = 0;
    uint8_t value = 0;
    for (std::size_t i = 0; i < ZRTS_TEMPLATE_BYTES && cell < cells; ++i) {
        std::size_t end = std::min(cells, cell + bytes[i]);
        std::fill(grid.begin() + static_cast<std::ptrdiff_t>(cell),
                  grid.begin() + static_cast<std::ptrdiff_t>(end), value);
        cell = end;
        value ^= 1;
    }
    return grid;
}

double TemplateScore(const std::vector<uint16_t>& flags, const std::vector<uint8_t>& grid) {
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < flags.size(); ++i) {
        if (grid[i] != 0) continue;
        sum += flags[i];
        ++n;
    }
    return n == 0 ? 65535.0 : sum / static_cast<double>(n);
}

}  // namespace

HolderClass ClassifyHolder(const TIFF& image, const uint8_t* pixels, const FrameSettings& s) {
    if (s.debug_flags & 1) return kDebugList;
    if (s.template_count == 1) return kSleeve135;
    int32_t block = s.template_block;
    int32_t templates = std::min<int32_t>(s.template_count, ZRTS_MAX_TEMPLATES);
    // Without a cell size no cell map exists and no template can match.
    if (block == 0 || templates == 0) return kNoHolder;
    int32_t rows = std::max(image.height, 0) / block;
    int32_t cols = std::max(image.width, 0) / block;
    try {
        std::vector<uint16_t> flags =
            CellFlags(image, pixels, block, rows, cols, s.template_threshold[1]);
        int32_t winner = 0;
        double best = 0;
        for (int32_t t = 0; t < templates; ++t) {
            double score = TemplateScore(flags, TemplateGrid(s.templates[t], flags.size()));
            if (t == 0 || score < best) {
                best = score;
                winner = t;
            }
        }
        if (s.fau_luminance < best) return kNoHolder;
        return kTemplateClass[winner];
    } catch (const std::bad_alloc&) {
        return kHolderFailure;
    }
}

}  // namespace zrt::ff
