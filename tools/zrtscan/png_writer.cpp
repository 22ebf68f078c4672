#include <png.h>

#include <csetjmp>

#include "tools/zrtscan/image_writers.h"

namespace zrtscan {

static png_structp Png(void* p) { return static_cast<png_structp>(p); }
static png_infop Info(void* p) { return static_cast<png_infop>(p); }

bool PngWriter::begin(const std::string& path, const ImageFormat& format) {
    format_ = format;
    if (format.samplesPerPixel != 1 && format.samplesPerPixel != 3 && format.samplesPerPixel != 4) {
        error_ = "PNG takes grey, RGB or RGBA samples";
        return false;
    }
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        error_ = "cannot create " + path;
        return false;
    }
    png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    info_ = png_ ? png_create_info_struct(Png(png_)) : nullptr;
    if (!info_) {
        error_ = "out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(Png(png_)))) {
        error_ = "PNG write error";
        return false;
    }
    png_init_io(Png(png_), file_);
    const int colour = format.samplesPerPixel == 1   ? PNG_COLOR_TYPE_GRAY
                       : format.samplesPerPixel == 3 ? PNG_COLOR_TYPE_RGB
                                                     : PNG_COLOR_TYPE_RGBA;
    png_set_IHDR(Png(png_), Info(info_), format.width, format.height,
                 static_cast<int>(format.bitsPerSample), colour, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const png_uint_32 ppm = static_cast<png_uint_32>(format.dpi / 0.0254 + 0.5);
    png_set_pHYs(Png(png_), Info(info_), ppm, ppm, PNG_RESOLUTION_METER);
    png_write_info(Png(png_), Info(info_));
    swapped_.resize(RowBytes(format));
    return true;
}

bool PngWriter::writeRows(const uint8_t* data, uint32_t rows) {
    if (!png_) return false;
    if (setjmp(png_jmpbuf(Png(png_)))) {
        error_ = "PNG write error";
        return false;
    }
    const size_t rowBytes = RowBytes(format_);
    for (uint32_t i = 0; i < rows; ++i, ++row_) {
        const uint8_t* row = BigEndianRow(data + i * rowBytes, format_, swapped_);
        png_write_row(Png(png_), const_cast<png_bytep>(row));
    }
    return true;
}

bool PngWriter::finish() {
    if (!png_ || row_ != format_.height) {
        if (error_.empty()) error_ = "image incomplete";
        release();
        return false;
    }
    if (setjmp(png_jmpbuf(Png(png_)))) {
        error_ = "PNG write error";
        release();
        return false;
    }
    png_write_end(Png(png_), Info(info_));
    release();
    return error_.empty();
}

void PngWriter::release() {
    if (png_) {
        png_structp png = Png(png_);
        png_infop info = Info(info_);
        png_destroy_write_struct(&png, info ? &info : nullptr);
        png_ = nullptr;
        info_ = nullptr;
    }
    if (file_) {
        if (std::fclose(file_) != 0 && error_.empty()) error_ = "write error";
        file_ = nullptr;
    }
}

PngWriter::~PngWriter() { release(); }

}  // namespace zrtscan
