// Film scans with their infrared channel, registered with the colour pixels.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "tools/zrtscan/commands.h"
#include "tools/zrtscan/scan_job.h"

namespace zrtscan {

enum class InfraredOutput {
    Embedded,  // one RGBI file: the infrared as a fourth, extra sample
    Separate,  // the colour file and a 16-bit grey file beside it
    Off,       // the colour file only
};

// Scans `request` (a film source) and writes `output`; the infrared replay
// follows the colour scan. Returns the JSON description of what was written.
nlohmann::json ScanFilmWithInfrared(ScannerSession& session, const ScanRequest& request,
                                    const std::string& output, InfraredOutput mode);

// A plain scan into an image file.
nlohmann::json ScanToFile(ScannerSession& session, const ScanRequest& request, const std::string& output);

ScanRequest BuildRequest(const ScannerAreas& areas, ScanSource source, uint16_t resolution, uint8_t depth,
                         const std::optional<AreaMm>& area, bool quiet);

// "frame.tiff" -> "frame-ir.tiff"
std::string InfraredNameFor(const std::string& colourPath);

}  // namespace zrtscan
