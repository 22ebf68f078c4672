// The scan's reader thread: moves image data from the controller into the
// ring as fast as both allow, counts whole raw lines, and restarts the
// controller between the segments of a split film scan.
#pragma once

#include <cstdint>

#include "engine/api/scanner_engine.h"

namespace zrt {

// Largest single image read.
inline constexpr uint32_t kMaxImageTransfer = 0xEFF0;
// Image reads must be whole multiples of this.
inline constexpr uint32_t kImageTransferGranule = 16;

// What the thread reads of the scan, captured when it is created so that
// it never reads fields the caller's thread is changing.
struct ReaderSetup {
    uint32_t segment = 0;        // Lines
    uint32_t total = 0;          // RawLinesLeft at the start
    uint32_t lineLength = 0;     // RawLineBytes + RawLineExtra
    uint32_t split = 0;
    uint8_t channels = 0;
    uint8_t useAG = 0;
    uint16_t yRes = 0;
    uint32_t originY = 0;
};

ReaderSetup CaptureReaderSetup(const ScannerEngine& engine);

// Exit codes: 1 all raw lines read or stop requested; 0 device, memory or
// wait failure; 0x9B22 film motor counter unreadable; any other value the
// status of a failed film motor correction.
uint32_t ReaderThread(ScannerEngine& engine, const ReaderSetup& setup);

// Starts ReaderThread and stores its handle in progress.ReaderThread;
// false when the thread could not be created.
bool CreateReaderThread(ScannerEngine& engine);

// Film motor step compensation of a forward move of t steps.
int32_t StepCompensation(int32_t t);

// The correction move of a segment advance that ended d steps short
// (d > 0) or beyond its target (d < 0).
int32_t SegmentCorrection(int32_t d);

}  // namespace zrt
