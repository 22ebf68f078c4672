// The concrete writers behind CreateImageWriter.
#pragma once

#include <cstdio>
#include <vector>

#include "tools/zrtscan/image_writer.h"

typedef struct tiff TIFF;

namespace zrtscan {

inline size_t RowBytes(const ImageFormat& f) {
    return static_cast<size_t>(f.width) * f.samplesPerPixel * (f.bitsPerSample / 8);
}

// PNG and PNM store 16-bit samples big-endian; the scanner delivers them
// little-endian. Returns `row` itself for 8-bit samples, else `scratch`.
inline const uint8_t* BigEndianRow(const uint8_t* row, const ImageFormat& f, std::vector<uint8_t>& scratch) {
    if (f.bitsPerSample != 16) return row;
    const size_t bytes = RowBytes(f);
    for (size_t b = 0; b + 1 < bytes; b += 2) {
        scratch[b] = row[b + 1];
        scratch[b + 1] = row[b];
    }
    return scratch.data();
}

class TiffWriter final : public ImageWriter {
public:
    ~TiffWriter() override;
    bool begin(const std::string& path, const ImageFormat& format) override;
    bool writeRows(const uint8_t* data, uint32_t rows) override;
    bool finish() override;
    std::string error() const override { return error_; }

private:
    TIFF* tiff_ = nullptr;
    ImageFormat format_;
    uint32_t row_ = 0;
    std::string error_;
};

class PngWriter final : public ImageWriter {
public:
    ~PngWriter() override;
    bool begin(const std::string& path, const ImageFormat& format) override;
    bool writeRows(const uint8_t* data, uint32_t rows) override;
    bool finish() override;
    std::string error() const override { return error_; }

private:
    void release();
    std::FILE* file_ = nullptr;
    void* png_ = nullptr;
    void* info_ = nullptr;
    ImageFormat format_;
    uint32_t row_ = 0;
    std::vector<uint8_t> swapped_;
    std::string error_;
};

// Binary PGM/PPM; 16-bit samples are written big-endian as the format asks.
class PnmWriter final : public ImageWriter {
public:
    ~PnmWriter() override;
    bool begin(const std::string& path, const ImageFormat& format) override;
    bool writeRows(const uint8_t* data, uint32_t rows) override;
    bool finish() override;
    std::string error() const override { return error_; }

private:
    std::FILE* file_ = nullptr;
    ImageFormat format_;
    uint32_t row_ = 0;
    std::vector<uint8_t> swapped_;
    std::string error_;
};

}  // namespace zrtscan
