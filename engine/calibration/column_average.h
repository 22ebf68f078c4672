// Averaging of calibration lines: a trimmed mean per sensor column, so that
// dust specks and sensor noise in a few lines do not reach the reference.
#pragma once

#include <cstdint>

namespace zrt {

// The mean of `values` without its `dropLow` smallest and `dropHigh` largest
// entries (truncating). Reorders `values` in place. A single value is
// returned as it is; drops that would leave nothing are reduced so that one
// value remains; count 0 gives 0.
uint16_t TrimmedMean(uint16_t* values, uint16_t count, uint16_t dropHigh, uint16_t dropLow);

// dst[j] = trimmed mean of column j over `lines` lines of `samplesPerLine`
// samples. A dark pass drops 20 % at both ends; a white pass drops the 5 %
// brightest and the 45 % darkest (a white strip is only ever darkened by
// dirt, never brightened).
void AverageColumns(uint16_t* dst, const uint16_t* src, uint16_t lines, uint32_t samplesPerLine, bool dark);

}  // namespace zrt
