#include "engine/calibration/column_average.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace zrt {

uint16_t TrimmedMean(uint16_t* values, uint16_t count, uint16_t dropHigh, uint16_t dropLow) {
    if (count == 0) return 0;
    if (count == 1) return values[0];
    dropLow = std::min<uint16_t>(dropLow, count - 1);
    dropHigh = std::min<uint16_t>(dropHigh, count - 1 - dropLow);

    for (uint32_t i = 0; i < dropLow; ++i)
        for (uint32_t j = i + 1; j < count; ++j)
            if (values[i] > values[j]) std::swap(values[i], values[j]);
    for (uint32_t i = dropLow; i < uint32_t(dropLow) + dropHigh; ++i)
        for (uint32_t j = i + 1; j < count; ++j)
            if (values[i] < values[j]) std::swap(values[i], values[j]);

    uint32_t sum = 0;
    for (uint32_t i = uint32_t(dropLow) + dropHigh; i < count; ++i) sum += values[i];
    return static_cast<uint16_t>(sum / (count - dropLow - dropHigh));
}

void AverageColumns(uint16_t* dst, const uint16_t* src, uint16_t lines, uint32_t samplesPerLine, bool dark) {
    const auto dropHigh = static_cast<uint16_t>(dark ? lines * 2 / 10 : lines * 5 / 100);
    const auto dropLow = static_cast<uint16_t>(dark ? lines * 2 / 10 : lines * 45 / 100);
    std::vector<uint16_t> column(lines);
    for (uint32_t j = 0; j < samplesPerLine; ++j) {
        for (uint32_t line = 0; line < lines; ++line) column[line] = src[j + size_t(line) * samplesPerLine];
        dst[j] = TrimmedMean(column.data(), lines, dropHigh, dropLow);
    }
}

}  // namespace zrt
