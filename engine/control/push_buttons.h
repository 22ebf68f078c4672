// The scanner's seven push buttons, read from bits 0-3 of register 0x91.
#pragma once

#include <cstdint>

#include "engine/api/status_codes.h"

namespace zrt {

struct ScannerEngine;

// What InitialButton reports: button kind 3, seven buttons, mask 7.
inline constexpr uint32_t kButtonKind = 3;
inline constexpr uint16_t kButtonCount = 7;
inline constexpr uint16_t kButtonMask = 7;

// The button (1-7) a raw register 0x91 value stands for, 0 for none.
uint8_t DecodeButtonCode(uint8_t reg91);

// Reads register 0x91 once and decodes it into `code` (0 on failure).
StatusCode ReadButtonCode(ScannerEngine& engine, uint8_t& code);

// The 2-byte report: {0x80, 1 << (code - 1)} for a pressed button, {0, 0}
// for none.
void ButtonReport(uint8_t code, uint8_t out[2]);

}  // namespace zrt
