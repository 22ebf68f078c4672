#include "engine/pipeline/scan_start.h"

#include <algorithm>
#include <new>

#include "engine/calibration/measure_reference.h"
#include "engine/calibration/reference_set.h"
#include "engine/calibration/shading_cache.h"
#include "engine/calibration/shading_compute.h"
#include "engine/motion/carriage_motion.h"
#include "engine/motion/scan_programming.h"
#include "engine/motion/scan_timing.h"
#include "engine/pipeline/film_positioning.h"
#include "engine/pipeline/infrared_file.h"
#include "engine/pipeline/line_filter.h"
#include "engine/pipeline/reader_thread.h"
#include "engine/pipeline/scan_parameters.h"
#include "engine/pipeline/scan_ring.h"

namespace zrt {
namespace {

constexpr uint32_t kSegmentUnits = 7376;   // 1/4800 inch of film per segment
constexpr uint32_t kOverlapLines = 10;
constexpr uint32_t kDocumentPixels = 40832; // a 4800 dpi document line
constexpr uint32_t kFilmPixels = 6400;      // a 4800 dpi film line

bool IsFilm(uint8_t source) { return (source & 0x0C) != 0; }

// The calibration resolution whose shading a scan at xRes uses.
uint32_t CalibrationResolution(uint16_t xRes, bool document) {
    uint32_t cal = RoundUpToMultiple(xRes, 600);
    if (document && cal == 2400) {
        cal = 4800;
    }
    return cal;
}

// Pixels of the shading tables at `cal`; resolutions above 4800 use the
// full 4800 dpi table rather than dividing by zero.
uint32_t ShadingPixels(uint32_t full, uint32_t cal) {
    uint32_t step = 4800 / cal;
    return full / (step == 0 ? 1 : step);
}

// Step 8: a fresh dark reference against the cached white.
StatusCode RefreshShading(ScannerEngine& engine) {
    const ScanConfig& c = engine.config;
    bool document = c.Source == 1;
    uint32_t cal = CalibrationResolution(c.XRes, document);
    if (cal == 0) {
        return status::ShadingPrepareFailed;
    }
    StatusCode st = HomeAndVerify(engine);
    if (st != status::Ok) {
        return st;
    }
    uint16_t passResolution = static_cast<uint16_t>(document ? (c.XRes == 2400 ? 4800 : c.XRes) : cal);
    ChannelExposure darkExposure;
    ReferenceSet dark = SetOf(engine.shading.ShadingOffset);
    st = MeasureReference(engine, passResolution, c.Source, c.Depth, darkExposure, true, ReferenceSet{}, dark);
    if (st != status::Ok) {
        return st;
    }
    uint32_t p = ShadingPixels(document ? kDocumentPixels : kFilmPixels, cal);
    if (!engine.shading.AllPresent() || p > kShadingEntries) {
        return status::ShadingPrepareFailed;
    }
    if (document && (c.XRes == 75 || c.XRes == 150 || c.XRes == 300)) {
        unsigned k = c.XRes == 75 ? 3 : c.XRes == 150 ? 2 : 1;
        if (size_t{k + 1} * p <= kShadingEntries) {
            for (unsigned ch = 0; ch < 3; ++ch) {
                MoveSubBlockToFront(engine.shading.ShadingOffset[ch].data(), p, k);
            }
        }
    }
    for (unsigned ch = 0; ch < 4; ++ch) {
        std::copy_n(engine.shading.ShadingWhiteCopy[ch].begin(), p, engine.shading.ShadingGain[ch].begin());
    }
    ComputeShading(p, document ? 1 : 12, SetOf(engine.shading.ShadingGain).channel, dark.channel);
    return status::Ok;
}

void ScaleFilmExposure(const ScanConfig& c, ChannelExposure& exposure) {
    const uint16_t gains[3] = {c.GainR, c.GainG, c.GainB};
    for (unsigned k = 0; k < 3; ++k) {
        exposure.exposure[k] = static_cast<uint16_t>((uint32_t{exposure.exposure[k]} * gains[k]) >> 12);
    }
}

StatusCode ProgramAndStart(ScannerEngine& engine, uint32_t feedSteps, const ChannelExposure& exposure) {
    const ScanConfig& c = engine.config;
    ScanSetup setup;
    setup.xDpi = c.XRes;
    setup.yDpi = c.YRes;
    setup.depth = c.Depth;
    setup.source = c.Source;
    setup.feedSteps = static_cast<int32_t>(feedSteps);
    setup.xStart = c.OriginX;
    setup.width = c.WidthUnits;
    setup.lines = c.Depth == 8 ? engine.progress.Lines + 1 : engine.progress.Lines;
    setup.channels = c.Channels;
    setup.busSpeed = static_cast<uint8_t>(engine.device.BusSpeed);
    setup.exposure = &exposure;
    setup.shadingOn = 1;
    setup.timingVariant = c.TimingVariant;
    setup.gammaOn = c.Depth != 48 ? 1 : 0;
    ProgramScan(engine, setup, 0);
    engine.ExposureMultiplier = 4096;
    if (!engine.device.SetControlLine(6, 1)) {
        return status::ScanLine6Failed;
    }
    StatusCode st = StartEngine(engine);
    if (st != status::Ok) {
        return st;
    }
    if (!engine.device.PrepareImageRead()) {
        return status::ScanPrepareReadFailed;
    }
    return status::Ok;
}

// Steps 19-21. Nothing runs without its ring and filter.
StatusCode CreateScanObjects(ScannerEngine& engine) {
    ScanProgress& progress = engine.progress;
    uint32_t length = progress.RawLineBytes + progress.RawLineExtra;
    auto ring = std::unique_ptr<ScanRing>(new (std::nothrow) ScanRing(kScanRingCapacity));
    if (ring == nullptr || !ring->ok()) {
        return status::OutOfMemory;
    }
    FilterChoice choice = ChooseFilter(engine.config);
    auto filter = std::unique_ptr<LineFilter>(new (std::nothrow) LineFilter(
        length, progress.RawLineExtra, progress.RawLinesLeft, choice.kind, choice.strength));
    if (filter == nullptr || !filter->ok()) {
        return status::OutOfMemory;
    }
    try {
        engine.scan.LineBuffer.assign(length, 0);
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory;
    }
    engine.scan.Ring = std::move(ring);
    engine.scan.Filter = std::move(filter);
    progress.StopRequest.store(0);
    return CreateReaderThread(engine) ? status::Ok : status::ReaderThreadFailed;
}

// Steps 1-3. A failed control line means no scan runs, which the caller
// must be told.
StatusCode RaiseScanLines(ScannerEngine& engine) {
    if (!engine.device.SetControlLine(11, 1)) {
        return status::ScanLine6Failed;
    }
    if (!engine.device.SetRegisterField(0x60, 0, 0, 1)) {
        return status::Register60Failed;
    }
    if (!engine.device.SetControlLine(15, 1)) {
        return status::ScanLine6Failed;
    }
    return status::Ok;
}

StatusCode StartDeviceScan(ScannerEngine& engine) {
    ScanConfig& c = engine.config;
    ChannelExposure exposure;
    if (!LoadShadingCache(engine, c.XRes, c.Source, exposure, true)) {
        return status::ShadingPrepareFailed;
    }
    StatusCode st = RefreshShading(engine);
    if (st != status::Ok) {
        return st;
    }
    MotorTiming timing = LookupScanTiming(engine, c.Source, static_cast<uint8_t>(engine.device.BusSpeed), c.Depth,
                                          c.Channels, c.YRes);
    uint32_t distance = StartDistance(c, timing.ramp[0].len, engine.OriginOffset);
    st = FeedToScanStart(engine, distance);
    if (st != status::Ok) {
        return st;
    }
    if (c.YRes >= 1200) {
        st = SetHighResolutionDrive(engine, 1);
        if (st != status::Ok) {
            return st;
        }
    }
    if (IsFilm(c.Source)) {
        st = PositionFilm(engine);
        if (st != status::Ok) {
            return st;
        }
        ScaleFilmExposure(c, exposure);
    }
    st = ProgramAndStart(engine, distance, exposure);
    if (st != status::Ok) {
        return st;
    }
    return CreateScanObjects(engine);
}

}  // namespace

ScanLineCounts ComputeLineCounts(const ScanConfig& config) {
    ScanLineCounts counts;
    uint32_t n = config.HeightUnits * config.YRes / 4800;
    counts.lines = counts.rawLinesLeft = n;
    if (IsFilm(config.Source) && config.HeightUnits > kSegmentUnits) {
        uint32_t s = kSegmentUnits * config.YRes / 4800;
        counts.split = 1;
        counts.lines = s;
        counts.rawLinesLeft = s == 0 ? n : n + kOverlapLines * (n / s);
    }
    return counts;
}

uint32_t StartDistance(const ScanConfig& config, uint16_t tableLength, uint16_t originOffset) {
    uint32_t y0 = config.OriginY * 1200 / 4800;
    uint32_t l = tableLength;
    if (config.YRes == 9600) {
        return y0 - ((l * 1200 / 4800) / 2) + originOffset;
    }
    if (config.YRes >= 1200) {
        return y0 - l * 1200 / 4800 + originOffset;
    }
    return y0 + originOffset - l;
}

FilterChoice ChooseFilter(const ScanConfig& c) {
    FilterChoice choice{c.Depth, 0};
    if (IsFilm(c.Source) && c.FilmOption == 0 && c.UseAG != 0) {
        // The four-plane film filter reads 16-bit samples; a 24-bit film
        // line is delivered as scanned.
        if (c.Depth == 48) {
            choice = {64, 0x16};
        }
        return choice;
    }
    if (c.Source == 1 && c.Depth != 48) {
        choice.strength = c.XRes < 4800 ? 0x14 : 0x01;
    }
    return choice;
}

StatusCode StartScan(ScannerEngine& engine) {
    if (ReaderRunning(engine.progress)) {
        return status::DeviceActive;
    }
    ScanConfig& c = engine.config;
    ScanLineCounts counts = ComputeLineCounts(c);
    if (c.Source != 8 && counts.lines == 0) {
        return status::NoScanActive;  // a window without a whole line
    }
    StatusCode st = RaiseScanLines(engine);
    if (st != status::Ok) {
        return st;
    }
    // A blend left by a scan that ended early belongs to no later scan.
    std::vector<uint8_t>().swap(Request().BlendLines);
    Request().BlendCount = 0;
    if (c.Source == 8) {
        OpenInfraredFile(engine, 1);
        return status::Ok;
    }
    if (c.Source == 12) {
        OpenInfraredFile(engine, 0);
    }
    ScanProgress& progress = engine.progress;
    progress.Lines = counts.lines;
    progress.RawLinesLeft = counts.rawLinesLeft;
    progress.ReadCalls = 0;
    progress.Split = counts.split;
    return StartDeviceScan(engine);
}

}  // namespace zrt
