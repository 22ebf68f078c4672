#include "tools/zrtscan/film_scan.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "tools/zrtscan/atomic_output.h"
#include "tools/zrtscan/image_writer.h"
#include "tools/zrtscan/tool_error.h"

namespace zrtscan {

std::string InfraredNameFor(const std::string& colourPath) {
    const size_t dot = colourPath.find_last_of('.');
    const size_t slash = colourPath.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return colourPath + "-ir";
    return colourPath.substr(0, dot) + "-ir" + colourPath.substr(dot);
}

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using TempFile = std::unique_ptr<std::FILE, FileCloser>;

// The replayed infrared is 8-bit; the files carry 16-bit samples.
void PutWidenedSample(uint8_t* at, uint8_t value) {
    const uint16_t v = static_cast<uint16_t>(value * 257);
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
}

std::unique_ptr<ImageWriter> BeginWriter(AtomicOutput& out, const ImageFormat& format) {
    auto writer = CreateImageWriter(out.finalPath());
    if (!writer) throw ToolError("unsupported output format: " + out.finalPath(), 2);
    if (!writer->begin(out.temporaryPath(), format)) throw ToolError(out.finalPath() + ": " + writer->error());
    return writer;
}

void Finish(ImageWriter& writer, AtomicOutput& out, bool failed) {
    if (failed || !writer.finish() || !out.commit()) throw ToolError(out.finalPath() + ": " + writer.error());
}

// The colour lines of the scan, parked in an anonymous temporary file until
// the infrared replay delivers the matching lines: memory stays flat
// whatever the frame size.
TempFile ScanColourToTemporary(const ScanRequest& request, const ScanGeometry& g) {
    TempFile raw(std::tmpfile());
    if (!raw) throw ToolError("cannot create a temporary file");
    bool failed = false;
    RunScan(request, g, [&](const uint8_t* data, uint32_t rows) {
        const size_t bytes = static_cast<size_t>(rows) * g.lineBytes;
        if (!failed && std::fwrite(data, 1, bytes, raw.get()) != bytes) failed = true;
    });
    if (failed || std::fflush(raw.get()) != 0) throw ToolError("cannot write the temporary file");
    std::rewind(raw.get());
    return raw;
}

}  // namespace

nlohmann::json ScanFilmWithInfrared(ScannerSession& session, const ScanRequest& request,
                                    const std::string& output, InfraredOutput mode) {
    if (request.bitDepth != 48) throw ToolError("film scans with infrared are 48-bit (--mode color48)", 2);
    if (mode == InfraredOutput::Off) return ScanToFile(session, request, output);
    const auto started = std::chrono::steady_clock::now();
    const ScanGeometry g = PrepareScan(session, request);
    nlohmann::json files = nlohmann::json::array();
    uint32_t irLines = 0;

    if (mode == InfraredOutput::Separate) {
        AtomicOutput colourOut(output);
        auto colour = BeginWriter(colourOut, {g.pixels, g.lines, 3, 16, request.resolution});
        bool failed = false;
        RunScan(request, g, [&](const uint8_t* data, uint32_t rows) {
            if (!failed && !colour->writeRows(data, rows)) failed = true;
        });
        Finish(*colour, colourOut, failed);
        const std::string irPath = InfraredNameFor(output);
        AtomicOutput irOut(irPath);
        auto ir = BeginWriter(irOut, {g.pixels, g.lines, 1, 16, request.resolution});
        std::vector<uint8_t> row(static_cast<size_t>(g.pixels) * 2);
        ReplayInfrared(session, request, [&](const uint8_t* data, uint32_t rows) {
            for (uint32_t r = 0; r < rows && irLines < g.lines; ++r, ++irLines) {
                for (uint32_t x = 0; x < g.pixels; ++x) PutWidenedSample(&row[2 * x], data[r * g.pixels + x]);
                if (!failed && !ir->writeRows(row.data(), 1)) failed = true;
            }
        });
        Finish(*ir, irOut, failed || irLines != g.lines);
        files.push_back({{"file", irPath}, {"samples", 1}, {"bits", 16}});
    } else {
        TempFile raw = ScanColourToTemporary(request, g);
        AtomicOutput out(output);
        auto writer = BeginWriter(out, {g.pixels, g.lines, 4, 16, request.resolution});
        std::vector<uint8_t> colour(g.lineBytes);
        std::vector<uint8_t> rgbi(static_cast<size_t>(g.pixels) * 8);
        bool failed = false;
        ReplayInfrared(session, request, [&](const uint8_t* data, uint32_t rows) {
            for (uint32_t r = 0; r < rows && irLines < g.lines; ++r, ++irLines) {
                if (std::fread(colour.data(), 1, colour.size(), raw.get()) != colour.size()) failed = true;
                for (uint32_t x = 0; x < g.pixels && !failed; ++x) {
                    std::copy_n(&colour[6 * x], 6, &rgbi[8 * x]);
                    PutWidenedSample(&rgbi[8 * x + 6], data[r * g.pixels + x]);
                }
                if (!failed && !writer->writeRows(rgbi.data(), 1)) failed = true;
            }
        });
        Finish(*writer, out, failed || irLines != g.lines);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    files.insert(files.begin(), {{"file", output},
                                 {"width", g.pixels},
                                 {"height", g.lines},
                                 {"dpi", request.resolution},
                                 {"samples", mode == InfraredOutput::Embedded ? 4 : 3},
                                 {"bits", 16},
                                 {"seconds", seconds}});
    return files.size() == 1 ? files[0] : nlohmann::json{{"width", g.pixels}, {"height", g.lines}, {"files", files}};
}

}  // namespace zrtscan
