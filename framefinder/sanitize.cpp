#include <algorithm>

#include "framefinder/search.h"

namespace zrt::ff {
namespace {

// Far beyond any preview of 16-bit size, far below the int range.
constexpr int32_t kCoordinateLimit = 1 << 20;

void Limit(int32_t& v) { v = std::clamp(v, -kCoordinateLimit, kCoordinateLimit); }

void Limit(FrameRect& r) {
    Limit(r.left);
    Limit(r.top);
    Limit(r.right);
    Limit(r.bottom);
}

void Limit(SnakesParams& p) {
    for (int32_t* v : {&p.LeftAdjust, &p.RightAdjust, &p.TopAdjust, &p.BottomAdjust, &p.Xrange,
                       &p.Yrange})
        Limit(*v);
}

}  // namespace

FrameSettings SanitizedSettings(const FrameSettings& in) {
    FrameSettings s = in;
    s.debug_count = std::clamp(s.debug_count, 0, ZRTS_MAX_DEBUG_FRAMES);
    s.mount_count = std::clamp(s.mount_count, 0, ZRTS_MAX_MOUNTS);
    s.sleeve_count = std::clamp(s.sleeve_count, 0, ZRTS_MAX_HOLDERS);
    s.blowne_count = std::clamp(s.blowne_count, 0, ZRTS_MAX_HOLDERS);
    s.external_module_name[ZRTS_MODULE_NAME_BYTES - 1] = '\0';
    for (auto& m : s.mount) std::for_each(m, m + 4, [](int32_t& v) { Limit(v); });
    for (FrameRect& r : s.sleeve) Limit(r);
    for (FrameRect& r : s.blowne) Limit(r);
    for (int32_t* v : {&s.margin_top, &s.margin_bottom, &s.margin_left, &s.margin_right,
                       &s.x_adjust, &s.range_x, &s.range_y, &s.divider, &s.estimate135_length})
        Limit(*v);
    for (FrameSize& f : s.frame_size) {
        for (int32_t* v : {&f.film_min_length, &f.film_max_length, &f.film_length, &f.kind}) Limit(*v);
    }
    for (SnakesParams* p : {&s.mount_snakes, &s.nega_snakes, &s.posi_snakes, &s.blowne_neg_snakes,
                            &s.blowne_pos_snakes})
        Limit(*p);
    for (int32_t* v : {&s.pano.PanoLength, &s.pano.PanoRangeS, &s.pano.PanoRangeE}) Limit(*v);
    for (int32_t& v : s.estimate120_bound) Limit(v);
    for (int32_t& v : s.estimate120_length) Limit(v);
    return s;
}

}  // namespace zrt::ff
