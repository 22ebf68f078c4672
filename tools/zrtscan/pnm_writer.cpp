#include "tools/zrtscan/image_writers.h"

namespace zrtscan {

bool PnmWriter::begin(const std::string& path, const ImageFormat& format) {
    format_ = format;
    if (format.samplesPerPixel != 1 && format.samplesPerPixel != 3) {
        error_ = "PNM takes grey or RGB samples";
        return false;
    }
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        error_ = "cannot create " + path;
        return false;
    }
    const unsigned maxval = format.bitsPerSample == 16 ? 65535 : 255;
    std::fprintf(file_, "P%c\n%u %u\n%u\n", format.samplesPerPixel == 1 ? '5' : '6', format.width,
                 format.height, maxval);
    swapped_.resize(RowBytes(format));
    return true;
}

bool PnmWriter::writeRows(const uint8_t* data, uint32_t rows) {
    if (!file_) return false;
    const size_t rowBytes = RowBytes(format_);
    for (uint32_t i = 0; i < rows; ++i, ++row_) {
        const uint8_t* row = BigEndianRow(data + i * rowBytes, format_, swapped_);
        if (std::fwrite(row, 1, rowBytes, file_) != rowBytes) {
            error_ = "write error";
            return false;
        }
    }
    return true;
}

bool PnmWriter::finish() {
    if (!file_) return false;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!closed) error_ = "write error";
    if (row_ != format_.height) error_ = "image incomplete";
    return error_.empty();
}

PnmWriter::~PnmWriter() {
    if (file_) std::fclose(file_);
}

}  // namespace zrtscan
