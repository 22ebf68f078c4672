#include "engine/pipeline/scan_parameters.h"

#include <cstring>

#include "engine/api/export_support.h"
#include "engine/pipeline/ag_exposure.h"
#include "platform/shared_state.h"

namespace zrt {
namespace {

// Window limits in 1/4800 inch.
constexpr uint32_t kDocMaxXOrigin = 40768;
constexpr uint32_t kDocMaxWidth = 40832;
constexpr uint32_t kDocMaxYOrigin = 56064;
constexpr uint32_t kDocMaxHeight = 56128;
constexpr uint32_t kMinExtent = 64;
constexpr uint32_t kFilmMinResolution = 300;
constexpr uint32_t kFilmMaxXOffset = 6336;
constexpr uint32_t kFilmMaxWidth = 6400;
constexpr uint32_t kFilmMinYOrigin = 9222;
constexpr uint32_t kFilmMaxHeight = 43264;
constexpr uint32_t kFilmMaxYEnd = 53197;
constexpr uint32_t kGreyFromColourMaxDpi = 150;
constexpr uint16_t kUnityGain = 4096;

StatusCode CheckDocumentWindow(const ScanParameters& p) {
    uint32_t x = p.XOrigin, w = p.Width, y = p.YOrigin, h = p.Height;
    if (x > kDocMaxXOrigin) return status::FlatbedXOrigin;
    if (w < kMinExtent || w > kDocMaxWidth) return status::FlatbedWidth;
    if (x + w > kDocMaxWidth) return status::FlatbedXEnd;
    if (y > kDocMaxYOrigin) return status::FlatbedYOrigin;
    if (h < kMinExtent || h > kDocMaxHeight) return status::FlatbedHeight;
    if (y + h > kDocMaxHeight) return status::FlatbedYEnd;
    return status::Ok;
}

// The film area's left edge depends on where the film adapter sits.
uint32_t FilmAreaStart(uint8_t fauScanPosition) { return fauScanPosition == 2 ? 4809 : 9968; }

StatusCode CheckFilmWindow(const ScanParameters& p, uint8_t fauScanPosition) {
    uint32_t s = FilmAreaStart(fauScanPosition);
    uint32_t x = p.XOrigin, w = p.Width, y = p.YOrigin, h = p.Height;
    if (p.XResolution < kFilmMinResolution || p.YResolution < kFilmMinResolution) return status::FilmResolution;
    if (x < s || x > s + kFilmMaxXOffset) return status::FilmXOrigin;
    if (w < kMinExtent || w > kFilmMaxWidth) return status::FilmWidth;
    if (x + w > s + kFilmMaxWidth) return status::FilmXEnd;
    if (y < kFilmMinYOrigin) return status::FilmYOrigin;
    if (h < kMinExtent || h > kFilmMaxHeight) return status::FilmHeight;
    if (y + h > kFilmMaxYEnd) return status::FilmYEnd;
    return status::Ok;
}

bool IsGreyDepth(uint32_t depth) { return depth == 8 || depth == 16; }

}  // namespace

StatusCode CheckScanParameters(const ScanParameters& p, uint8_t fauScanPosition) {
    return p.FilmScan == 0 ? CheckDocumentWindow(p) : CheckFilmWindow(p, fauScanPosition);
}

uint32_t LineBytesOf(const ScanParameters& p) {
    uint32_t pixels = uint32_t{p.Width} * p.XResolution / 4800;
    return uint32_t{p.BitDepth} * pixels / 8;
}

uint32_t LinesLeftOf(const ScanParameters& p) { return uint32_t{p.Height} * p.YResolution / 4800; }

StatusCode ApplyScanParameters(ScannerEngine& engine, const ScanParameters& p, uint8_t lampSelection) {
    ScanConfig& c = engine.config;
    if (p.UseAGData == 1) {
        c.AGInUse = 1;
        StatusCode st = PrepareAGExposure(engine, p, lampSelection);
        if (st != status::Ok) {
            return st;
        }
        c.AGCopy = Request().AGData;
        c.GainR = c.AGCopy[18];
        c.GainG = c.AGCopy[19];
        c.GainB = c.AGCopy[20];
    } else {
        c.AGInUse = 0;
        c.GainR = c.GainG = c.GainB = kUnityGain;
    }
    c.Source = lampSelection;
    c.Depth = p.BitDepth;
    c.FilmOption = p.FilmOption;
    c.UseAG = p.UseAGData;
    c.Channels = IsGreyDepth(p.BitDepth) ? 1 : 3;
    if (c.Source & 0x08) {
        c.Channels = 4;
    }
    c.XRes = p.XResolution;
    c.YRes = p.YResolution;
    c.GreyFromColour = 0;
    if ((c.Source & 0x01) && p.BitDepth == 8 && p.XResolution <= kGreyFromColourMaxDpi) {
        c.Depth = 24;
        c.Channels = 3;
        c.GreyFromColour = 1;
    }
    c.OriginY = p.YOrigin;
    c.OriginX = p.XOrigin;
    c.WidthUnits = p.Width;
    c.HeightUnits = p.Height;
    return status::Ok;
}

StatusCode SetScanParameter(ScannerEngine& engine, const ScanParameters& p) {
    ScanRequest& request = Request();
    request.StoredParameters = p;
    // A scan reads the set-up while it runs; changing it underneath would
    // make the lines in the ring mean something else.
    if (ReaderRunning(engine.progress)) {
        return status::DeviceActive;
    }
    StatusCode st = CheckScanParameters(p, platform::SharedState().FAUScanPosition);
    if (st != status::Ok) {
        return st;
    }
    st = ApplyScanParameters(engine, p, Process().LampSelection);
    if (st != status::Ok) {
        return st;
    }
    request.LineBytes = LineBytesOf(p);
    request.LinesLeft = LinesLeftOf(p);
    request.Accepted = true;
    return status::Ok;
}

void WriteDefaultAGData(AGDataWords& data) {
    for (unsigned i = 0; i <= 20; ++i) {
        data[i] = kUnityGain;
    }
    data[1] = 65535;
    data[17] = 65535;
}

void GetDataStatus(ScannerEngine& engine, DataStatus& out) {
    ScanRequest& request = Request();
    ScanParameters& stored = request.StoredParameters;
    out.LineBytes = request.LineBytes;
    out.LinesLeft = request.LinesLeft;
    if (stored.FilmScan == 0 && stored.BitDepth == 8 && stored.XResolution <= kGreyFromColourMaxDpi) {
        stored.BitDepth = 24;
    }
    uint8_t lamp = Process().LampSelection;
    uint32_t period = LineTimePeriod(engine, lamp, stored.BitDepth, stored.XResolution);
    uint32_t channels = IsGreyDepth(stored.BitDepth) ? 1 : 3;
    if (lamp & 0x08) {
        channels += 1;
    }
    out.LineTime = channels * period * 8 / 30;
}

}  // namespace zrt
