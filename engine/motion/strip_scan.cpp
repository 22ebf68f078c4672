// Strip scans into host memory and the two measurements built on them.
#include <algorithm>
#include <new>

#include "engine/api/scanner_engine.h"
#include "engine/motion/carriage_motion.h"
#include "engine/motion/scan_programming.h"
#include "platform/clock.h"

namespace zrt {
namespace {

constexpr uint32_t kLargestBlock = 0xEFF0;
// A strip whose data stop arriving for this long is given up (10 ms polls).
constexpr unsigned kStallPolls = 6000;

ScanSetup StripSetup(const ScannerEngine& engine, uint8_t busSpeed, uint16_t dpi, uint8_t depth,
                     int32_t lines, int32_t xStart, int32_t width, uint8_t source, uint8_t channels,
                     const ChannelExposure& exposure, int32_t shadingOn, uint8_t ctl10Bit4) {
    ScanSetup setup;
    setup.xDpi = dpi;
    setup.yDpi = dpi;
    setup.depth = depth;
    setup.source = source;
    setup.feedSteps = 4;
    setup.xStart = static_cast<uint32_t>(std::max(xStart, 0));
    setup.width = static_cast<uint32_t>(std::max(width, 0));
    setup.lines = static_cast<uint32_t>(lines);
    setup.channels = channels;
    setup.busSpeed = busSpeed;
    setup.exposure = &exposure;
    setup.shadingOn = static_cast<uint32_t>(shadingOn);
    setup.ctl10Bit4 = ctl10Bit4;
    setup.timingVariant = engine.config.TimingVariant;
    setup.gammaOn = depth != 48 ? 1 : 0;
    setup.ctl11Bit6 = 1;
    return setup;
}

// Reads exactly raw.size() bytes; the controller's count of waiting data
// never makes a read run past the buffer. Requests are whole 16-byte
// blocks, so a tail shorter than one block goes through a scratch block.
StatusCode ReadStrip(Controller& device, std::vector<uint8_t>& raw) {
    size_t done = 0;
    unsigned idlePolls = 0;
    while (done < raw.size()) {
        uint32_t words = 0;
        if (!device.ReadRegisterTriple(0xA5, words)) return status::MemoryScanCountFailed;
        const uint64_t available = uint64_t{words} * 2;
        const size_t left = raw.size() - done;
        const size_t chunk = static_cast<size_t>(
            std::min<uint64_t>({available, kLargestBlock, left}) & ~uint64_t{15});
        const bool tail = chunk == 0 && left < 16 && available >= 16;
        if (chunk == 0 && !tail) {
            if (++idlePolls >= kStallPolls) return status::MemoryScanReadFailed;
            platform::SleepMs(10);
            continue;
        }
        idlePolls = 0;
        if (tail) {
            uint8_t block[16];
            if (!device.ReadImageData(block, sizeof block)) return status::MemoryScanReadFailed;
            std::copy_n(block, left, raw.begin() + static_cast<long>(done));
            done += left;
            continue;
        }
        if (!device.ReadImageData(raw.data() + done, static_cast<uint32_t>(chunk))) {
            return status::MemoryScanReadFailed;
        }
        done += chunk;
    }
    return status::Ok;
}

// The controller pads every plane row; keep the first data bytes of each.
void RemovePadding(const std::vector<uint8_t>& raw, std::vector<uint8_t>& result, size_t planeRows,
                   size_t rawRowBytes, size_t dataRowBytes) {
    for (size_t k = 0; k < planeRows; ++k) {
        std::copy_n(raw.begin() + k * rawRowBytes, dataRowBytes, result.begin() + k * dataRowBytes);
    }
}

}  // namespace

StatusCode ScanToMemory(ScannerEngine& engine, std::vector<uint8_t>& out, uint8_t busSpeed,
                        uint16_t dpi, uint8_t depth, int32_t lines, int32_t xStart, int32_t width,
                        uint8_t source, uint8_t channels, const ChannelExposure& exposure,
                        int32_t shadingOn, uint8_t ctl10Bit4, int32_t homeAfter, uint8_t scanKind) {
    if (lines < 0 || channels == 0) return status::OutOfMemory;
    Controller& device = engine.device;
    const ScanSetup setup = StripSetup(engine, busSpeed, dpi, depth, lines, xStart, width, source,
                                       channels, exposure, shadingOn, ctl10Bit4);
    if (StatusCode s = WaitMotionEnd(engine, 0)) return s;
    if (StatusCode s = WaitControllerIdle(engine)) return s;
    ProgramScan(engine, setup, scanKind);  // StartEngine reports for both
    if (!device.SetControlLine(6, 1)) return status::MemoryScanSetLine6Failed;
    if (StatusCode s = StartEngine(engine)) return s;
    if (!device.PrepareImageRead()) return status::MemoryScanPrepareFailed;

    const size_t dataBytes = engine.progress.RawLineBytes;
    const size_t rawBytes = dataBytes + engine.progress.RawLineExtra;
    std::vector<uint8_t> raw;
    try {
        raw.resize(rawBytes * static_cast<size_t>(lines));
    } catch (const std::bad_alloc&) {
        return status::OutOfMemory;
    }
    if (StatusCode s = ReadStrip(device, raw)) return s;

    std::vector<uint8_t> result;
    try {
        result.resize(dataBytes * static_cast<size_t>(lines));
    } catch (const std::bad_alloc&) {
        return status::MemoryScanBufferFailed;
    }
    RemovePadding(raw, result, static_cast<size_t>(lines) * channels, rawBytes / channels,
                  dataBytes / channels);
    std::vector<uint8_t>().swap(raw);
    out = std::move(result);

    if (!device.SetControlLine(6, 0)) return status::MemoryScanClearLine6Failed;
    if (homeAfter != 0) {
        if (StatusCode s = WaitMotionEnd(engine, 0)) return s;
        if (StatusCode s = ReturnHome(engine, 0, 0)) return s;
    }
    if (StatusCode s = WaitMotionEnd(engine, 0)) return s;
    if (!device.SetRegisterField(0x80, 1, 1, 1)) return status::MemoryScanSet80Failed;
    return status::Ok;
}

namespace {

constexpr int32_t kOriginLines = 128;
constexpr size_t kOriginColumns = 118;   // pixels of the first plane
constexpr int kEdgeDrop = 50;

// Averages, over the columns that show one, the first line where the
// brightness drops by more than kEdgeDrop between the lines two apart.
bool FindEdgeLine(const std::vector<uint8_t>& strip, size_t lineBytes, uint32_t& average) {
    uint32_t sum = 0;
    uint32_t count = 0;
    for (size_t c = 0; c < kOriginColumns; ++c) {
        for (int32_t i = 1; i <= kOriginLines - 2; ++i) {
            const int above = strip[(i - 1) * lineBytes + c];
            const int below = strip[(i + 1) * lineBytes + c];
            if (above - below > kEdgeDrop) {
                sum += static_cast<uint32_t>(i);
                ++count;
                break;
            }
        }
    }
    if (count == 0) return false;
    average = sum / count;
    return true;
}

}  // namespace

StatusCode FindOrigin(ScannerEngine& engine, int16_t& out) {
    out = 0;
    ChannelExposure exposure;
    exposure.exposure = {2800, 2800, 2800, 1};
    std::vector<uint8_t> strip;
    if (StatusCode s = ScanToMemory(engine, strip, 2, 300, 24, kOriginLines, 19520, 1890, 1, 3,
                                    exposure, 0, 0, 1, 0)) {
        return s;
    }
    const size_t lineBytes = strip.size() / kOriginLines;
    uint32_t average = 0;
    if (lineBytes < kOriginColumns || !FindEdgeLine(strip, lineBytes, average)) {
        return status::OriginNotFound;
    }
    // Lines at 300 dpi to motor steps, plus the fixed distance from the
    // edge to the origin and 3.2 mm at 1200 dpi.
    out = static_cast<int16_t>(average * 1200.0 / 300 + 132 + 151.1811023622047685);
    return status::Ok;
}

StatusCode CheckFilmLamp(ScannerEngine& engine) {
    for (std::vector<uint16_t>& slot : engine.gamma.slot) {
        slot.resize(65536);
        for (uint32_t k = 0; k < 65536; ++k) slot[k] = static_cast<uint16_t>(k);
    }
    ChannelExposure exposure;
    exposure.exposure = {4000, 4000, 4000, 1};
    std::vector<uint8_t> strip;
    constexpr int32_t kLines = 250;
    if (StatusCode s = ScanToMemory(engine, strip, 2, 75, 24, kLines, 1600, 2880, 4, 3, exposure, 0, 0, 1, 0)) {
        return s;
    }
    constexpr size_t kPixels = 45;
    const size_t lineBytes = strip.size() / kLines;
    if (lineBytes < 3 * kPixels) return status::FilmLampTooDark;
    // Lines 200-229 lie well inside the lit film window.
    for (size_t plane = 0; plane < 3; ++plane) {
        uint32_t sum = 0;
        for (size_t line = 200; line < 230; ++line) {
            const uint8_t* row = strip.data() + line * lineBytes + plane * kPixels;
            for (size_t p = 0; p < kPixels; ++p) sum += row[p];
        }
        if (sum / 1350 < 200) return status::FilmLampTooDark;
    }
    return status::Ok;
}

}  // namespace zrt
