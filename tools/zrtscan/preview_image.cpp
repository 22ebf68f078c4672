#include "tools/zrtscan/preview_image.h"

#include <tiffio.h>

#include <algorithm>

#include "tools/zrtscan/atomic_output.h"
#include "tools/zrtscan/image_writer.h"
#include "tools/zrtscan/tool_error.h"

namespace zrtscan {

PreviewImage ReadPreviewTiff(const std::string& path) {
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (!tiff) throw ToolError("cannot read TIFF " + path);
    uint32_t width = 0, height = 0;
    uint16_t spp = 1, bits = 8;
    float xres = 300;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    if (TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xres) != 1) xres = 300;
    uint16_t planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    if (spp < 3 || (bits != 8 && bits != 16) || planar != PLANARCONFIG_CONTIG || width == 0 || height == 0 ||
        width > 0xFFFF / 6 || height > 0xFFFF) {
        TIFFClose(tiff);
        throw ToolError(path + ": expected an RGB TIFF with 8 or 16 bits per sample");
    }
    PreviewImage image;
    image.width = width;
    image.height = height;
    image.dpi = static_cast<uint32_t>(xres + 0.5f);
    image.pixels.resize(static_cast<size_t>(width) * height * 6);
    std::vector<uint8_t> line(TIFFScanlineSize(tiff));
    for (uint32_t y = 0; y < height; ++y) {
        if (TIFFReadScanline(tiff, line.data(), y, 0) < 0) {
            TIFFClose(tiff);
            throw ToolError(path + ": read error");
        }
        uint8_t* out = &image.pixels[static_cast<size_t>(y) * width * 6];
        for (uint32_t x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                uint16_t v;
                if (bits == 16) {
                    v = reinterpret_cast<const uint16_t*>(line.data())[x * spp + c];
                } else {
                    v = static_cast<uint16_t>(line[x * spp + c] * 257);
                }
                out[6 * x + 2 * c] = static_cast<uint8_t>(v);
                out[6 * x + 2 * c + 1] = static_cast<uint8_t>(v >> 8);
            }
        }
    }
    TIFFClose(tiff);
    return image;
}

void WriteOverlayPng(const PreviewImage& image, const std::vector<DrawnRect>& rects, const std::string& path) {
    std::vector<uint8_t> rgb(static_cast<size_t>(image.width) * image.height * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = image.pixels[2 * i + 1];
    auto plot = [&](int32_t x, int32_t y) {
        if (x < 0 || y < 0 || x >= static_cast<int32_t>(image.width) || y >= static_cast<int32_t>(image.height))
            return;
        uint8_t* p = &rgb[(static_cast<size_t>(y) * image.width + x) * 3];
        p[0] = 255;
        p[1] = 0;
        p[2] = 0;
    };
    for (const DrawnRect& r : rects) {
        for (int32_t x = r.left; x <= r.right; ++x) {
            plot(x, r.top);
            plot(x, r.bottom);
        }
        for (int32_t y = r.top; y <= r.bottom; ++y) {
            plot(r.left, y);
            plot(r.right, y);
        }
    }
    auto writer = CreateImageWriter(path);
    if (!writer) throw ToolError("overlay: use a .png, .tiff or .pnm name", 2);
    AtomicOutput out(path);
    if (!writer->begin(out.temporaryPath(), {image.width, image.height, 3, 8, image.dpi}) ||
        !writer->writeRows(rgb.data(), image.height) || !writer->finish() || !out.commit())
        throw ToolError(path + ": " + writer->error());
}

}  // namespace zrtscan
