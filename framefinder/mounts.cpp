#include <algorithm>
#include <new>

#include "framefinder/holders.h"
#include "framefinder/pixel_stats.h"

namespace zrt::ff {
namespace {

bool InsideImage(const TIFF& image, const FrameRect& r) {
    return r.left >= 0 && r.top >= 0 && r.right >= 0 && r.bottom >= 0 && r.left < image.width &&
           r.right < image.width && r.top < image.height && r.bottom < image.height;
}

// Holder material just above the window: bare backlight there means the
// position holds no mount.
bool IsEmptyPosition(const TIFF& image, const uint8_t* pixels, int32_t cx, int32_t cy,
                     int32_t ly, int32_t in, int32_t backlight) {
    if (!(cx - in > 0 && cy - ly - in > 0 && cx + in > 0 && cy - ly > 0)) return false;
    return MeanLuminance(image, pixels, {cx - in, cy - ly - in, cx + in, cy - ly}) > backlight;
}

int32_t Brightest(const TIFF& image, const uint8_t* pixels, const Box& a, const Box& b) {
    return std::max(MaxLuminance(image, pixels, a), MaxLuminance(image, pixels, b));
}

}  // namespace

std::unique_ptr<FilmPosition> FindMounts(const TIFF& image, const uint8_t* pixels,
                                         const FrameSettings& s) {
    std::unique_ptr<FilmPosition> list(new (std::nothrow) FilmPosition{});
    if (!list) return nullptr;
    const FrameSize& window = s.frame_size[ZRTS_SIZE_MOUNT];
    int32_t lx = window.film_min_length, ly = window.film_max_length;
    int32_t in = window.film_length, up = window.kind;
    int32_t mounts = std::clamp(s.mount_count, 0, ZRTS_MAX_MOUNTS);
    for (int32_t i = 0; i < mounts && list->count < ZRTS_MAX_FRAMES; ++i) {
        int32_t cx = s.mount[i][0], cy = s.mount[i][1];
        if (IsEmptyPosition(image, pixels, cx, cy, ly, in, s.fau_luminance)) continue;
        FrameRect a{cx - lx, cy - ly, cx + lx, cy + ly};
        FrameRect b{cx - ly, cy - lx, cx + ly, cy + lx};
        // Each score is the brightness where only the other candidate is
        // open: the bands of B outside A tell how much B looks like the
        // window, and the other way round.
        int32_t scoreA = InsideImage(image, a)
                             ? Brightest(image, pixels, {a.left, a.top, a.right, b.top - up},
                                         {a.left, b.bottom + up, a.right, a.bottom})
                             : -1;
        int32_t scoreB = InsideImage(image, b)
                             ? Brightest(image, pixels, {b.left, b.top, a.left - up, b.bottom},
                                         {a.right + up, b.top, b.right, b.bottom})
                             : -1;
        bool takeA = scoreA >= 0 && (scoreB < 0 || scoreA < scoreB);
        int32_t k = list->count++;
        list->rect[k] = takeA ? a : b;
        list->kind[k] = ZRTS_KIND_MOUNT;
        list->polarity[k] = ZRTS_POLARITY_POSITIVE;
    }
    return list;
}

}  // namespace zrt::ff
