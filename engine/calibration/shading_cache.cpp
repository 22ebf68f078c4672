#include "engine/calibration/shading_cache.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/api/scanner_engine.h"
#include "engine/calibration/cache_file.h"
#include "engine/calibration/cache_names.h"
#include "engine/calibration/shading_compute.h"
#include "engine/pipeline/scan_parameters.h"
#include "platform/temp_dir.h"

namespace zrt {
namespace {

bool IsDocument(uint8_t source) { return (source & 1) != 0; }

bool FitsTables(const ShadingFileLayout& layout) {
    return layout.P <= kShadingEntries && layout.Q <= kShadingEntries;
}

void PutU16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

uint16_t GetU16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

void PutSamples(uint8_t* at, const uint16_t* samples, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) PutU16(at + 2 * size_t(i), samples[i]);
}

void GetSamples(uint16_t* samples, const uint8_t* at, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) samples[i] = GetU16(at + 2 * size_t(i));
}

void PutExposure(uint8_t* at, const ChannelExposure& exposure) {
    for (size_t ch = 0; ch < 4; ++ch) at[ch] = exposure.level[ch];
    for (size_t ch = 0; ch < 4; ++ch) PutU16(at + 4 + 2 * ch, exposure.exposure[ch]);
}

ChannelExposure GetExposure(const uint8_t* at) {
    ChannelExposure exposure;
    for (size_t ch = 0; ch < 4; ++ch) exposure.level[ch] = at[ch];
    for (size_t ch = 0; ch < 4; ++ch) exposure.exposure[ch] = GetU16(at + 4 + 2 * ch);
    return exposure;
}

// Writes `bytes` to `path` under a temporary name in the same directory and
// renames it into place: a reader sees the old file or the whole new one.
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (path.empty()) return false;
    const std::string tempPath = path + ".new";
    std::remove(tempPath.c_str());  // a leftover (or a planted link) is never written through
    CacheFile file;
    if (!file.Open(tempPath, "wb")) return false;
    const bool written = file.Write(bytes.data(), 1, bytes.size()) == bytes.size();
    const bool closed = file.Close();
    if (!written || !closed || !platform::ReplaceFile(tempPath, path)) {
        std::remove(tempPath.c_str());
        return false;
    }
    return true;
}

// The whole reference file, or false when it cannot be opened or holds
// fewer bytes than its layout needs.
bool ReadReferenceFile(const std::string& path, const ShadingFileLayout& layout, std::vector<uint8_t>& bytes) {
    CacheFile file;
    if (path.empty() || !file.Open(path, "rb")) return false;
    try {
        bytes.resize(layout.Bytes());
    } catch (const std::bad_alloc&) {
        return false;
    }
    return file.Read(bytes.data(), 1, bytes.size()) == bytes.size();
}

}  // namespace

bool SaveShadingCache(ScannerEngine& engine, uint16_t resolution, uint8_t source,
                      const ChannelExposure& exposure, const ReferenceSet& whiteSet,
                      const ReferenceSet& darkSet) {
    engine.shading.CalibrationUseCount = 0;
    const ShadingFileLayout layout = LayoutFor(resolution, source);
    if (!FitsTables(layout) || !whiteSet.Present() || !darkSet.Present()) return false;

    std::vector<uint8_t> reference;
    try {
        reference.assign(layout.Bytes(), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    reference[0] = static_cast<uint8_t>(engine.device.BusSpeed);
    PutExposure(&reference[1], exposure);
    for (unsigned ch = 0; ch < 4; ++ch) {
        PutSamples(&reference[layout.WhiteOffset(ch)], whiteSet.channel[ch], layout.P);
        PutSamples(&reference[layout.DarkOffset(ch)], darkSet.channel[ch], layout.Q);
    }
    std::vector<uint8_t> useCount(2);
    PutU16(useCount.data(), engine.shading.CalibrationUseCount);

    if (!WriteWholeFile(ShadingCacheFileName(resolution, source), reference)) return false;
    return WriteWholeFile(UseCountFileName(source), useCount);
}

unsigned DarkSubBlock(uint16_t resolution, uint32_t busSpeed, uint8_t depth) {
    const bool fullSpeed = busSpeed == 1;
    switch (resolution) {
        case 75:
            if (!fullSpeed) return 3;
            return (depth == 24 || depth == 48) ? 3 : 0;
        case 150:
            if (!fullSpeed) return 2;
            return (depth == 24 || depth == 48) ? 2 : 1;
        case 300:
            if (fullSpeed) return depth == 48 ? 1 : 2;
            return depth == 8 ? 2 : 1;
        case 600:
            if (fullSpeed) return depth == 48 ? 0 : 1;
            return 0;
        default:
            return 0;
    }
}

void MoveSubBlockToFront(uint16_t* table, uint32_t count, unsigned block) {
    if (block == 0) return;
    std::memmove(table, table + size_t(block) * count, size_t(count) * sizeof(uint16_t));
}

bool LoadShadingCache(ScannerEngine& engine, uint16_t resolution, uint8_t source,
                      ChannelExposure& exposureOut, bool countUse) {
    uint32_t r = RoundUpToMultiple(resolution, 600);
    if (IsDocument(source) && r == 2400) r = 4800;
    if (r > 0xFFFF) return false;
    const auto calibration = static_cast<uint16_t>(r);
    const unsigned block =
        IsDocument(source) ? DarkSubBlock(resolution, engine.device.BusSpeed, engine.config.Depth) : 0;

    ShadingTables& tables = engine.shading;
    if (!tables.AllPresent()) return false;
    const ShadingFileLayout layout = LayoutFor(calibration, source);
    if (!FitsTables(layout)) return false;

    std::vector<uint8_t> reference;
    if (!ReadReferenceFile(ShadingCacheFileName(calibration, source), layout, reference)) return false;
    CacheFile counter;
    uint8_t countBytes[2];
    if (!counter.Open(UseCountFileName(source), "rb+")) return false;
    if (counter.Read(countBytes, 1, 2) != 2) return false;

    // Everything needed is at hand; from here on the engine takes the new
    // calibration.
    exposureOut = GetExposure(&reference[1]);
    for (unsigned ch = 0; ch < 4; ++ch) {
        GetSamples(tables.ShadingGain[ch].data(), &reference[layout.WhiteOffset(ch)], layout.P);
        GetSamples(tables.ShadingOffset[ch].data(), &reference[layout.DarkOffset(ch)], layout.Q);
        if (IsDocument(source) && calibration == 600)
            MoveSubBlockToFront(tables.ShadingOffset[ch].data(), layout.P, block);
    }
    tables.ShadingEntryCount = layout.P;

    tables.CalibrationUseCount = GetU16(countBytes);
    if (countUse) ++tables.CalibrationUseCount;
    PutU16(countBytes, tables.CalibrationUseCount);
    if (counter.Seek(0)) counter.Write(countBytes, 1, 2);  // a lost count only delays a renewal

    for (unsigned ch = 0; ch < 4; ++ch)
        std::copy_n(tables.ShadingGain[ch].begin(), layout.P, tables.ShadingWhiteCopy[ch].begin());
    ComputeShading(layout.P, source, SetOf(tables.ShadingGain).channel, SetOf(tables.ShadingOffset).channel);
    return true;
}

}  // namespace zrt
