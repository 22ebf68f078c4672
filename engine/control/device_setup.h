// Bringing an opened controller into its working state: reset, control
// lines, auxiliary and indirect registers, the register shadow, the engine's
// work tables and the film adapter scan position from FAU.txt.
#pragma once

#include <cstdint>

#include "engine/api/status_codes.h"

namespace zrt {

struct ScannerEngine;

// The whole set-up of an opened device; the status names the failed step.
// Steps before a failure are not undone.
StatusCode SetUpDevice(ScannerEngine& engine);

// The steps, each true on success.
bool ResetController(ScannerEngine& engine);
bool EnableMemory(ScannerEngine& engine);
bool InitControlLines(ScannerEngine& engine);
bool InitAuxRegisters(ScannerEngine& engine);
bool InitIndirectRegisters(ScannerEngine& engine);
bool WriteIndirectRegister(ScannerEngine& engine, uint8_t index, uint32_t value);
bool AllocateEngineBuffers(ScannerEngine& engine);

}  // namespace zrt
