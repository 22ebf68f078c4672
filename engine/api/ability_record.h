// The self-describing record of what the scanner can do: tagged items, each
// an 8-byte little-endian header (id, type, length, value) and a payload.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zrt {

enum AbilityItemType : uint16_t { ItemEnd = 0, ItemValue = 1, ItemBytes = 2, ItemArray = 3 };

inline constexpr size_t kAbilityRecordLength = 442;

// Writes the record into `buffer` (at least kAbilityRecordLength bytes) for
// a device on `busSpeed` (1 = USB 1.1) with the film adapter at
// `fauScanPosition`; returns the number of bytes written.
size_t WriteAbilityRecord(uint8_t* buffer, uint32_t busSpeed, uint8_t fauScanPosition);

}  // namespace zrt
