// VORN2_SearchOnPreview on small previews with settings of any kind the
// settings file can give. The settings are written into the record directly
// (no external module is ever named, so no library is loaded).
//
// Input, front to back (tests/fuzz/make_corpus.py writes the same layout):
//   preview: u8 width-1, u8 height-1 (both mod 64), i8 stride change
//     (mod 13, added to 6 x width), u16 xres, u16 yres, u8 mode (mod 4),
//     u8 flags (bit 0 transposed scanner, bit 1 debug list, bit 2 raw
//     pixels, bit 3 coordinates and lengths at full 32-bit range, steps
//     and ranges at 16 bits);
//   settings: see ReadSettings;
//   pixels: raw, the rest of the input repeated over the buffer; painted,
//     a background colour and up to 15 filled rectangles.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "framefinder/settings.h"
#include "tests/fuzz/byte_reader.h"
#include "zrts5617.h"

namespace {

using zrt::fuzz::ByteReader;

constexpr int32_t kMaxSide = 64;

enum Flags : uint8_t { kTransposed = 1, kDebugList = 2, kRawPixels = 4, kWide = 8 };

class SettingsReader {
public:
    SettingsReader(ByteReader& in, bool wide) : in_(in), wide_(wide) {}

    // A coordinate or length in pixels: near the preview, or anywhere.
    int32_t Length() { return wide_ ? in_.I32() : in_.I16(); }
    // Adjust steps and search ranges: a few pixels, or up to 32767. The
    // searches walk every step of a range, so ranges far beyond any
    // preview only make an input slow (a million steps take seconds).
    int32_t Steps() { return wide_ ? in_.I16() : in_.I8(); }
    double Real() { return in_.I16() / 1000.0; }

    void Rect(FrameRect& r) {
        r.left = Length();
        r.top = Length();
        r.right = Length();
        r.bottom = Length();
    }

    void Snakes(SnakesParams& p) {
        p.LeftAdjust = Steps();
        p.RightAdjust = Steps();
        p.TopAdjust = Steps();
        p.BottomAdjust = Steps();
        p.Xrange = Steps();
        p.Yrange = Steps();
        p.Threshold = in_.I32();
        p.Ratio = Real();
    }

private:
    ByteReader& in_;
    bool wide_;
};

void ReadSettings(ByteReader& in, uint8_t flags, FrameSettings& s) {
    SettingsReader r(in, flags & kWide);
    s.scanner = (flags & kTransposed) ? 3200 : 0;
    s.resolution = 300;
    s.debug_flags = (flags & kDebugList) ? 1 : 0;
    s.external_module = 0;
    s.image_min_width = in.I8();
    s.image_min_height = in.I8();
    s.template_count = in.U8();
    s.template_block = in.U8();
    s.template_threshold[0] = s.template_threshold[2] = 0;
    s.template_threshold[1] = in.U16();
    s.fau_luminance = in.I32();
    for (auto& t : s.templates) {
        const uint8_t n = in.U8() % 33;
        in.Bytes(t, n);
    }
    s.sleeve_count = in.U8() % (ZRTS_MAX_HOLDERS + 1);
    for (int32_t i = 0; i < s.sleeve_count; ++i) r.Rect(s.sleeve[i]);
    s.blowne_count = in.U8() % (ZRTS_MAX_HOLDERS + 1);
    for (int32_t i = 0; i < s.blowne_count; ++i) r.Rect(s.blowne[i]);
    s.mount_count = in.U8() % (ZRTS_MAX_MOUNTS + 1);
    for (int32_t i = 0; i < s.mount_count; ++i) {
        s.mount[i][0] = r.Length();
        s.mount[i][1] = r.Length();
    }
    s.margin_top = r.Steps();
    s.margin_bottom = r.Steps();
    s.margin_left = r.Steps();
    s.margin_right = r.Steps();
    s.x_adjust = r.Steps();
    s.range_x = r.Steps();
    s.range_y = r.Steps();
    s.divider = r.Length();
    s.guide_threshold = in.I32();
    s.black_mylar = in.I32();
    s.pos_divider_th1 = r.Real();
    s.pos_divider_th2 = r.Real();
    s.neg_divider_th1 = r.Real();
    s.neg_divider_th2 = r.Real();
    for (int32_t i = 0; i < 8; ++i) {
        FrameSize& f = s.frame_size[i];
        f.film_min_length = r.Length();
        f.film_max_length = r.Length();
        f.film_length = r.Length();
        // The kinds of the frame sizes are fixed by the reader; index 0
        // holds a length of the mount window instead.
        f.kind = i == ZRTS_SIZE_MOUNT ? r.Length() : i == ZRTS_SIZE_SLEEVE35 ? ZRTS_KIND_35MM : i;
    }
    for (SnakesParams* p : {&s.mount_snakes, &s.nega_snakes, &s.posi_snakes, &s.blowne_neg_snakes,
                            &s.blowne_pos_snakes})
        r.Snakes(*p);
    s.blowne_pos_snakes.Threshold = 0;  // no key sets it
    s.pano.PanoMean = in.U16();
    s.pano.PanoSigma = in.U16();
    s.pano.PanoLength = r.Steps();
    s.pano.PanoRangeS = r.Steps();
    s.pano.PanoRangeE = r.Steps();
    s.estimate135_length = r.Length();
    for (int32_t i = 0; i < 7; ++i) s.estimate120_bound[i] = r.Length();
    for (int32_t& v : s.estimate120_length) v = r.Length();
    if (flags & kDebugList) {
        s.debug_count = in.U8() % (ZRTS_MAX_DEBUG_FRAMES + 1);
        for (int32_t k = 0; k < s.debug_count; ++k) {
            FrameRect& d = s.debug_rect[k];
            d.left = in.I32();
            d.top = in.I32();
            d.right = in.I32();
            d.bottom = in.I32();
            s.debug_kind[k] = in.I32();
            s.debug_polarity[k] = in.I32();
        }
    }
}

void PutPixel(std::vector<uint8_t>& buffer, uint32_t stride, int32_t x, int32_t y,
              const uint16_t rgb[3]) {
    uint8_t* p = buffer.data() + static_cast<size_t>(y) * stride + 6 * static_cast<size_t>(x);
    for (int c = 0; c < 3; ++c) {
        p[2 * c] = static_cast<uint8_t>(rgb[c]);
        p[2 * c + 1] = static_cast<uint8_t>(rgb[c] >> 8);
    }
}

void PaintPixels(ByteReader& in, int32_t w, int32_t h, uint32_t stride, std::vector<uint8_t>& buffer) {
    uint16_t colour[3] = {in.U16(), in.U16(), in.U16()};
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) PutPixel(buffer, stride, x, y, colour);
    const int32_t rects = in.U8() % 16;
    for (int32_t k = 0; k < rects; ++k) {
        int32_t x0 = in.U8() % w, y0 = in.U8() % h, x1 = in.U8() % w, y1 = in.U8() % h;
        for (uint16_t& c : colour) c = in.U16();
        for (int32_t y = std::min(y0, y1); y <= std::max(y0, y1); ++y)
            for (int32_t x = std::min(x0, x1); x <= std::max(x0, x1); ++x)
                PutPixel(buffer, stride, x, y, colour);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteReader in(data, size);
    const int32_t w = 1 + in.U8() % kMaxSide;
    const int32_t h = 1 + in.U8() % kMaxSide;
    const int32_t stride = std::max(0, 6 * w + in.I8() % 13);
    VORN2_IMAGE_INFO info{};
    info.width = static_cast<uint16_t>(w);
    info.height = static_cast<uint16_t>(h);
    info.xres = in.U16();
    info.yres = in.U16();
    info.stride = static_cast<uint16_t>(stride);
    const int32_t mode = in.U8() % 4;
    const uint8_t flags = in.U8();

    static auto settings = std::make_unique<FrameSettings>();
    std::memset(settings.get(), 0, sizeof(FrameSettings));
    ReadSettings(in, flags, *settings);

    // Exactly the bytes a caller must provide: rows `stride` apart, the last
    // one 6 x width long. A line too short for its width is refused unread.
    const uint32_t rowStride = static_cast<uint32_t>(std::max(stride, 6 * w));
    std::vector<uint8_t> pixels(static_cast<size_t>(rowStride) * (h - 1) + 6 * static_cast<size_t>(w));
    if (flags & kRawPixels) {
        const uint8_t* rest = in.Rest();
        const size_t n = in.RestSize();
        for (size_t i = 0; n > 0 && i < pixels.size(); ++i) pixels[i] = rest[i % n];
    } else {
        PaintPixels(in, w, h, rowStride, pixels);
    }
    if (stride < 6 * w) pixels.resize(static_cast<size_t>(stride) * h + 1);

    // The search reads the process-wide record, as after VORN2_Initialize.
    zrt::ff::GlobalSettings() = *settings;

    VORN2_SEARCH_RESULT result;
    std::memset(&result, 0xEE, sizeof result);
    const int32_t rc = VORN2_SearchOnPreview(&info, pixels.data(), &result, mode);
    switch (rc) {
    case ZRTS_OK:
    case ZRTS_NO_HOLDER:
        if (result.count > ZRTS_MAX_FRAMES) std::abort();
        break;
    case ZRTS_LINE_TOO_SHORT:
        // Refused before anything is written.
        if (stride >= 6 * w || result.count != 0xEEEE) std::abort();
        break;
    default: std::abort();
    }
    return 0;
}
