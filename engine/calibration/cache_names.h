// Where the shading references and use counters of each calibration live,
// and how large a reference file is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zrt {

// File name (no directory) of the references of (resolution, source):
// source bit 0 set is a document calibration.
const char* ShadingCacheBaseName(uint16_t resolution, uint8_t source);
const char* UseCountBaseName(uint8_t source);

// The same names inside the user's temporary directory; empty when the
// platform has no safe temporary directory.
std::string ShadingCacheFileName(uint16_t resolution, uint8_t source);
std::string UseCountFileName(uint8_t source);

// Entries per channel of a reference file: P white samples, Q dark samples
// (Q = 4 P for the 600 dpi document file, whose dark reference holds the
// sub-blocks of the 600, 300, 150 and 75 dpi line periods).
struct ShadingFileLayout {
    uint32_t P = 0;
    uint32_t Q = 0;

    static constexpr size_t kHeaderBytes = 13;  // bus speed byte + exposure record
    size_t Bytes() const { return kHeaderBytes + 8 * size_t(P) + 8 * size_t(Q); }
    size_t WhiteOffset(unsigned channel) const { return kHeaderBytes + 2 * size_t(P) * channel; }
    size_t DarkOffset(unsigned channel) const { return kHeaderBytes + 8 * size_t(P) + 2 * size_t(Q) * channel; }
};

ShadingFileLayout LayoutFor(uint16_t resolution, uint8_t source);

// Pixels of a calibration line at `resolution`: the document glass is 40832
// and the film area 6400 units of 1/4800 inch wide.
uint32_t CalibrationPixels(uint32_t resolution, uint8_t source);

}  // namespace zrt
