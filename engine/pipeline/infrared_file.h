// The infrared channel of a film scan, kept in "ZRT5617I.dat" in the user's
// temporary directory: written line by line during the scan, read back by
// the infrared replay.
#pragma once

#include <cstdint>
#include <string>

#include "engine/api/scanner_engine.h"

namespace zrt {

inline constexpr const char* kInfraredFileName = "ZRT5617I.dat";

// Empty when the platform gives no safe temporary directory.
std::string InfraredFilePath();

// Opens IRFile for reading (replay 1) or writing; always 1. A file that did
// not open shows as a failed read or write later.
int OpenInfraredFile(ScannerEngine& engine, int replay);

// Reads `count` 16-bit samples and writes their high bytes in reverse
// order to dst; false when nothing could be read.
bool ReplayInfrared(ScannerEngine& engine, uint8_t* dst, uint32_t count);

// Appends one infrared plane; false when nothing was written.
bool WriteInfraredPlane(ScannerEngine& engine, const uint8_t* src, uint32_t bytes);

}  // namespace zrt
