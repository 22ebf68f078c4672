// Loading a user's image for "scene=FILE". The engine library reads no image
// formats itself: a command-line tool or a test installs a loader.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zrt::sim {

// A picture placed on the glass: `channels` 1 (grey) or 3 (R, G, B)
// interleaved 16-bit samples, 0 = black, 65535 = white, rows top to bottom.
struct Image {
    int width = 0;
    int height = 0;
    int channels = 3;
    double dpiX = 300.0;
    double dpiY = 300.0;
    std::vector<uint16_t> samples;   // width * height * channels

    bool valid() const {
        return width > 0 && height > 0 && (channels == 1 || channels == 3) && dpiX > 0 && dpiY > 0 &&
               samples.size() == size_t(width) * size_t(height) * size_t(channels);
    }
};

using SceneFileLoader = std::function<bool(const std::string& path, Image& out)>;

// Installs the process-wide loader; an empty function removes it.
void SetSceneFileLoader(SceneFileLoader loader);

// Loads through the installed loader; false without one, when it fails or
// when it delivers an image that is not valid().
bool LoadSceneFile(const std::string& path, Image& out);

}  // namespace zrt::sim
