// The record is rebuilt from constants at every call; only the bus text and
// the film adapter's x coordinates depend on the device.
#include "engine/api/ability_record.h"

#include <array>
#include <cstring>
#include <span>

#include "engine/api/scanner_engine.h"
#include "platform/shared_state.h"
#include "zrtl5617.h"

namespace zrt {
namespace {

class AbilityWriter {
public:
    explicit AbilityWriter(uint8_t* buffer) : out_(buffer) {}

    size_t size() const { return pos_; }

    // Values of one or two bytes travel in the header; four-byte values
    // follow it. Any other size is not written at all.
    void value(uint16_t id, uint16_t size, uint32_t value) {
        if (size == 1 || size == 2) {
            header(id, ItemValue, size, static_cast<uint16_t>(value));
        } else if (size == 4) {
            header(id, ItemValue, size, 0);
            put32(value);
        }
    }

    // A zero-terminated text in a field of `fieldSize` bytes.
    void text(uint16_t id, const char* text, uint16_t fieldSize) {
        header(id, ItemBytes, fieldSize, 0);
        const size_t length = std::strlen(text);
        std::memset(out_ + pos_, 0, fieldSize);
        std::memcpy(out_ + pos_, text, length < fieldSize ? length : fieldSize - 1u);
        pos_ += fieldSize;
    }

    void array16(uint16_t id, std::span<const uint16_t> words) {
        header(id, ItemArray, static_cast<uint16_t>(words.size() * 2), 0);
        for (uint16_t word : words) put16(word);
    }

    void array32(uint16_t id, std::span<const uint32_t> words) {
        header(id, ItemArray, static_cast<uint16_t>(words.size() * 4), 0);
        for (uint32_t word : words) put32(word);
    }

    void arrayBytes(uint16_t id, std::span<const uint8_t> bytes) {
        header(id, ItemArray, static_cast<uint16_t>(bytes.size()), 0);
        std::memcpy(out_ + pos_, bytes.data(), bytes.size());
        pos_ += bytes.size();
    }

    void absentArray(uint16_t id) { header(id, ItemArray, 0, 0); }

    void end() { header(0xFFFF, ItemEnd, 0, 0); }

private:
    void header(uint16_t id, uint16_t type, uint16_t length, uint16_t value) {
        put16(id);
        put16(type);
        put16(length);
        put16(value);
    }
    void put16(uint16_t v) {
        out_[pos_++] = static_cast<uint8_t>(v);
        out_[pos_++] = static_cast<uint8_t>(v >> 8);
    }
    void put32(uint32_t v) {
        put16(static_cast<uint16_t>(v));
        put16(static_cast<uint16_t>(v >> 16));
    }

    uint8_t* out_;
    size_t pos_ = 0;
};

constexpr std::array<uint32_t, 8> kItem9 = {1, 0, 0, 0, 1, 1, 0, 0};

// (horizontal, vertical) dpi pairs.
constexpr std::array<uint16_t, 16> kResolutionPairs = {
    75, 75, 150, 150, 300, 300, 600, 600, 1200, 1200, 2400, 2400, 4800, 4800, 4800, 9600};
constexpr uint8_t kResolutionPairCount = kResolutionPairs.size() / 2;

// A scan area: x, y, width, height in 1/4800 inch, then six descriptive bytes.
struct ScanArea {
    uint16_t x, y, width, height;
    std::array<uint8_t, 6> bytes;
};

std::array<uint8_t, 14> Serialise(const ScanArea& area) {
    std::array<uint8_t, 14> out{};
    const uint16_t words[4] = {area.x, area.y, area.width, area.height};
    for (int i = 0; i < 4; ++i) {
        out[2 * i] = static_cast<uint8_t>(words[i]);
        out[2 * i + 1] = static_cast<uint8_t>(words[i] >> 8);
    }
    std::memcpy(out.data() + 8, area.bytes.data(), 6);
    return out;
}

constexpr ScanArea kFlatbedArea = {0, 0, 40832, 56128, {0, 7, 0, 0, 13, 0}};
constexpr uint16_t kFilmAreaY = 9222;
constexpr uint16_t kFilmAreaWidth = 5159;
constexpr uint16_t kFilmAreaHeight = 43264;
constexpr std::array<uint8_t, 6> kFilmAreaBytesA = {2, 7, 2, 0, 8, 0};
constexpr std::array<uint8_t, 6> kFilmAreaBytesB = {3, 7, 3, 0, 1, 0};

constexpr std::array<uint16_t, 6> kFrameY = {9411, 16592, 23773, 30954, 38135, 45317};
constexpr uint16_t kFrameWidth = 4536;
constexpr uint16_t kFrameHeight = 6803;
constexpr uint16_t kFrameOffsetInArea = 312;

// Position 2 moves the film area's left edge towards the glass origin.
uint16_t FilmAreaLeft(uint8_t fauScanPosition) { return fauScanPosition == 2 ? 4809 : 9968; }

std::array<uint16_t, 4 * kFrameY.size()> FrameRects(uint16_t frameX) {
    std::array<uint16_t, 4 * kFrameY.size()> rects{};
    for (size_t i = 0; i < kFrameY.size(); ++i) {
        rects[4 * i] = frameX;
        rects[4 * i + 1] = kFrameY[i];
        rects[4 * i + 2] = kFrameWidth;
        rects[4 * i + 3] = kFrameHeight;
    }
    return rects;
}

}  // namespace

size_t WriteAbilityRecord(uint8_t* buffer, uint32_t busSpeed, uint8_t fauScanPosition) {
    const uint16_t filmLeft = FilmAreaLeft(fauScanPosition);
    const auto frames = FrameRects(static_cast<uint16_t>(filmLeft + kFrameOffsetInArea));

    AbilityWriter w(buffer);
    w.text(1, "KELVO", 12);
    w.text(2, "QM-73196P", 20);
    w.text(3, "1.0.9.0", 8);
    w.text(4, "TOSHIBA00", 12);
    w.text(5, busSpeed == 1 ? "USB1.1" : "USB2.0", 12);
    w.value(6, 1, 1);
    w.value(7, 1, 3);
    w.value(8, 1, 25);
    w.array32(9, kItem9);
    w.value(10, 2, 0xFFFF);
    w.value(11, 2, 0xFFFF);
    w.value(12, 1, kResolutionPairCount);
    w.array16(13, kResolutionPairs);
    w.value(14, 2, 4800);
    w.value(15, 2, 9600);
    w.arrayBytes(16, Serialise(kFlatbedArea));
    w.arrayBytes(17, Serialise({filmLeft, kFilmAreaY, kFilmAreaWidth, kFilmAreaHeight, kFilmAreaBytesA}));
    w.arrayBytes(18, Serialise({filmLeft, kFilmAreaY, kFilmAreaWidth, kFilmAreaHeight, kFilmAreaBytesB}));
    w.absentArray(19);
    w.array16(20, frames);
    w.value(21, 1, kFrameY.size());
    for (uint16_t id = 22; id <= 26; id += 2) {
        w.absentArray(id);    // no elements ...
        w.value(id + 1, 1, 0);  // ... as the count after it says
    }
    w.end();
    return w.size();
}

}  // namespace zrt

// No lock: the record depends only on the bus speed and the film adapter
// position, both read as they stand.
extern "C" ZRTL5617_API int32_t ZRTL5617_CALL GetScannerAbilityXp(ZrtHandle, uint8_t* buffer) {
    if (!buffer) return 0;
    zrt::WriteAbilityRecord(buffer, zrt::Engine().device.BusSpeed,
                            zrt::platform::SharedState().FAUScanPosition);
    return 1;
}
