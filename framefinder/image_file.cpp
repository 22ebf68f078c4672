#include "framefinder/image_file.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace zrt::ff {
namespace {

constexpr int kMaxOpenFiles = 16;
std::FILE* g_files[kMaxOpenFiles] = {};

int32_t Register(std::FILE* f) {
    for (int i = 0; i < kMaxOpenFiles; ++i) {
        if (!g_files[i]) {
            g_files[i] = f;
            return i + 1;
        }
    }
    std::fclose(f);
    return 0;
}

std::FILE* FileOf(const TIFF& image) {
    if (image.file < 1 || image.file > kMaxOpenFiles) return nullptr;
    return g_files[image.file - 1];
}

void Put16(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}
uint32_t Get16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t Get32(const uint8_t* p) { return Get16(p) | (Get16(p + 2) << 16); }

constexpr uint16_t kShort = 3, kLong = 4, kRational = 5;
constexpr uint32_t kTypeSize[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
constexpr int kEntries = 13;

uint32_t DataBytes(const TIFF& image) {
    return static_cast<uint32_t>(static_cast<uint64_t>(image.height) * image.width * image.bits / 8);
}

std::vector<uint8_t> TiffHeader(const TIFF& image) {
    bool colour = image.bits >= 24;
    uint32_t bitsAt = 170, xAt = colour ? 176 : 170, yAt = xAt + 8, dataAt = yAt + 8;
    std::vector<uint8_t> b(dataAt, 0);
    b[0] = b[1] = 'I';
    Put16(b, 2, 42);
    Put32(b, 4, 8);
    Put16(b, 8, kEntries);
    struct Entry {
        uint16_t tag, type;
        uint32_t count, value;
    } entries[kEntries] = {
        {256, kShort, 1, static_cast<uint32_t>(image.width)},
        {257, kShort, 1, static_cast<uint32_t>(image.height)},
        {258, kShort, colour ? 3u : 1u, colour ? bitsAt : static_cast<uint32_t>(image.bits)},
        {259, kShort, 1, 1},
        {262, kShort, 1, colour ? 2u : 1u},
        {273, kLong, 1, dataAt},
        {277, kShort, 1, colour ? 3u : 1u},
        {278, kShort, 1, static_cast<uint32_t>(image.height)},
        {279, kLong, 1, DataBytes(image)},
        {282, kRational, 1, xAt},
        {283, kRational, 1, yAt},
        {284, kShort, 1, 1},
        {296, kShort, 1, 2},
    };
    for (int i = 0; i < kEntries; ++i) {
        std::size_t at = 10 + 12 * static_cast<std::size_t>(i);
        Put16(b, at, entries[i].tag);
        Put16(b, at + 2, entries[i].type);
        Put32(b, at + 4, entries[i].count);
        if (entries[i].type == kShort && entries[i].count == 1)
            Put16(b, at + 8, entries[i].value);
        else
            Put32(b, at + 8, entries[i].value);
    }
    Put32(b, 166, 0);
    if (colour) {
        for (int c = 0; c < 3; ++c) Put16(b, bitsAt + 2 * c, static_cast<uint32_t>(image.bits / 3));
    }
    Put32(b, xAt, static_cast<uint32_t>(image.xres));
    Put32(b, xAt + 4, 1);
    Put32(b, yAt, static_cast<uint32_t>(image.yres));
    Put32(b, yAt + 4, 1);
    return b;
}

bool ReadAt(std::FILE* f, long offset, void* out, std::size_t n) {
    return std::fseek(f, offset, SEEK_SET) == 0 && std::fread(out, 1, n, f) == n;
}

// width x height x bits / 8; false when the image has no size or its byte
// count does not fit 32 bits.
bool PixelBytes(const TIFF& image, uint32_t& n) {
    if (image.width <= 0 || image.height <= 0 || image.bits <= 0) return false;
    uint64_t pixels = uint64_t{static_cast<uint32_t>(image.width)} * static_cast<uint32_t>(image.height);
    uint32_t bits = static_cast<uint32_t>(image.bits);
    if (pixels > UINT64_MAX / bits || pixels * bits / 8 > UINT32_MAX) return false;
    n = static_cast<uint32_t>(pixels * bits / 8);
    return true;
}

bool HoldsBytes(std::FILE* f, int64_t offset, uint64_t n) {
    if (offset < 0 || std::fseek(f, 0, SEEK_END) != 0) return false;
    long size = std::ftell(f);
    return size >= 0 && uint64_t(offset) + n <= uint64_t(size);
}

// The value of one directory entry as the reader uses it.
bool EntryValue(std::FILE* f, const uint8_t* e, uint32_t& value) {
    uint32_t tag = Get16(e), type = Get16(e + 2), count = Get32(e + 4);
    if (type < 1 || type > 12 || count == 0) return false;
    uint64_t bytes = uint64_t{count} * kTypeSize[type];
    if (bytes <= 4) {
        value = type == kShort ? Get16(e + 8) : Get32(e + 8);
        return true;
    }
    if (count >= 1024) return false;
    std::vector<uint8_t> v(bytes);
    if (!ReadAt(f, static_cast<long>(Get32(e + 8)), v.data(), v.size())) return false;
    if (tag == 273 && type == kLong) {
        value = Get32(v.data());
    } else if (type == kShort) {
        value = 0;
        for (uint32_t i = 0; i < count; ++i) value += Get16(v.data() + 2 * i);
    } else if (type == kRational) {
        uint32_t den = Get32(v.data() + 4);
        value = den ? Get32(v.data()) / den : 0;
    } else {
        return false;
    }
    return true;
}

}  // namespace

int32_t WriteTiffHeader(const char* path, TIFF& image) {
    std::FILE* f = path ? std::fopen(path, "wb") : nullptr;
    if (!f) {
        std::printf("Open error.\n");
        return 1;
    }
    std::vector<uint8_t> header = TiffHeader(image);
    image.file = Register(f);
    if (image.file == 0 || std::fwrite(header.data(), 1, header.size(), f) != header.size()) {
        if (image.file) CloseTiff(image);
        std::printf("Open error.\n");
        return 1;
    }
    image.offset = static_cast<int32_t>(header.size());
    return 0;
}

int32_t ReadTiffHeader(const char* path, TIFF& image) {
    std::FILE* f = path ? std::fopen(path, "rb") : nullptr;
    if (!f) {
        std::printf("Open error.\n");
        return 1;
    }
    uint8_t header[8] = {};
    uint8_t countBytes[2] = {};
    bool readable = std::fread(header, 1, 8, f) == 8;
    uint32_t dirAt = Get32(header + 4);
    readable = readable && ReadAt(f, static_cast<long>(dirAt), countBytes, 2);
    uint32_t n = Get16(countBytes);
    std::vector<uint8_t> entries(12 * std::size_t{n});
    uint8_t next[4] = {};
    readable = readable && std::fread(entries.data(), 1, entries.size(), f) == entries.size() &&
               std::fread(next, 1, 4, f) == 4;
    int32_t rc = 0;
    if (header[0] != 'I') rc = 2;
    else if (Get16(header + 2) != 42) rc = 3;
    else if (!readable) rc = 1;
    else if (Get32(next) != 0) rc = 4;
    if (rc != 0) {
        std::fclose(f);
        return rc;
    }
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t* e = entries.data() + 12 * i;
        uint32_t value = 0;
        if (!EntryValue(f, e, value)) continue;
        int32_t v = static_cast<int32_t>(value);
        switch (Get16(e)) {
        case 256: image.width = v; break;
        case 257: image.height = v; break;
        case 258: image.bits = v; break;
        case 273: image.offset = v; break;
        case 282: image.xres = v; break;
        case 283: image.yres = v; break;
        default: break;
        }
    }
    image.stride = static_cast<int32_t>(static_cast<int64_t>(image.width) * image.bits / 8);
    image.file = Register(f);
    return image.file ? 0 : 1;
}

std::unique_ptr<uint8_t[]> ReadTiffPixels(TIFF& image) {
    std::FILE* f = FileOf(image);
    uint32_t n = 0;
    // A count cut to 32 bits would hand out a buffer smaller than the image.
    if (!PixelBytes(image, n)) {
        std::printf("memory error[%d].\n", static_cast<int>(DataBytes(image)));
        return nullptr;
    }
    // The header can claim any size; nothing is allocated for pixel data
    // that the file does not hold.
    if (!f || !HoldsBytes(f, image.offset, n)) return nullptr;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[n]);
    if (!buffer) {
        std::printf("memory error[%d].\n", static_cast<int>(n));
        return nullptr;
    }
    if (!ReadAt(f, image.offset, buffer.get(), n)) return nullptr;
    return buffer;
}

int32_t WriteTiffPixels(TIFF& image, const uint8_t* pixels) {
    std::FILE* f = FileOf(image);
    if (!f || std::fseek(f, image.offset, SEEK_SET) != 0) return 1;
    return std::fwrite(pixels, 1, DataBytes(image), f) == DataBytes(image) ? 0 : 1;
}

int32_t AppendTiffPixels(TIFF& image, const uint8_t* pixels, int32_t count) {
    std::FILE* f = FileOf(image);
    if (!f || count < 0) return 1;
    std::size_t n = static_cast<std::size_t>(count) * static_cast<uint32_t>(image.bits) / 8;
    return std::fwrite(pixels, 1, n, f) == n ? 0 : 1;
}

std::unique_ptr<uint8_t[]> CopyTiffPixels(const TIFF& image, const uint8_t* pixels) {
    uint32_t n = DataBytes(image);
    std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[n]);
    if (copy) std::memcpy(copy.get(), pixels, n);
    return copy;
}

int32_t CloseTiff(TIFF& image) {
    std::FILE* f = FileOf(image);
    if (f) {
        std::fclose(f);
        g_files[image.file - 1] = nullptr;
    }
    image.file = 0;
    return 0;
}

int32_t WriteMask(const TIFF& image, const uint8_t* pixels, const char* path) {
    if (image.width <= 0 || image.height <= 0 || !pixels) return 1;
    uint32_t w = static_cast<uint32_t>(image.width), h = static_cast<uint32_t>(image.height);
    uint32_t rowBytes = ((w + 7) / 8 + 3) / 4 * 4;
    std::vector<uint8_t> b;
    try {
        b.assign(62 + std::size_t{rowBytes} * h, 0);
    } catch (const std::bad_alloc&) {
        return 1;
    }
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, static_cast<uint32_t>(b.size()));
    Put32(b, 10, 62);
    Put32(b, 14, 40);
    Put32(b, 18, w);
    Put32(b, 22, h);
    Put16(b, 26, 1);
    Put16(b, 28, 1);
    Put32(b, 34, rowBytes * h);
    Put32(b, 38, static_cast<uint32_t>(image.xres * 2952 / 75));
    Put32(b, 42, static_cast<uint32_t>(image.yres * 2952 / 75));
    Put32(b, 46, 2);
    b[54] = b[55] = b[56] = 255;  // white, then black
    for (uint32_t y = 0; y < h; ++y) {
        uint8_t* row = b.data() + 62 + std::size_t{rowBytes} * (h - 1 - y);
        for (uint32_t x = 0; x < w; ++x) {
            if (pixels[(std::size_t{y} * w + x) * 3 + 1] == 0) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
    }
    std::FILE* f = path ? std::fopen(path, "wb") : nullptr;
    if (!f) return 1;
    bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok ? 0 : 1;
}

}  // namespace zrt::ff
