#include "engine/pipeline/line_assembly.h"

#include <cstring>
#include <new>
#include <vector>

#include "engine/pipeline/infrared_file.h"
#include "engine/pipeline/line_filter.h"
#include "engine/pipeline/scan_ring.h"
#include "engine/pipeline/scan_stop.h"
#include "platform/clock.h"

namespace zrt {
namespace {

constexpr uint32_t kBlendLineCount = 10;

inline uint16_t Load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

inline void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

bool IsFilm(uint8_t source) { return (source & 0x0C) != 0; }
bool HasWideSamples(uint8_t depth) { return depth != 8 && depth != 24; }

bool EnsureSize(std::vector<uint8_t>& buffer, size_t size) {
    if (buffer.size() >= size) {
        return true;
    }
    try {
        buffer.resize(size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool BypassesFilter(const ScannerEngine& engine) {
    const ScanConfig& c = engine.config;
    if (IsFilm(c.Source) && (c.FilmOption != 0 || c.UseAG == 0)) {
        return true;
    }
    if ((c.Source & 0x01) && c.Depth == 48) {
        return true;
    }
    return engine.scan.Filter == nullptr;
}

bool TakeRawLine(ScannerEngine& engine, uint8_t* buffer, uint32_t length) {
    if (!WaitForRawLine(engine)) {
        FinishScan(engine);
        return false;
    }
    return engine.scan.Ring->Take(buffer, length) == 0;
}

// Steps 2 and 3: the raw line of this output line, through the filter or not.
bool FetchRawLine(ScannerEngine& engine, uint8_t* buffer, uint32_t length) {
    if (BypassesFilter(engine)) {
        return TakeRawLine(engine, buffer, length);
    }
    LineFilter& filter = *engine.scan.Filter;
    if (filter.threeLine() && filter.held() == 0) {
        // The first output line is the first raw line as taken; the filter
        // also needs the line below it before it can smooth the next one.
        if (!TakeRawLine(engine, buffer, length)) {
            return false;
        }
        filter.Push(buffer);
        if (engine.progress.RawLinesLeft <= 1) {
            return true;  // a one-line scan has no line below
        }
        if (!EnsureSize(engine.scan.SecondLine, length)) {
            return false;
        }
        uint8_t* second = engine.scan.SecondLine.data();
        if (!TakeRawLine(engine, second, length)) {
            return false;
        }
        filter.Push(second);
        return true;
    }
    if (filter.threeLine() && engine.progress.RawLinesLeft == 1) {
        std::memset(buffer, 0, length);
        filter.Push(buffer);
        filter.Emit(buffer);
        return true;
    }
    if (!TakeRawLine(engine, buffer, length)) {
        return false;
    }
    filter.Push(buffer);
    filter.Emit(buffer);
    return true;
}

void DropExtraSamples(uint8_t* buffer, const ScanProgress& progress, uint32_t channels) {
    uint32_t length = progress.RawLineBytes + progress.RawLineExtra;
    uint32_t validPlane = progress.RawLineBytes / channels;
    uint32_t fullPlane = length / channels;
    for (uint32_t j = 1; j < channels; ++j) {
        std::memmove(buffer + j * validPlane, buffer + j * fullPlane, validPlane);
    }
}

const uint16_t* GammaTable(const ScannerEngine& engine, unsigned channel) {
    const std::vector<uint16_t>& slot = engine.gamma.slot[channel];
    return slot.size() == 65536 ? slot.data() : nullptr;
}

// Step 7 for 48-bit lines: the gamma tables, and film pixels in reverse order.
void ApplyGamma48(const ScannerEngine& engine, uint8_t* line, uint32_t pixels) {
    for (unsigned ch = 0; ch < 3; ++ch) {
        const uint16_t* table = GammaTable(engine, ch);
        if (table == nullptr) {
            continue;  // no tables yet: identity
        }
        for (uint32_t p = 0; p < pixels; ++p) {
            uint8_t* sample = line + 6 * size_t{p} + 2 * ch;
            Store16(sample, table[Load16(sample)]);
        }
    }
    if (engine.config.Source & 0x01) {
        return;  // document lines keep their pixel order
    }
    for (uint32_t a = 0, b = pixels; a + 1 < b; ++a, --b) {
        uint8_t tmp[6];
        std::memcpy(tmp, line + 6 * size_t{a}, 6);
        std::memcpy(line + 6 * size_t{a}, line + 6 * size_t{b - 1}, 6);
        std::memcpy(line + 6 * size_t{b - 1}, tmp, 6);
    }
}

StatusCode ReadSplitLines(ScannerEngine& engine, uint8_t* dst, uint32_t count, uint32_t lineBytes) {
    ScanProgress& progress = engine.progress;
    ScanRequest& request = Request();
    uint32_t s = progress.Lines;
    uint32_t calls = progress.ReadCalls;
    if (calls != 0 && s > kBlendLineCount && calls >= s - kBlendLineCount &&
        (calls - s + kBlendLineCount) % s == 0) {
        try {
            request.BlendLines.assign(size_t{kBlendLineCount} * lineBytes, 0);
        } catch (const std::bad_alloc&) {
            return status::BlendLinesFailed;
        }
        for (uint32_t i = 0; i < kBlendLineCount; ++i) {
            if (!AssembleLine(engine, request.BlendLines.data() + size_t{i} * lineBytes)) {
                return status::BlendLinesFailed;
            }
        }
        progress.ReadCalls += kBlendLineCount;
        request.BlendCount = kBlendLineCount;
    }
    progress.ReadCalls += 1;
    bool wide = HasWideSamples(engine.config.Depth);
    for (uint32_t i = 0; i < count / lineBytes; ++i) {
        uint8_t* line = dst + size_t{i} * lineBytes;
        if (!AssembleLine(engine, line)) {
            return status::DeliverLineFailed;
        }
        if (request.BlendCount == 0) {
            continue;
        }
        uint32_t w = request.BlendCount;
        const uint8_t* kept = request.BlendLines.data() + size_t{kBlendLineCount - w} * lineBytes;
        BlendLine(line, kept, lineBytes, w, wide);
        request.BlendCount -= 1;
        if (request.BlendCount == 0) {
            std::vector<uint8_t>().swap(request.BlendLines);
        }
    }
    return status::Ok;
}

}  // namespace

uint32_t OutputLineBytes(const ScannerEngine& engine) {
    uint32_t raw = engine.progress.RawLineBytes;
    if (engine.config.GreyFromColour) {
        return raw / 3;
    }
    if (engine.config.Channels == 4) {
        return 3 * raw / 4;
    }
    return raw;
}

void InterleavePlanes(const ScanConfig& config, uint8_t* dst, const uint8_t* src, uint32_t bytes) {
    uint32_t channels = config.Channels == 0 ? 1 : config.Channels;
    uint32_t k = channels < 3 ? channels : 3;
    if (!HasWideSamples(config.Depth)) {
        uint32_t cnt = bytes / channels;
        if (k == 1) {
            std::memcpy(dst, src, cnt);
            return;
        }
        const uint8_t* r = src;
        const uint8_t* g = src + cnt;
        const uint8_t* b = src + 2 * size_t{cnt};
        for (uint32_t i = 0; i < cnt; ++i) {
            dst[3 * size_t{i}] = r[i];
            dst[3 * size_t{i} + 1] = g[i];
            dst[3 * size_t{i} + 2] = b[i];
        }
        return;
    }
    uint32_t cnt = (bytes / channels) / 2;
    bool film = config.Source != 1;
    for (uint32_t j = 0; j < k; ++j) {
        const uint8_t* plane = src + 2 * size_t{j} * cnt;
        for (uint32_t i = 0; i < cnt; ++i) {
            uint16_t v = Load16(plane + 2 * size_t{i});
            if (film) {
                v = RemoveBlackOffset(v, config.FilmOption);
            }
            Store16(dst + 2 * (size_t{i} * k + j), v);
        }
    }
}

bool WaitForRawLine(ScannerEngine& engine) {
    ScanRing* ring = engine.scan.Ring.get();
    ReaderHandle* reader = engine.progress.ReaderThread.get();
    if (ring == nullptr || reader == nullptr) {
        return false;
    }
    uint32_t length = engine.progress.RawLineBytes + engine.progress.RawLineExtra;
    for (uint32_t polls = 0; ring->Used() < length; ++polls) {
        if (polls >= kRawLinePollLimit) {
            return false;
        }
        platform::SleepMs(10);
        uint32_t code = reader->ExitCode.load(std::memory_order_acquire);
        if (code == kStillActive) {
            continue;
        }
        // An ended reader puts nothing more: what the ring holds now is all.
        if (code != 1 || ring->Used() < length) {
            return false;
        }
    }
    return true;
}

bool AssembleLine(ScannerEngine& engine, uint8_t* dst) {
    ScanProgress& progress = engine.progress;
    const ScanConfig& config = engine.config;
    uint32_t length = progress.RawLineBytes + progress.RawLineExtra;
    uint32_t channels = config.Channels == 0 ? 1 : config.Channels;
    if (!EnsureSize(engine.scan.LineBuffer, length)) {
        return false;
    }
    uint8_t* buffer = engine.scan.LineBuffer.data();
    if (!FetchRawLine(engine, buffer, length)) {
        return false;
    }
    if (progress.RawLinesLeft != 0) {
        progress.RawLinesLeft -= 1;
    }
    if (progress.RawLineExtra != 0) {
        DropExtraSamples(buffer, progress, channels);
    }
    uint32_t plane = progress.RawLineBytes / channels;
    if (config.GreyFromColour) {
        // The interleaved green samples are the green plane as it stands.
        std::memcpy(dst, buffer + plane, plane);
    } else {
        InterleavePlanes(config, dst, buffer, progress.RawLineBytes);
    }
    if (config.Depth == 48) {
        ApplyGamma48(engine, dst, plane / 2);
    }
    if (channels == 4 && !WriteInfraredPlane(engine, buffer + 3 * size_t{progress.RawLineBytes / 4},
                                             progress.RawLineBytes / 4)) {
        return false;
    }
    return true;
}

void BlendLine(uint8_t* line, const uint8_t* kept, uint32_t bytes, uint32_t w, bool wideSamples) {
    uint32_t keptWeight = w - 1;
    uint32_t newWeight = kBlendLineCount - w + 1;
    if (!wideSamples) {
        for (uint32_t i = 0; i < bytes; ++i) {
            line[i] = static_cast<uint8_t>((kept[i] * keptWeight + line[i] * newWeight) / 10);
        }
        return;
    }
    uint32_t samples = bytes / 6 * 3;
    for (uint32_t i = 0; i < samples; ++i) {
        uint32_t a = Load16(kept + 2 * size_t{i});
        uint32_t b = Load16(line + 2 * size_t{i});
        Store16(line + 2 * size_t{i}, static_cast<uint16_t>((a * keptWeight + b * newWeight) / 10));
    }
}

StatusCode ReadLines(ScannerEngine& engine, uint8_t* dst, uint32_t count) {
    if (engine.config.Source == 8) {
        return ReplayInfrared(engine, dst, count) ? status::Ok : status::ShadingPrepareFailed;
    }
    uint32_t lineBytes = OutputLineBytes(engine);
    // Without a running scan there is nothing to deliver and nothing to end.
    if (engine.scan.Ring == nullptr || lineBytes == 0) {
        return count == 0 ? status::Ok : status::DeliverLineFailed;
    }
    // Lines that do not have the size the caller was told (a grey film
    // scan delivers three samples a pixel) would be miscounted.
    if (lineBytes != Request().LineBytes || count % lineBytes != 0) {
        return status::ByteCountNotWholeLines;
    }
    if (engine.progress.Split == 1) {
        return ReadSplitLines(engine, dst, count, lineBytes);
    }
    for (uint32_t i = 0; i < count / lineBytes; ++i) {
        if (!AssembleLine(engine, dst + size_t{i} * lineBytes)) {
            return status::DeliverLineFailed;
        }
    }
    return status::Ok;
}

StatusCode ReadScan(ScannerEngine& engine, uint8_t* data, uint32_t count) {
    ScanRequest& request = Request();
    if (!request.Accepted || request.LineBytes == 0) {
        return status::NoScanActive;
    }
    if (count % request.LineBytes != 0) {
        return status::ByteCountNotWholeLines;
    }
    if (count != 0 && data == nullptr) {
        return status::DeliverLineFailed;
    }
    StatusCode st = ReadLines(engine, data, count);
    if (st != status::Ok) {
        return st;
    }
    uint32_t lines = count / request.LineBytes;
    request.LinesLeft = lines > request.LinesLeft ? 0 : request.LinesLeft - lines;
    return status::Ok;
}

}  // namespace zrt
