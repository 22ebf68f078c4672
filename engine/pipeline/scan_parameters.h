// The caller's scan description: its checks against the document and film
// areas, the set-up it gives the engine and the line counts derived from it.
#pragma once

#include <cstdint>

#include "engine/api/scanner_engine.h"
#include "engine/api/status_codes.h"
#include "engine/pipeline/scan_state.h"

namespace zrt {

// The smallest multiple of `step` not below `value`.
constexpr uint32_t RoundUpToMultiple(uint32_t value, uint32_t step) {
    return value + (step - value % step) % step;
}

// The first failing window rule, or Ok. `fauScanPosition` places the film area.
StatusCode CheckScanParameters(const ScanParameters& p, uint8_t fauScanPosition);

// Bytes of one delivered line and the number of lines of the scan.
uint32_t LineBytesOf(const ScanParameters& p);
uint32_t LinesLeftOf(const ScanParameters& p);

// Fills engine.config from an accepted record and the light source.
StatusCode ApplyScanParameters(ScannerEngine& engine, const ScanParameters& p, uint8_t lampSelection);

// The whole operation: stores the record (even a refused one), checks it,
// applies it and sets LineBytes and LinesLeft.
StatusCode SetScanParameter(ScannerEngine& engine, const ScanParameters& p);

// The fixed record GetAGData hands out (words 0-20; word 21 untouched).
void WriteDefaultAGData(AGDataWords& data);

// LineBytes, LinesLeft and the line time of the scan set up.
void GetDataStatus(ScannerEngine& engine, DataStatus& out);

}  // namespace zrt
