// The subcommands of zrtscan. Each returns the process exit code and throws
// ToolError for a failure the user should read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace zrtscan {

struct GlobalOptions {
    std::string device = "sim";
    bool quiet = false;
    bool json = false;
};

struct AreaMm {
    double x = 0, y = 0, width = 0, height = 0;
};

struct ScanOptions {
    uint16_t resolution = 300;
    std::string mode = "color24";
    std::optional<AreaMm> area;
    std::string source = "flatbed";
    std::string gammaFile;
    std::string output;
};

struct FilmOptions {
    uint16_t resolution = 2400;
    std::string ir = "embed";  // embed, separate, off
    std::string outputDir = "film";
    std::string settings;
    uint16_t previewResolution = 300;
};

struct FramesOptions {
    std::string preview;
    std::string settings;
    std::string overlay;
};

int RunDevices(const GlobalOptions& global);
int RunInfo(const GlobalOptions& global);
int RunCalibrate(const GlobalOptions& global, const std::string& source, int resolution, bool all);
int RunScan(const GlobalOptions& global, const ScanOptions& options);
int RunPreview(const GlobalOptions& global, const std::string& output, uint16_t resolution);
int RunFrames(const GlobalOptions& global, const FramesOptions& options);
int RunFilm(const GlobalOptions& global, const FilmOptions& options);
int RunButtons(const GlobalOptions& global);
int RunSelftest(const GlobalOptions& global);

// Prints a JSON summary (with --json) or nothing.
void EmitSummary(const GlobalOptions& global, const nlohmann::json& summary);

// Millimetres to the scanner's 1/4800 inch.
uint32_t MmToUnits(double mm);

// The frame-finder settings shipped for the virtual scanner's film adapter.
std::string DefaultFrameSettingsPath();

}  // namespace zrtscan
