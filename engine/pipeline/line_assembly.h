// ReadScan's line processing: whole raw lines from the ring become the
// caller's pixels (filter, extra samples dropped, planes interleaved, film
// black offset, gamma, mirror, green-as-grey, infrared plane to its file),
// and the overlap blend of split film scans.
#pragma once

#include <cstdint>

#include "engine/api/scanner_engine.h"
#include "engine/api/status_codes.h"

namespace zrt {

// Polls for a full ring this long (10 ms each) before giving up on a line.
inline constexpr uint32_t kRawLinePollLimit = 40000;

// Size of one delivered line of the running scan.
uint32_t OutputLineBytes(const ScannerEngine& engine);

// 16-bit film sample without the black offset.
constexpr uint16_t RemoveBlackOffset(uint16_t v, uint8_t filmOption) {
    if (filmOption != 0) {
        return v > 768 ? static_cast<uint16_t>(v - 512) : 256;
    }
    return v > 640 ? static_cast<uint16_t>(v - 512) : 128;
}

// Planar samples (`bytes` raw bytes in Channels planes) to interleaved
// pixels of at most three samples; 16-bit film samples lose the black offset.
void InterleavePlanes(const ScanConfig& config, uint8_t* dst, const uint8_t* src, uint32_t bytes);

// Waits until the ring holds a whole raw line. Fails at once without a
// reader or a ring, when the reader failed, when it has ended and no whole
// line is left, and after kRawLinePollLimit polls.
bool WaitForRawLine(ScannerEngine& engine);

// One output line into dst; false on failure (after a failed wait the scan
// has been ended).
bool AssembleLine(ScannerEngine& engine, uint8_t* dst);

// One blended line of a split scan's overlap: `kept` weighs (w - 1) tenths,
// the new line (11 - w) tenths; samples of the line's own width.
void BlendLine(uint8_t* line, const uint8_t* kept, uint32_t bytes, uint32_t w, bool wideSamples);

// count / OutputLineBytes lines into dst.
StatusCode ReadLines(ScannerEngine& engine, uint8_t* dst, uint32_t count);

// The work of the ReadScan export (the caller holds the busy lock).
StatusCode ReadScan(ScannerEngine& engine, uint8_t* data, uint32_t count);

}  // namespace zrt
