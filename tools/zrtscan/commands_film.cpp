// `frames` and `film`: the frame finder on a preview, and the whole film workflow.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tools/zrtscan/commands.h"
#include "tools/zrtscan/film_scan.h"
#include "tools/zrtscan/preview_image.h"
#include "tools/zrtscan/scan_job.h"
#include "tools/zrtscan/tool_error.h"
#include "zrts5617.h"

namespace zrtscan {

namespace {

constexpr const char* kSettingsFile = "framefinder-sim.txt";

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string ExecutableDirectory() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return ".";
    std::string path(buffer, static_cast<size_t>(n));
    return path.substr(0, path.find_last_of('/'));
}

struct FoundFrame {
    int number;
    int32_t left, top, right, bottom;  // preview pixels, inclusive
    int kind;
    bool negative;
};

std::vector<FoundFrame> FindFrames(const PreviewImage& image, const std::string& settings) {
    const std::string path = settings.empty() ? DefaultFrameSettingsPath() : settings;
    if (path.empty()) throw ToolError("no frame-finder settings found (give --settings FILE)");
    const int32_t init = VORN2_Initialize(path.c_str());
    if (init != 0) throw ToolError("VORN2_Initialize failed: " + std::to_string(init) + " (" + path + ")");
    VORN2_IMAGE_INFO info{};
    info.width = static_cast<uint16_t>(image.width);
    info.height = static_cast<uint16_t>(image.height);
    info.xres = info.yres = static_cast<uint16_t>(image.dpi);
    info.stride = static_cast<uint16_t>(image.width * 6);
    VORN2_SEARCH_RESULT result{};
    const int32_t found = VORN2_SearchOnPreview(&info, image.pixels.data(), &result, 3);
    if (found == 225) throw ToolError("VORN2_SearchOnPreview: no film holder recognised on the preview");
    if (found != 0) throw ToolError("VORN2_SearchOnPreview failed: " + std::to_string(found));
    std::vector<FoundFrame> frames;
    for (unsigned i = 0; i < result.count && i < ZRTS_MAX_FRAMES; ++i) {
        const VORN2_FRAME& f = result.frame[i];
        frames.push_back({f.number, f.x, f.y, f.x + f.width - 1, f.y + f.height - 1, f.kind, f.polarity == 256});
    }
    return frames;
}

nlohmann::json FramesJson(const std::vector<FoundFrame>& frames) {
    nlohmann::json list = nlohmann::json::array();
    for (const FoundFrame& f : frames)
        list.push_back({{"number", f.number},
                        {"left", f.left},
                        {"top", f.top},
                        {"right", f.right},
                        {"bottom", f.bottom},
                        {"kind", f.kind},
                        {"polarity", f.negative ? "negative" : "positive"}});
    return list;
}

void PrintFrames(const std::vector<FoundFrame>& frames) {
    std::printf("%-6s %6s %6s %6s %6s  %-4s %s\n", "frame", "left", "top", "right", "bottom", "kind", "film");
    for (const FoundFrame& f : frames)
        std::printf("%-6d %6d %6d %6d %6d  %-4d %s\n", f.number, f.left, f.top, f.right, f.bottom, f.kind,
                    f.negative ? "negative" : "positive");
}

void MakeDirectory(const std::string& dir) {
    if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) throw ToolError("cannot create directory " + dir);
}

}  // namespace

std::string DefaultFrameSettingsPath() {
    if (const char* env = std::getenv("ZRT_FRAME_SETTINGS"); env && *env) return env;
    const std::string candidates[] = {
        ExecutableDirectory() + "/../share/zrt5617/" + kSettingsFile,
        std::string(ZRT_DATA_INSTALL_DIR) + "/" + kSettingsFile,
        std::string(ZRT_DATA_SOURCE_DIR) + "/" + kSettingsFile,
    };
    for (const std::string& c : candidates)
        if (Exists(c)) return c;
    return "";
}

int RunFrames(const GlobalOptions& global, const FramesOptions& options) {
    const PreviewImage image = ReadPreviewTiff(options.preview);
    const std::vector<FoundFrame> frames = FindFrames(image, options.settings);
    if (!options.overlay.empty()) {
        std::vector<DrawnRect> rects;
        for (const FoundFrame& f : frames) rects.push_back({f.left, f.top, f.right, f.bottom});
        WriteOverlayPng(image, rects, options.overlay);
    }
    if (global.json)
        EmitSummary(global, {{"preview", options.preview}, {"frames", FramesJson(frames)}});
    else
        PrintFrames(frames);
    return 0;
}

int RunFilm(const GlobalOptions& global, const FilmOptions& options) {
    ScannerSession session(global.device);
    if (!session.filmAdapterPresent()) throw ToolError("film: no film adapter is connected");
    const ScannerAreas areas = session.areas();
    MakeDirectory(options.outputDir);

    // The preview stays in memory: at preview resolution it is a few MiB.
    ScanRequest previewRequest =
        BuildRequest(areas, ScanSource::Film, options.previewResolution, 48, std::nullopt, global.quiet);
    previewRequest.label = "preview";
    const ScanGeometry pg = PrepareScan(session, previewRequest);
    PreviewImage preview;
    preview.width = pg.pixels;
    preview.height = pg.lines;
    preview.dpi = options.previewResolution;
    preview.pixels.reserve(static_cast<size_t>(pg.lineBytes) * pg.lines);
    RunScan(previewRequest, pg, [&](const uint8_t* data, uint32_t rows) {
        preview.pixels.insert(preview.pixels.end(), data, data + static_cast<size_t>(rows) * pg.lineBytes);
    });
    const std::vector<FoundFrame> frames = FindFrames(preview, options.settings);
    if (frames.empty()) throw ToolError("film: no frames found on the preview");

    const InfraredOutput ir = options.ir == "embed"      ? InfraredOutput::Embedded
                              : options.ir == "separate" ? InfraredOutput::Separate
                                                         : InfraredOutput::Off;
    // Preview pixels to 1/4800 inch. Film lines arrive mirrored (the last
    // pixel of the window first), so a preview column counts from the
    // window's right edge.
    const uint32_t unitsPerPixel = 4800 / options.previewResolution;
    nlohmann::json written = nlohmann::json::array();
    for (const FoundFrame& f : frames) {
        ScanRequest r = previewRequest;
        r.resolution = options.resolution;
        r.label = "frame " + std::to_string(f.number);
        const int32_t leftPx = static_cast<int32_t>(pg.pixels) - 1 - f.right;
        r.x = previewRequest.x + static_cast<uint32_t>(std::max(0, leftPx)) * unitsPerPixel;
        r.width = static_cast<uint32_t>(f.right - f.left + 1) * unitsPerPixel;
        r.y = previewRequest.y + static_cast<uint32_t>(std::max(0, f.top)) * unitsPerPixel;
        r.height = static_cast<uint32_t>(f.bottom - f.top + 1) * unitsPerPixel;
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%02d.tiff", f.number);
        const std::string path = options.outputDir + name;
        nlohmann::json entry = ScanFilmWithInfrared(session, r, path, ir);
        entry["frame"] = f.number;
        written.push_back(entry);
        if (!global.json) std::printf("Wrote %s (%s)\n", path.c_str(), f.negative ? "negative" : "positive");
    }
    EmitSummary(global, {{"frames", FramesJson(frames)}, {"files", written}});
    return 0;
}

}  // namespace zrtscan
