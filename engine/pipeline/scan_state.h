// The engine's scan set-up and scan progress groups, the objects of the
// running scan, and the per-process scan request (the caller's last scan
// parameters, the line counts it works with and its AG data).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "engine/calibration/cache_file.h"
#include "zrtl5617.h"

namespace zrt {

class ScanRing;
class LineFilter;

// The caller's records (ScanParameters, DataStatus) are those of
// the public header.
using ScanParameters = ::ScanParameters;
using DataStatus = ::DataStatus;

// The AG data words: 22 little-endian words; words 18-20 are the red, green
// and blue gains (4096 = 1.0), the others are carried without meaning.
inline constexpr unsigned kAGDataWords = 22;
using AGDataWords = std::array<uint16_t, kAGDataWords>;
static_assert(sizeof(AGDataWords) == sizeof(::AGData));

// Scan set-up: filled only by SetScanParameter, read by the scan start,
// the line assembly, the stop, the scan programming and the calibration.
struct ScanConfig {
    uint8_t Source = 1;        // LampSelection when the record was applied
    uint8_t Depth = 0;         // BitDepth, or 24 with GreyFromColour
    uint8_t FilmOption = 0;
    uint8_t UseAG = 0;         // UseAGData as given
    uint8_t Channels = 0;      // samples per pixel the controller delivers: 1, 3 or 4
    uint16_t XRes = 0;
    uint16_t YRes = 0;
    uint32_t OriginX = 0;      // 1/4800 inch
    uint32_t OriginY = 0;
    uint32_t WidthUnits = 0;
    uint32_t HeightUnits = 0;
    // A low-resolution grey document scan runs as colour; the green channel
    // becomes the grey line.
    uint32_t GreyFromColour = 0;
    uint16_t AGInUse = 0;      // 1 when UseAGData was 1
    uint8_t TimingVariant = 0; // always 0
    AGDataWords AGCopy{};
    uint16_t GainR = 0;        // 4096 = 1.0
    uint16_t GainG = 0;
    uint16_t GainB = 0;
};

// The reader thread of a running scan. ExitCode reads kStillActive while
// the thread runs, then the code it ended with.
inline constexpr uint32_t kStillActive = 259;
struct ReaderHandle {
    std::thread thread;
    std::atomic<uint32_t> ExitCode{kStillActive};
};

// Scan progress: set by the scan start (RawLineBytes and RawLineExtra by
// ProgramScan), counted down by the line assembly, reset by the scan end.
struct ScanProgress {
    ScanProgress() = default;
    ScanProgress(const ScanProgress&) = delete;
    ScanProgress& operator=(const ScanProgress&) = delete;
    ~ScanProgress();  // asks a running reader to stop and joins it

    uint32_t ReadCalls = 0;     // ReadScan calls of a split scan
    uint32_t Split = 0;         // 1: film scan in segments
    uint32_t Lines = 0;         // raw lines of one pass; 0 = no scan running
    uint32_t RawLinesLeft = 0;  // raw lines still to take from the ring
    uint32_t RawLineBytes = 0;  // valid bytes of one raw line
    uint32_t RawLineExtra = 0;  // extra (pad) bytes of one raw line
    std::unique_ptr<ReaderHandle> ReaderThread;
    std::atomic<uint32_t> StopRequest{0};
};

// A scan's reader thread exists (running, or ended but not yet joined by
// the scan's end).
inline bool ReaderRunning(const ScanProgress& progress) { return progress.ReaderThread != nullptr; }

// Objects of the running scan.
struct ScanObjects {
    ScanObjects();
    ScanObjects(const ScanObjects&) = delete;
    ScanObjects& operator=(const ScanObjects&) = delete;
    ~ScanObjects();

    std::unique_ptr<ScanRing> Ring;
    std::unique_ptr<LineFilter> Filter;
    CacheFile IRFile;  // "ZRT5617I.dat" of a film scan with infrared, or its replay
    // Work lines kept for the whole scan so that delivering a line
    // allocates nothing.
    std::vector<uint8_t> LineBuffer;
    std::vector<uint8_t> SecondLine;
    std::vector<uint16_t> ReplayBuffer;
};

// Per process, outside the engine object: what the caller last asked for.
struct ScanRequest {
    ScanParameters StoredParameters{};  // replaced by every SetScanParameter, even a refused one
    bool Accepted = false;              // some SetScanParameter has been accepted
    uint32_t LineBytes = 0;             // bytes of one delivered line
    uint32_t LinesLeft = 0;             // lines still to deliver
    AGDataWords AGData{};             // filled only by SetAGData
    // The overlap blend of a split film scan: 10 output lines and a
    // countdown from 10, idle (empty, 0) outside a blend.
    std::vector<uint8_t> BlendLines;
    uint16_t BlendCount = 0;
};

ScanRequest& Request();

}  // namespace zrt
