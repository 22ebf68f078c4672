#include "framefinder/search.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "framefinder/holders.h"
#include "framefinder/pipelines.h"

namespace zrt::ff {
namespace {

constexpr int32_t kTransposedScanner = 3200;

// The preview of that scanner arrives with its axes exchanged.
std::vector<uint8_t> TransposePreview(TIFF& image, const uint8_t* pixels) {
    int32_t w = image.width, h = image.height;
    std::vector<uint8_t> out(static_cast<std::size_t>(w) * h * 6);
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* src = pixels + static_cast<std::size_t>(y) * static_cast<uint32_t>(image.stride);
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* dst = out.data() + (static_cast<std::size_t>(x) * h + y) * 6;
            std::copy(src + 6 * static_cast<std::size_t>(x), src + 6 * static_cast<std::size_t>(x) + 6, dst);
        }
    }
    image.width = static_cast<uint16_t>(h);
    image.height = static_cast<uint16_t>(w);
    image.stride = static_cast<uint16_t>(6 * h);
    return out;
}

// Only the low 16 bits are reported; unsigned arithmetic keeps coordinates
// far outside that range from overflowing.
uint16_t Extent(int32_t last, int32_t first) {
    return static_cast<uint16_t>(uint32_t{static_cast<uint16_t>(last)} - static_cast<uint32_t>(first) + 1u);
}

void WriteResult(const FilmPosition& frames, bool transposed, VORN2_SEARCH_RESULT& result) {
    int32_t n = std::min(frames.count, ZRTS_MAX_FRAMES);
    if (n < 0) n = 0;
    for (int32_t k = 0; k < n; ++k) {
        const FrameRect& r = frames.rect[k];
        VORN2_FRAME& e = result.frame[k];
        e.number = static_cast<uint16_t>(k + 1);
        int32_t x = transposed ? r.top : r.left;
        int32_t y = transposed ? r.left : r.top;
        int32_t right = transposed ? r.bottom : r.right;
        int32_t bottom = transposed ? r.right : r.bottom;
        e.x = static_cast<int16_t>(x);
        e.y = static_cast<int16_t>(y);
        e.width = Extent(right, x);
        e.height = Extent(bottom, y);
        e.reserved[0] = e.reserved[1] = e.reserved[2] = 0;
        e.kind = static_cast<int16_t>(frames.kind[k]);
        e.polarity = static_cast<int16_t>(frames.polarity[k]);
    }
    result.count = static_cast<uint16_t>(n);
}

}  // namespace

int32_t SearchOnPreview(const VORN2_IMAGE_INFO& info, const uint8_t* pixels,
                        VORN2_SEARCH_RESULT& result, int32_t mode, const FrameSettings& settings) {
    FrameSettings s = SanitizedSettings(settings);
    TIFF image{0, info.width, info.height, info.xres, info.yres, 48, 0, info.stride};
    if (image.width < s.image_min_width || image.height < s.image_min_height) {
        result.count = 0;
        return ZRTS_OK;
    }
    if (image.stride < 6 * image.width) return ZRTS_LINE_TOO_SHORT;
    bool transposed = s.scanner == kTransposedScanner;
    std::vector<uint8_t> turned;
    if (transposed) {
        turned = TransposePreview(image, pixels);
        pixels = turned.data();
    }
    std::unique_ptr<FilmPosition> frames;
    switch (ClassifyHolder(image, pixels, s)) {
    case kDebugList: frames = DebugFrames(s); break;
    case kMount135: frames = SearchMounts(image, pixels, s); break;
    case kSleeve135: frames = Search135(image, pixels, s, mode); break;
    case kSleeve120: frames = Search120(image, pixels, s, mode); break;
    case kLarge:
        frames = std::make_unique<FilmPosition>();
        FindLargeFormatFrames(image, pixels, *frames);
        break;
    case kHolderFailure: throw std::bad_alloc();
    case kNoHolder:
    default: result.count = 0; return ZRTS_NO_HOLDER;
    }
    WriteResult(*frames, transposed, result);
    return ZRTS_OK;
}

}  // namespace zrt::ff
