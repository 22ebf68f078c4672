// The end of a scan: the normal end, the early stop with its drain of the
// controller, and the join of the reader thread.
#pragma once

#include <cstdint>

#include "engine/api/scanner_engine.h"
#include "engine/api/status_codes.h"

namespace zrt {

// Polls for the first raw line of an unread scan this often (10 ms each)
// before the early stop goes on without it.
inline constexpr uint32_t kAbortFirstLinePollLimit = 3000;

// n = 2 x registers 0xA5-0xA7, the bytes of image data the controller holds.
bool ReadAvailableBytes(ScannerEngine& engine, uint32_t& n);

// Asks the reader to end and waits for it in 100 ms polls.
void JoinReader(ScannerEngine& engine);

StatusCode FinishScan(ScannerEngine& engine);
StatusCode AbortScan(ScannerEngine& engine);

// The work of the StopScanEx export (the caller holds the busy lock).
StatusCode StopScan(ScannerEngine& engine, int32_t option);

}  // namespace zrt
