#include "sim/film_strip.h"

#include <cmath>

namespace zrt::sim {
namespace {

constexpr int kFrames = 6;
constexpr double kFrameAcross = 24 * kMm;     // across the strip (x)
constexpr double kFrameAlong = 36 * kMm;      // along the strip (y)
constexpr double kFramePitch = 38 * kMm;
constexpr double kStripWidth = 35 * kMm;
constexpr double kHoleAcross = 2.0 * kMm;
constexpr double kHoleAlong = 2.8 * kMm;
constexpr double kHolePitch = 4.75 * kMm;
constexpr double kHoleInset = 1.75 * kMm;     // strip edge to hole

// Orange mask of colour negatives, per channel; infrared passes the dyes.
constexpr double kNegativeBase[4] = {0.80, 0.55, 0.35, 0.90};

uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

double Unit(uint64_t& state) {
    state = Mix(state);
    return double(state >> 11) / double(1ull << 53);
}

// Brightness of the photographed scene in frame k at (u, v) in 0..1.
double FrameScene(int k, double u, double v, int channel) {
    double sky = 0.25 + 0.5 * (1.0 - v);
    double tint[3] = {0.9 + 0.03 * k, 1.0, 1.1 - 0.05 * k};
    double value = sky * (channel < 3 ? tint[channel] : 1.0);
    double du = u - (0.25 + 0.08 * k), dv = v - 0.35;
    if (du * du + dv * dv < 0.15 * 0.15) value = 0.92;
    if (v > 0.78 && v < 0.9) {
        // k + 1 dark bars: the frame's number, readable in a preview.
        int bar = int(u * 16);
        value = (bar % 2 == 1 && bar / 2 <= k) ? 0.05 : 0.8;
    }
    return std::fmin(1.0, std::fmax(0.0, value));
}

bool InHole(const FilmStripGeometry& s, double x, double y) {
    double inX = x - s.strip.left;
    bool nearEdge = (inX >= kHoleInset && inX < kHoleInset + kHoleAcross) ||
                    (inX >= kStripWidth - kHoleInset - kHoleAcross && inX < kStripWidth - kHoleInset);
    if (!nearEdge) return false;
    double along = std::fmod(y - s.strip.top, kHolePitch);
    return along >= 0 && along < kHoleAlong;
}

}  // namespace

FilmStripGeometry BuiltInFilmStrip(const SimOptions& options) {
    FilmStripGeometry s;
    s.filmAreaLeft = options.fauPosition == 2 ? 4809 : 9968;
    s.present = options.film != FilmKind::None;
    s.negative = options.film != FilmKind::Positive;
    double centre = s.filmAreaLeft + kFilmAreaWidth / 2;
    s.strip = {centre - kStripWidth / 2, kStripTop, centre + kStripWidth / 2,
               kStripTop + 2 * kFrameLeader + (kFrames - 1) * kFramePitch + kFrameAlong};
    for (int k = 0; k < kFrames; ++k) {
        double top = kStripTop + kFrameLeader + k * kFramePitch;
        s.frames.push_back({centre - kFrameAcross / 2, top, centre + kFrameAcross / 2, top + kFrameAlong});
    }
    uint64_t state = options.seed * 7919 + 17;
    for (int i = 0; i < 5; ++i) {
        const Rect4800& frame = s.frames[size_t(Unit(state) * kFrames) % kFrames];
        DustSpeck speck;
        speck.x = frame.left + (0.1 + 0.8 * Unit(state)) * (frame.right - frame.left);
        speck.y = frame.top + (0.1 + 0.8 * Unit(state)) * (frame.bottom - frame.top);
        speck.radius = 15 + 30 * Unit(state);
        s.dust.push_back(speck);
    }
    return s;
}

double StripTransmission(const FilmStripGeometry& s, double x, double y, int channel) {
    for (const DustSpeck& d : s.dust) {
        double dx = x - d.x, dy = y - d.y;
        if (dx * dx + dy * dy < d.radius * d.radius) return 0.03;
    }
    if (InHole(s, x, y)) return 1.0;
    if (channel == 3) return kNegativeBase[3];
    for (size_t k = 0; k < s.frames.size(); ++k) {
        const Rect4800& f = s.frames[k];
        if (!f.contains(x, y)) continue;
        double c = FrameScene(int(k), (x - f.left) / (f.right - f.left), (y - f.top) / (f.bottom - f.top), channel);
        return s.negative ? kNegativeBase[channel] * (0.08 + 0.85 * (1.0 - c)) : 0.02 + 0.9 * c;
    }
    // Unexposed film: clear base for negatives, black for slides.
    return s.negative ? kNegativeBase[channel] * 0.93 : 0.02;
}

}  // namespace zrt::sim
