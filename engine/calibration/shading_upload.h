// Writing one shading table into controller memory for a scan.
#pragma once

#include <cstdint>

namespace zrt {

struct ScannerEngine;

// Writes offset and gain of table `table` (0-3) for ShadingEntryCount
// pixels, placing calibration pixel i at sensor pixel index + i (4 bytes a
// pixel: offset, gain, each u16 little-endian; the pixels before `index`
// zero; padded with zeros to a multiple of 16 bytes). false when a table is
// missing, memory ran out or the write failed.
bool UploadShading(ScannerEngine& engine, uint32_t table, uint32_t index);

}  // namespace zrt
