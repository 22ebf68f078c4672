// One scan from parameters to delivered lines, streamed to a sink.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "tools/zrtscan/scanner_session.h"

namespace zrtscan {

enum class ScanSource { Flatbed, Film, FilmInfrared };

struct ScanRequest {
    ScanSource source = ScanSource::Flatbed;
    uint16_t resolution = 300;
    uint8_t bitDepth = 24;  // 8, 16, 24, 48
    // Window in 1/4800 inch on the glass (film: inside the film area).
    uint32_t x = 0, y = 0, width = 0, height = 0;
    bool quiet = false;
    std::string label = "scan";
};

struct ScanGeometry {
    uint32_t pixels = 0;
    uint32_t lines = 0;
    uint32_t lineBytes = 0;
    uint32_t samplesPerPixel = 3;
    uint32_t bitsPerSample = 8;
};

// Receives `rows` whole lines of `geometry.lineBytes` each.
using LineSink = std::function<void(const uint8_t* data, uint32_t rows)>;

// The lamp value that selects this source.
int LampFor(ScanSource source);

// Sets the scan up (lamp, parameters, calibration when the engine asks for
// it) and returns what the scan will deliver.
ScanGeometry PrepareScan(ScannerSession& session, const ScanRequest& request);

// Starts the prepared scan, streams every line to `sink`, stops it.
void RunScan(const ScanRequest& request, const ScanGeometry& geometry, const LineSink& sink,
             uint32_t linesPerRead = 0);

// Replays the infrared channel that the last film scan with infrared stored:
// one 8-bit sample per pixel, each line mirrored by the engine exactly as the
// colour lines of a film scan are.
void ReplayInfrared(ScannerSession& session, const ScanRequest& request, const LineSink& sink);

}  // namespace zrtscan
