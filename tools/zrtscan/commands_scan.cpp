// `scan` and `preview`: one window to one image file.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <vector>

#include "tools/zrtscan/atomic_output.h"
#include "tools/zrtscan/commands.h"
#include "tools/zrtscan/film_scan.h"
#include "tools/zrtscan/image_writer.h"
#include "tools/zrtscan/scan_job.h"
#include "tools/zrtscan/tool_error.h"

namespace zrtscan {

static uint8_t DepthOfMode(const std::string& mode) {
    if (mode == "gray8") return 8;
    if (mode == "gray16") return 16;
    if (mode == "color48") return 48;
    return 24;
}

static void LoadGamma(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) throw ToolError("cannot read gamma file " + path);
    const std::streamsize size = in.tellg();
    constexpr std::streamsize kTable = 65536 * 2;
    if (size != kTable && size != 3 * kTable)
        throw ToolError("gamma file must hold 1 or 3 tables of 65536 16-bit entries");
    in.seekg(0);
    std::vector<uint16_t> table(65536);
    const int tables = size == kTable ? 1 : 3;
    for (int t = 0; t < tables; ++t) {
        std::vector<uint8_t> raw(kTable);
        in.read(reinterpret_cast<char*>(raw.data()), kTable);
        for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<uint16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
        ScannerSession::Check("SetGamma", SetGamma(0, table.data(), tables == 1 ? 0 : t + 1, 0));
    }
}

ScanRequest BuildRequest(const ScannerAreas& areas, ScanSource source, uint16_t resolution, uint8_t depth,
                         const std::optional<AreaMm>& area, bool quiet) {
    ScanRequest r;
    r.source = source;
    r.resolution = resolution;
    r.bitDepth = depth;
    r.quiet = quiet;
    const bool film = source != ScanSource::Flatbed;
    if (area) {
        // Film areas are given relative to the film area's corner.
        r.x = (film ? areas.filmX : 0) + MmToUnits(area->x);
        r.y = (film ? areas.filmY : 0) + MmToUnits(area->y);
        r.width = MmToUnits(area->width);
        r.height = MmToUnits(area->height);
    } else if (film) {
        r.x = areas.filmX;
        r.y = areas.filmY;
        r.width = areas.filmWidth;
        r.height = areas.filmHeight;
    } else {
        r.x = areas.flatbedX;
        r.y = areas.flatbedY;
        r.width = areas.flatbedWidth;
        r.height = areas.flatbedHeight;
    }
    return r;
}

nlohmann::json ScanToFile(ScannerSession& session, const ScanRequest& request, const std::string& output) {
    auto writer = CreateImageWriter(output);
    if (!writer) throw ToolError("unsupported output format: " + output + " (use .tiff, .png or .pnm)", 2);
    const auto started = std::chrono::steady_clock::now();
    const ScanGeometry g = PrepareScan(session, request);
    ImageFormat format{g.pixels, g.lines, g.samplesPerPixel, g.bitsPerSample, request.resolution};
    AtomicOutput out(output);
    if (!writer->begin(out.temporaryPath(), format)) throw ToolError(output + ": " + writer->error());
    bool writeFailed = false;
    RunScan(request, g, [&](const uint8_t* data, uint32_t rows) {
        if (!writeFailed && !writer->writeRows(data, rows)) writeFailed = true;
    });
    if (writeFailed || !writer->finish() || !out.commit()) throw ToolError(output + ": " + writer->error());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return {{"file", output}, {"width", g.pixels}, {"height", g.lines}, {"dpi", request.resolution},
            {"samples", g.samplesPerPixel}, {"bits", g.bitsPerSample}, {"seconds", seconds}};
}

int RunScan(const GlobalOptions& global, const ScanOptions& options) {
    if (!IsSupportedImageName(options.output))
        throw ToolError("unsupported output format: " + options.output + " (use .tiff, .png or .pnm)", 2);
    ScannerSession session(global.device);
    if (!options.gammaFile.empty()) LoadGamma(options.gammaFile);
    const ScanSource source = options.source == "flatbed" ? ScanSource::Flatbed
                              : options.source == "film"  ? ScanSource::Film
                                                          : ScanSource::FilmInfrared;
    ScanRequest request = BuildRequest(session.areas(), source, options.resolution, DepthOfMode(options.mode),
                                       options.area, global.quiet);
    nlohmann::json summary;
    if (source == ScanSource::FilmInfrared)
        summary = ScanFilmWithInfrared(session, request, options.output, InfraredOutput::Embedded);
    else
        summary = ScanToFile(session, request, options.output);
    if (global.json)
        EmitSummary(global, {{"files", {summary}}});
    else
        std::printf("Wrote %s: %u x %u pixels, %u dpi\n", options.output.c_str(), summary["width"].get<uint32_t>(),
                    summary["height"].get<uint32_t>(), options.resolution);
    return 0;
}

int RunPreview(const GlobalOptions& global, const std::string& output, uint16_t resolution) {
    ScannerSession session(global.device);
    if (!session.filmAdapterPresent()) throw ToolError("preview: no film adapter is connected");
    ScanRequest request = BuildRequest(session.areas(), ScanSource::Film, resolution, 48, std::nullopt, global.quiet);
    request.label = "preview";
    const nlohmann::json summary = ScanToFile(session, request, output);
    if (global.json)
        EmitSummary(global, {{"files", {summary}}});
    else
        std::printf("Wrote %s: %u x %u pixels, 48-bit, %u dpi\n", output.c_str(), summary["width"].get<uint32_t>(),
                    summary["height"].get<uint32_t>(), resolution);
    return 0;
}

}  // namespace zrtscan
