#include "engine/calibration/measure_reference.h"

#include <algorithm>
#include <new>
#include <vector>

#include "engine/api/scanner_engine.h"
#include "engine/calibration/calibration_geometry.h"
#include "engine/calibration/column_average.h"
#include "engine/calibration/exposure_search.h"
#include "engine/motion/carriage_motion.h"
#include "platform/shared_state.h"

namespace zrt {
namespace {

// The averaged line: `lines` lines of 16-bit little-endian samples.
bool AverageStrip(const std::vector<uint8_t>& strip, uint16_t lines, uint32_t samplesPerLine, bool dark,
                  std::vector<uint16_t>& averaged) {
    try {
        std::vector<uint16_t> samples(size_t(lines) * samplesPerLine);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<uint16_t>(strip[2 * i] | (strip[2 * i + 1] << 8));
        averaged.assign(samplesPerLine, 0);
        AverageColumns(averaged.data(), samples.data(), lines, samplesPerLine, dark);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace

PassJob PassJobFor(uint16_t resolution, bool dark, uint8_t depth) {
    PassJob job{0, resolution};
    if (dark && resolution == 300) job = {1, 600};
    if (dark && resolution == 150) job = {2, 600};
    if (dark && resolution == 75) job = {3, 600};
    if (resolution >= 1200) job.kind = dark ? 5 : 4;
    if (depth == 24) job.kind += 10;
    if (depth == 8) job.kind += 20;
    return job;
}

StatusCode MeasureReference(ScannerEngine& engine, uint16_t resolution, uint8_t source, uint8_t depth,
                            ChannelExposure& exposure, bool dark, const ReferenceSet& whiteSet,
                            const ReferenceSet& darkSet) {
    const StatusCode prepared =
        dark ? SetDarkExposure(exposure) : SearchExposure(engine, exposure, resolution, source, darkSet);
    if (prepared != status::Ok) return prepared;

    const CalibrationGeometry geometry = GeometryFor(source, platform::SharedState().FAUScanPosition);
    const uint16_t lines = dark ? kDarkPassLines : kWhitePassLines;
    const PassJob job = PassJobFor(resolution, dark, depth);
    const bool document = (source & 1) != 0;
    const uint32_t pixels = uint32_t(job.resolution) * uint32_t(geometry.width) / 4800;
    const unsigned subBlock = (document && dark && job.resolution == 600) ? job.kind % 10 : 0;
    const ReferenceSet& target = dark ? darkSet : whiteSet;
    const uint8_t planes = document ? 3 : 4;
    for (uint8_t ch = 0; ch < planes; ++ch)
        if (target.channel[ch] == nullptr) return status::OutOfMemory;
    if (size_t(subBlock + 1) * pixels > kShadingEntries) return status::OutOfMemory;

    std::vector<uint8_t> strip;
    const StatusCode scanned =
        ScanToMemory(engine, strip, static_cast<uint8_t>(engine.device.BusSpeed), job.resolution, 48, lines,
                     geometry.xStart, geometry.width, source, geometry.channels, exposure, 0, dark ? 1 : 0, 0,
                     job.kind);
    if (scanned != status::Ok) return scanned;

    const uint32_t samplesPerLine = engine.progress.RawLineBytes / 2;
    if (strip.size() < size_t(lines) * samplesPerLine * 2) return status::MemoryScanReadFailed;
    std::vector<uint16_t> averaged;
    if (!AverageStrip(strip, lines, samplesPerLine, dark, averaged)) return status::OutOfMemory;

    const uint32_t planeSamples = samplesPerLine / geometry.channels;
    const uint32_t copied = std::min(pixels, planeSamples);
    for (uint8_t ch = 0; ch < planes; ++ch)
        std::copy_n(averaged.begin() + size_t(ch) * planeSamples, copied,
                    target.channel[ch] + size_t(subBlock) * pixels);
    return status::Ok;
}

}  // namespace zrt
