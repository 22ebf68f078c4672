// A TIFF file as the image-file utility reads it back: the header, then the
// pixel data it describes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "framefinder/image_file.h"
#include "tests/fuzz/fuzz_scratch.h"
#include "zrts5617.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = zrt::fuzz::Scratch::Get().Write("input.tif", data, size);
    TIFF image{};
    const int32_t rc = zrt::ff::ReadTiffHeader(path.c_str(), image);
    if (rc < 0 || rc > 4) std::abort();
    if (rc != 0) {
        // A refused file leaves nothing open.
        if (image.file != 0) std::abort();
        return 0;
    }
    std::unique_ptr<uint8_t[]> pixels = zrt::ff::ReadTiffPixels(image);
    if (pixels) {
        // The buffer holds the whole image the header describes.
        const uint64_t bytes = uint64_t(uint32_t(image.width)) * uint32_t(image.height) *
                               uint32_t(image.bits) / 8;
        volatile uint8_t sink = 0;
        if (bytes > 0) sink = sink + pixels[0] + pixels[bytes - 1];
    }
    zrt::ff::CloseTiff(image);
    return 0;
}
