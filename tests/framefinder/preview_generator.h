// Synthetic film-adapter previews with frames at known places, and a
// settings file that describes their holders.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zrts5617.h"

namespace fftest {

struct Rgb {
    uint16_t r, g, b;
};

constexpr Rgb kBacklight{62000, 62000, 62000};
constexpr Rgb kHolder{3000, 3000, 3000};
constexpr Rgb kMountPlastic{8000, 8000, 8000};
constexpr Rgb kNegativeBase{52000, 40000, 30000};
constexpr Rgb kPositiveBase{1500, 1500, 1500};

// A 48-bit preview with its own pixel buffer; rectangles are inclusive.
class Preview {
public:
    Preview(int32_t width, int32_t height, Rgb fill, int32_t extra_stride = 0);
    void Fill(const FrameRect& r, Rgb c);
    // Deterministic texture around `c`, +-amplitude per channel.
    void Texture(const FrameRect& r, Rgb c, int32_t amplitude, uint32_t seed);
    void Set(int32_t x, int32_t y, Rgb c);
    Rgb At(int32_t x, int32_t y) const;
    TIFF Tiff() const;
    VORN2_IMAGE_INFO Info() const;
    const uint8_t* data() const { return pixels_.data(); }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int32_t stride() const { return stride_; }

private:
    int32_t width_, height_, stride_;
    std::vector<uint8_t> pixels_;
};

enum class Film { Negative, Positive };

// The size of the film area shown and the preview's pixels per millimetre.
struct Geometry {
    double px_per_mm = 5.0;  // 127 dpi
    double width_mm = 120;
    double height_mm = 280;
};

struct Layout {
    Preview preview;
    std::vector<FrameRect> frames;  // expected, top to bottom, strip by strip
    int32_t kind;
    int32_t polarity;
};

// 35 mm strips of six frames in the first `strips` openings of the holder;
// `strips` = 0 leaves the holder empty.
Layout Make35mmStrips(const Geometry& g, Film film, int32_t strips);
// One 120 strip of three 6x6 frames.
Layout Make120Strip(const Geometry& g, Film film);
// Six mount positions: landscape, portrait, landscape, landscape, portrait
// and an empty one.
Layout MakeMountHolder(const Geometry& g);

// The settings file text for previews of this geometry, templates included.
std::string SettingsText(const Geometry& g);

// A directory under the system's temporary directory, removed at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void WriteTextFile(const std::string& path, const std::string& text);

}  // namespace fftest
