#include <tiffio.h>

#include "tools/zrtscan/image_writers.h"

namespace zrtscan {

bool TiffWriter::begin(const std::string& path, const ImageFormat& format) {
    format_ = format;
    tiff_ = TIFFOpen(path.c_str(), "w");
    if (!tiff_) {
        error_ = "cannot create " + path;
        return false;
    }
    TIFFSetField(tiff_, TIFFTAG_IMAGEWIDTH, format.width);
    TIFFSetField(tiff_, TIFFTAG_IMAGELENGTH, format.height);
    TIFFSetField(tiff_, TIFFTAG_SAMPLESPERPIXEL, format.samplesPerPixel);
    TIFFSetField(tiff_, TIFFTAG_BITSPERSAMPLE, format.bitsPerSample);
    TIFFSetField(tiff_, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff_, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff_, TIFFTAG_PHOTOMETRIC,
                 format.samplesPerPixel >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    if (format.samplesPerPixel == 4 || format.samplesPerPixel == 2) {
        // The fourth sample is infrared, not transparency.
        uint16_t extra = EXTRASAMPLE_UNSPECIFIED;
        TIFFSetField(tiff_, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    TIFFSetField(tiff_, TIFFTAG_XRESOLUTION, static_cast<float>(format.dpi));
    TIFFSetField(tiff_, TIFFTAG_YRESOLUTION, static_cast<float>(format.dpi));
    TIFFSetField(tiff_, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tiff_, TIFFTAG_ROWSPERSTRIP, 1u);
    TIFFSetField(tiff_, TIFFTAG_SOFTWARE, "zrtscan");
    return true;
}

bool TiffWriter::writeRows(const uint8_t* data, uint32_t rows) {
    const size_t rowBytes = RowBytes(format_);
    for (uint32_t i = 0; i < rows; ++i, ++row_) {
        // libtiff takes samples in host order and records the byte order itself.
        if (TIFFWriteScanline(tiff_, const_cast<uint8_t*>(data + i * rowBytes), row_, 0) < 0) {
            error_ = "write error";
            return false;
        }
    }
    return true;
}

bool TiffWriter::finish() {
    if (!tiff_) return false;
    const bool complete = row_ == format_.height;
    TIFFClose(tiff_);
    tiff_ = nullptr;
    if (!complete) error_ = "image incomplete";
    return complete && error_.empty();
}

TiffWriter::~TiffWriter() {
    if (tiff_) TIFFClose(tiff_);
}

}  // namespace zrtscan
