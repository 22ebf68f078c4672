// Where each plain key of the settings file lands in FrameSettings.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace zrt::ff {

enum class ValueType { Int, U8, U16, Real, Millimetre };

struct KeyField {
    std::string_view key;
    ValueType type;
    std::size_t offset;
};

// Keys outside blocks and templates; a key not listed here is ignored.
std::span<const KeyField> PlainKeys();

// Block lines: the key of a block line, the offset of its entry 0 and the
// distance between entries.
struct BlockField {
    std::string_view key;
    std::size_t offset;
    std::size_t stride;
};

struct BlockKey {
    std::string_view count_key;
    std::size_t count_offset;
    int capacity;
    int lines_per_group;
    std::span<const BlockField> fields;
};

std::span<const BlockKey> BlockKeys();

// Template keys, index = template number.
std::span<const std::string_view> TemplateKeys();

}  // namespace zrt::ff
