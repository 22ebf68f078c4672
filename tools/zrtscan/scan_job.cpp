#include "tools/zrtscan/scan_job.h"

#include <algorithm>
#include <vector>

#include "tools/zrtscan/progress.h"
#include "tools/zrtscan/tool_error.h"

namespace zrtscan {

int LampFor(ScanSource source) {
    // The film adapter always scans with its infrared channel; a request
    // without infrared simply ignores it.
    return source == ScanSource::Flatbed ? 1 : 12;
}

static ScanParameters ParametersFor(const ScanRequest& request, uint8_t bitDepth) {
    ScanParameters p{};
    p.XResolution = request.resolution;
    p.YResolution = request.resolution;
    p.XOrigin = static_cast<uint16_t>(request.x);
    p.YOrigin = static_cast<uint16_t>(request.y);
    p.Width = static_cast<uint16_t>(request.width);
    p.Height = static_cast<uint16_t>(request.height);
    p.FilmScan = request.source == ScanSource::Flatbed ? 0 : 1;
    p.BitDepth = bitDepth;
    return p;
}

ScanGeometry PrepareScan(ScannerSession& session, const ScanRequest& request) {
    if (request.width > 0xFFFF || request.height > 0xFFFF || request.x > 0xFFFF || request.y > 0xFFFF)
        throw ToolError("the area does not fit the scanner's coordinates");
    session.setLamp(LampFor(request.source));
    const ScanParameters parameters = ParametersFor(request, request.bitDepth);
    ScannerSession::Check("SetScanParameter", SetScanParameter(0, &parameters));
    if (session.calibrationStatus() != 0) {
        // Mode 3 calibrates the resolution that the parameters just set need.
        session.calibrate(request.source == ScanSource::Flatbed ? 0 : 1, 3, 0);
        ScannerSession::Check("SetScanParameter", SetScanParameter(0, &parameters));
    }
    DataStatus status{};
    GetDataStatus(0, &status);
    ScanGeometry g;
    g.lines = status.LinesLeft;
    g.lineBytes = status.LineBytes;
    g.samplesPerPixel = request.bitDepth >= 24 ? 3 : 1;
    g.bitsPerSample = (request.bitDepth == 16 || request.bitDepth == 48) ? 16 : 8;
    // The engine's line size already says how many pixels a line holds.
    g.pixels = g.lineBytes / (g.samplesPerPixel * g.bitsPerSample / 8);
    if (g.lines == 0 || g.lineBytes == 0) throw ToolError("the area is too small to scan");
    return g;
}

static void StreamLines(const ScanRequest& request, uint32_t lines, uint32_t lineBytes,
                        const LineSink& sink, uint32_t linesPerRead) {
    if (linesPerRead == 0) linesPerRead = std::max<uint32_t>(1, (1u << 20) / lineBytes);
    std::vector<uint8_t> buffer(static_cast<size_t>(linesPerRead) * lineBytes);
    Progress progress(request.label, lines, request.quiet);
    for (uint32_t done = 0; done < lines;) {
        const uint32_t rows = std::min(linesPerRead, lines - done);
        ScannerSession::Check("ReadScan", ReadScan(0, 0, buffer.data(), rows * lineBytes));
        sink(buffer.data(), rows);
        done += rows;
        progress.update(done);
    }
}

void RunScan(const ScanRequest& request, const ScanGeometry& geometry, const LineSink& sink,
             uint32_t linesPerRead) {
    ScannerSession::Check("StartScanEx", StartScanEx(0, 0));
    try {
        StreamLines(request, geometry.lines, geometry.lineBytes, sink, linesPerRead);
    } catch (...) {
        StopScanEx(0, 0);
        throw;
    }
    ScannerSession::Check("StopScanEx", StopScanEx(0, 0));
}

void ReplayInfrared(ScannerSession& session, const ScanRequest& request, const LineSink& sink) {
    session.setLamp(8);
    // Grey 8-bit lines: one replayed sample per pixel.
    ScanParameters parameters = ParametersFor(request, 8);
    ScannerSession::Check("SetScanParameter", SetScanParameter(0, &parameters));
    DataStatus status{};
    GetDataStatus(0, &status);
    ScannerSession::Check("StartScanEx", StartScanEx(0, 0));
    ScanRequest replay = request;
    replay.label = request.label + " infrared";
    try {
        // One line per call: the engine mirrors each read block as a whole.
        StreamLines(replay, status.LinesLeft, status.LineBytes, sink, 1);
    } catch (...) {
        StopScanEx(0, 0);
        throw;
    }
    ScannerSession::Check("StopScanEx", StopScanEx(0, 0));
}

}  // namespace zrtscan
