// Uncompressed little-endian TIFF files of previews and one-bit BMP masks.
// TIFF.file holds a handle of this module while a file is open.
#pragma once

#include <cstdint>
#include <memory>

#include "zrts5617.h"

namespace zrt::ff {

// Creates the file and writes the header; leaves it at the data offset,
// which it stores in image.offset. 0, or 1 when the file cannot be created.
int32_t WriteTiffHeader(const char* path, TIFF& image);
// 0; 1 not opened (or no readable directory); 2 not little-endian;
// 3 version not 42; 4 more than one directory. The file stays open on 0.
int32_t ReadTiffHeader(const char* path, TIFF& image);
// width * height * bits / 8 bytes from the data offset, or null.
std::unique_ptr<uint8_t[]> ReadTiffPixels(TIFF& image);
int32_t WriteTiffPixels(TIFF& image, const uint8_t* pixels);
int32_t AppendTiffPixels(TIFF& image, const uint8_t* pixels, int32_t count);
std::unique_ptr<uint8_t[]> CopyTiffPixels(const TIFF& image, const uint8_t* pixels);
int32_t CloseTiff(TIFF& image);
// One bit a pixel, black where the green byte of the 24-bit pixel is 0.
int32_t WriteMask(const TIFF& image, const uint8_t* pixels, const char* path);

}  // namespace zrt::ff
