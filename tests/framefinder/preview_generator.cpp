#include "preview_generator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fftest {
namespace {

int32_t Px(const Geometry& g, double mm) { return static_cast<int32_t>(std::lround(mm * g.px_per_mm)); }

// Holder openings, in millimetres.
constexpr double kOpening35Width = 34;
double Opening35Left(int32_t k) { return 3 + 40.0 * k; }
constexpr int32_t kOpenings35 = 2;
constexpr double kOpening120Left = 29, kOpening120Width = 62;
constexpr double kOpeningTop = 4;
constexpr double kStripTop = 20;
constexpr double kMountCentreX[] = {30, 90};
constexpr double kMountCentreY[] = {50, 130, 210};
constexpr double kMountSize = 50, kMountSlot = 52;
constexpr double kWindowLong = 36, kWindowShort = 24;

FrameRect RectPx(const Geometry& g, double left, double top, double width, double height) {
    int32_t l = Px(g, left), t = Px(g, top);
    return {l, t, l + Px(g, width) - 1, t + Px(g, height) - 1};
}

FrameRect Opening35(const Geometry& g, int32_t k) {
    return RectPx(g, Opening35Left(k), kOpeningTop, kOpening35Width, g.height_mm - 2 * kOpeningTop);
}
FrameRect Opening120(const Geometry& g) {
    return RectPx(g, kOpening120Left, kOpeningTop, kOpening120Width, g.height_mm - 2 * kOpeningTop);
}

struct MountPos {
    int32_t cx, cy;
};
std::vector<MountPos> MountCentres(const Geometry& g) {
    std::vector<MountPos> m;
    for (double y : kMountCentreY)
        for (double x : kMountCentreX) m.push_back({Px(g, x), Px(g, y)});
    return m;
}

FrameRect Around(int32_t cx, int32_t cy, int32_t half_w, int32_t half_h) {
    return {cx - half_w, cy - half_h, cx + half_w - 1, cy + half_h - 1};
}

Preview Holder35(const Geometry& g) {
    Preview p(Px(g, g.width_mm), Px(g, g.height_mm), kHolder);
    for (int32_t k = 0; k < kOpenings35; ++k) p.Fill(Opening35(g, k), kBacklight);
    return p;
}
Preview Holder120(const Geometry& g) {
    Preview p(Px(g, g.width_mm), Px(g, g.height_mm), kHolder);
    p.Fill(Opening120(g), kBacklight);
    return p;
}
Preview HolderMount(const Geometry& g) {
    Preview p(Px(g, g.width_mm), Px(g, g.height_mm), kHolder);
    int32_t half = Px(g, kMountSlot / 2);
    for (MountPos m : MountCentres(g)) p.Fill(Around(m.cx, m.cy, half, half), kBacklight);
    return p;
}

Rgb Scaled(Rgb c, double f) {
    return {static_cast<uint16_t>(c.r * f), static_cast<uint16_t>(c.g * f), static_cast<uint16_t>(c.b * f)};
}

// Frame content: denser than the film base on negatives, brighter on slides.
void DrawFrame(Preview& p, const FrameRect& r, Film film, uint32_t seed) {
    if (film == Film::Negative)
        p.Texture(r, Scaled(kNegativeBase, 0.4), 2500, seed);
    else
        p.Texture(r, Rgb{34000, 36000, 30000}, 3000, seed);
}

// Frames of `length` mm with `gap` mm between them, the first `lead` mm
// below the strip's top.
std::vector<FrameRect> DrawStrip(Preview& p, const Geometry& g, Film film, double film_left,
                                 double film_width, double frame_width, int32_t frames,
                                 double lead, double length, double gap) {
    double strip_length = lead + frames * (length + gap);
    Rgb base = film == Film::Negative ? kNegativeBase : kPositiveBase;
    FrameRect strip = RectPx(g, film_left, kStripTop, film_width, strip_length);
    p.Fill(strip, base);
    // The film lies under the holder's edges.
    std::vector<FrameRect> out;
    int32_t fw = Px(g, frame_width);
    int32_t left = (strip.left + strip.right + 1) / 2 - fw / 2;
    for (int32_t k = 0; k < frames; ++k) {
        int32_t top = Px(g, kStripTop + lead + k * (length + gap));
        FrameRect f{left, top, left + fw - 1, top + Px(g, length) - 1};
        DrawFrame(p, f, film, 17u * (k + 1));
        out.push_back(f);
    }
    return out;
}

void CoverOutsideOpenings(Preview& p, const Preview& holder) {
    for (int32_t y = 0; y < p.height(); ++y)
        for (int32_t x = 0; x < p.width(); ++x) {
            Rgb h = holder.At(x, y);
            if (h.r == kHolder.r && h.g == kHolder.g) p.Set(x, y, kHolder);
        }
}

// Run lengths of the cells that show only holder material (value 0) and
// the others (value 1), alternating from 0.
std::string TemplateLine(const Preview& holder, int32_t block, int32_t* count) {
    std::vector<int32_t> runs;
    int32_t value = 0, run = 0;
    for (int32_t r = 0; r < holder.height() / block; ++r)
        for (int32_t c = 0; c < holder.width() / block; ++c) {
            bool dark = true;
            for (int32_t y = r * block; y < (r + 1) * block && dark; ++y)
                for (int32_t x = c * block; x < (c + 1) * block && dark; ++x)
                    dark = holder.At(x, y).g == kHolder.g;
            int32_t v = dark ? 0 : 1;
            if (v != value) {
                runs.push_back(run);
                run = 0;
                value = v;
            }
            ++run;
        }
    runs.push_back(run);
    std::ostringstream line;
    int32_t n = 0;
    for (int32_t len : runs) {
        while (len > 255) {
            line << "ff 00 ";
            n += 2;
            len -= 255;
        }
        char hex[8];
        std::snprintf(hex, sizeof hex, "%02x ", len);
        line << hex;
        ++n;
    }
    *count = n;
    return line.str();
}

}  // namespace

Preview::Preview(int32_t width, int32_t height, Rgb fill, int32_t extra_stride)
    : width_(width), height_(height), stride_(6 * width + extra_stride),
      pixels_(static_cast<std::size_t>(stride_) * height) {
    Fill({0, 0, width - 1, height - 1}, fill);
}

void Preview::Set(int32_t x, int32_t y, Rgb c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    uint8_t* p = pixels_.data() + static_cast<std::size_t>(y) * stride_ + 6 * x;
    const uint16_t v[3] = {c.r, c.g, c.b};
    for (int i = 0; i < 3; ++i) {
        p[2 * i] = static_cast<uint8_t>(v[i] & 0xFF);
        p[2 * i + 1] = static_cast<uint8_t>(v[i] >> 8);
    }
}

Rgb Preview::At(int32_t x, int32_t y) const {
    const uint8_t* p = pixels_.data() + static_cast<std::size_t>(y) * stride_ + 6 * x;
    auto s = [&](int i) { return static_cast<uint16_t>(p[2 * i] | (p[2 * i + 1] << 8)); };
    return {s(0), s(1), s(2)};
}

void Preview::Fill(const FrameRect& r, Rgb c) {
    for (int32_t y = r.top; y <= r.bottom; ++y)
        for (int32_t x = r.left; x <= r.right; ++x) Set(x, y, c);
}

void Preview::Texture(const FrameRect& r, Rgb c, int32_t amplitude, uint32_t seed) {
    uint32_t state = seed * 2654435761u + 1;
    auto jitter = [&](uint16_t v) {
        state = state * 1664525u + 1013904223u;
        int32_t d = static_cast<int32_t>((state >> 8) % (2 * amplitude + 1)) - amplitude;
        return static_cast<uint16_t>(std::clamp<int32_t>(v + d, 0, 65535));
    };
    for (int32_t y = r.top; y <= r.bottom; ++y)
        for (int32_t x = r.left; x <= r.right; ++x) Set(x, y, {jitter(c.r), jitter(c.g), jitter(c.b)});
}

TIFF Preview::Tiff() const { return TIFF{0, width_, height_, 0, 0, 48, 0, stride_}; }

VORN2_IMAGE_INFO Preview::Info() const {
    return {static_cast<uint16_t>(width_), static_cast<uint16_t>(height_), 0, 0,
            static_cast<uint16_t>(stride_)};
}

Layout Make35mmStrips(const Geometry& g, Film film, int32_t strips) {
    Preview holder = Holder35(g);
    Layout out{holder, {}, ZRTS_KIND_35MM,
               film == Film::Negative ? ZRTS_POLARITY_NEGATIVE : ZRTS_POLARITY_POSITIVE};
    for (int32_t k = 0; k < strips; ++k) {
        auto frames = DrawStrip(out.preview, g, film, Opening35Left(k) - 0.5, 35, 24, 6, 2, 36, 2);
        out.frames.insert(out.frames.end(), frames.begin(), frames.end());
    }
    CoverOutsideOpenings(out.preview, holder);
    return out;
}

Layout Make120Strip(const Geometry& g, Film film) {
    Preview holder = Holder120(g);
    Layout out{holder, {}, ZRTS_KIND_BLOWNE45 + 1,
               film == Film::Negative ? ZRTS_POLARITY_NEGATIVE : ZRTS_POLARITY_POSITIVE};
    out.frames = DrawStrip(out.preview, g, film, kOpening120Left - 1, 64, 56, 3, 4, 56, 4);
    CoverOutsideOpenings(out.preview, holder);
    return out;
}

Layout MakeMountHolder(const Geometry& g) {
    Layout out{HolderMount(g), {}, ZRTS_KIND_MOUNT, ZRTS_POLARITY_POSITIVE};
    const bool portrait[] = {false, true, false, false, true};
    std::vector<MountPos> centres = MountCentres(g);
    int32_t half = Px(g, kMountSize / 2);
    int32_t lx = Px(g, kWindowLong / 2), ly = Px(g, kWindowShort / 2);
    for (std::size_t i = 0; i < 5; ++i) {
        MountPos m = centres[i];
        out.preview.Fill(Around(m.cx, m.cy, half, half), kMountPlastic);
        FrameRect w = portrait[i] ? Around(m.cx, m.cy, ly, lx) : Around(m.cx, m.cy, lx, ly);
        DrawFrame(out.preview, w, Film::Positive, 31u * (i + 1));
        out.frames.push_back(w);
    }
    return out;
}

std::string SettingsText(const Geometry& g) {
    std::ostringstream s;
    int32_t dpi = static_cast<int32_t>(std::lround(g.px_per_mm * 25.4));
    s << "# synthetic holders\nScanner 0\nResolution " << dpi << "\n";
    s << "ImageSizeWidth 100\nImageSizeHeight 100\n";
    s << "FilmGuideNumber 3\nFilmGuideBlock 20\nFilmGuideThresholdG 20000\nFAULuminance 58000\n";
    const Preview holders[] = {Holder35(g), HolderMount(g), Holder120(g)};
    const char* keys[] = {"FilmGuideSleeve135", "FilmGuideMount135", "FilmGuideSleeve120"};
    for (int t = 0; t < 3; ++t) {
        int32_t n = 0;
        std::string line = TemplateLine(holders[t], 20, &n);
        s << keys[t] << " " << n << "\n" << line << "\n";
    }
    s << "SleeveNumber " << kOpenings35 << "\n";
    for (int32_t k = 0; k < kOpenings35; ++k) {
        FrameRect r = Opening35(g, k);
        s << "Sleeve.left " << r.left << "\nSleeve.top " << r.top << "\nSleeve.right " << r.right
          << "\nSleeve.bottom " << r.bottom << "\n";
    }
    FrameRect b = Opening120(g);
    s << "BlowneNumber 1\nBlowne.left " << b.left << "\nBlowne.top " << b.top << "\nBlowne.right "
      << b.right << "\nBlowne.bottom " << b.bottom << "\n";
    s << "MountNumber 6\n";
    for (MountPos m : MountCentres(g)) s << "Mount.x " << m.cx << "\nMount.y " << m.cy << "\n";
    s << R"(FilmguideRangeX 2
FilmguideRangeY 2
FilmguideThreshold 10000
FilmguideXadjust 2
FilmguideDivider 5
PosDividerParamTh1 0.8
PosDividerParamTh2 0.9
NegDividerParamTh1 0.9
NegDividerParamTh2 0.95
Sleeve35Full.film_min_length 30
Sleeve35Full.film_max_length 42
Sleeve35Full.film_length 36
Blowne45.film_min_length 38
Blowne45.film_max_length 45
Blowne45.film_length 41.5
Blowne60.film_min_length 50
Blowne60.film_max_length 62
Blowne60.film_length 56
Blowne70.film_min_length 64
Blowne70.film_max_length 75
Blowne70.film_length 69.5
Blowne80.film_min_length 76
Blowne80.film_max_length 82
Blowne80.film_length 79
Blowne90.film_min_length 83
Blowne90.film_max_length 95
Blowne90.film_length 84
Blowne120.film_min_length 105
Blowne120.film_max_length 125
Blowne120.film_length 112
MountLengthX 19
MountLengthY 13
Mount_inside 4
Mount_upper 2
MountSleeveSnakesXrange 3
MountSleeveSnakesYrange 3
MountSleeveSnakesThreshold 5000
NegaSleeveSnakesXrange 6
NegaSleeveSnakesYrange 4
NegaSleeveSnakesRatio 1.5
PosiSleeveSnakesXrange 6
PosiSleeveSnakesYrange 4
PosiSleeveSnakesThreshold 5000
BlowneNegSleeveSnakesXrange 6
BlowneNegSleeveSnakesYrange 4
BlowneNegSleeveSnakesRatio 1.5
BlownePosSleeveSnakesXrange 6
BlownePosSleeveSnakesYrange 4
NegaSleeveSnakesPanoMean 65535
NegaSleeveSnakesPanoSigma 100
NegaSleeveSnakesPanoLength 3
NegaSleeveSnakesPanoRangeS 1
NegaSleeveSnakesPanoRangeE 3
Estimate135Length 36
Estimate120_U45 30
Estimate120_45 50
Estimate120_60 65
Estimate120_70 75
Estimate120_80 85
Estimate120_90 100
Estimate120_120 130
Estimate120Length45 41.5
Estimate120Length60 56
Estimate120Length70 69.5
Estimate120Length80 79
Estimate120Length90 84
Estimate120Length120 112
)";
    return s.str();
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ff-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void WriteTextFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace fftest
