// The shading cache: the references and exposure of each calibration kept
// in files of the user's temporary directory, so that a scan can start
// without calibrating again, and the use counter that says when to renew.
//
// Reference file (little-endian, no padding): bus speed byte, 12-byte
// ChannelExposure, four white arrays of P entries, four dark arrays of Q
// entries (ShadingFileLayout). Use-count file: one u16.
#pragma once

#include <cstdint>

#include "engine/calibration/reference_set.h"
#include "engine/motion/channel_exposure.h"

namespace zrt {

struct ScannerEngine;

// Writes the references of (resolution, source) and a use counter of 0.
// Both files are written under temporary names and then put in place, so
// an interrupted save leaves the previous calibration intact. false when a
// file could not be created, written or put in place.
bool SaveShadingCache(ScannerEngine& engine, uint16_t resolution, uint8_t source,
                      const ChannelExposure& exposure, const ReferenceSet& whiteSet,
                      const ReferenceSet& darkSet);

// Loads the calibration for a scan at `resolution` into the engine's
// shading tables and white copies, computes the correction, and returns the
// stored exposure. `countUse` counts the load in the use-count file. A
// missing, unreadable or short file fails the load and leaves the engine's
// tables and `exposureOut` as they were.
bool LoadShadingCache(ScannerEngine& engine, uint16_t resolution, uint8_t source,
                      ChannelExposure& exposureOut, bool countUse);

// The dark sub-block of the 600 dpi document file measured with the line
// period that a document scan at `resolution` will run with.
unsigned DarkSubBlock(uint16_t resolution, uint32_t busSpeed, uint8_t depth);

// table[i] := table[block * count + i] for i < count.
void MoveSubBlockToFront(uint16_t* table, uint32_t count, unsigned block);

}  // namespace zrt
