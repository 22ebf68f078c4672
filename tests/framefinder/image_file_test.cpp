#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "framefinder/image_file.h"
#include "preview_generator.h"

namespace {

using namespace zrt::ff;

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

uint32_t Le32(const std::vector<uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t{b[at + 3]} << 24);
}

std::string WritePreview(const fftest::TempDir& dir, int32_t w, int32_t h, int32_t bits) {
    std::string path = dir.File("p" + std::to_string(bits) + ".tif");
    TIFF image{0, w, h, 300, 150, bits, 0, 0};
    std::vector<uint8_t> pixels(static_cast<std::size_t>(w) * h * bits / 8);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7);
    EXPECT_EQ(WriteTiffHeader(path.c_str(), image), 0);
    EXPECT_EQ(WriteTiffPixels(image, pixels.data()), 0);
    EXPECT_EQ(CloseTiff(image), 0);
    return path;
}

TEST(TiffFile, WrittenPreviewReadsBack) {
    fftest::TempDir dir;
    std::string path = WritePreview(dir, 100, 50, 48);
    std::vector<uint8_t> bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), 192u + 30000u);
    EXPECT_EQ(bytes[0], 'I');
    EXPECT_EQ(bytes[2], 42);
    EXPECT_EQ(Le32(bytes, 4), 8u);
    EXPECT_EQ(bytes[170], 16);  // BitsPerSample values
    EXPECT_EQ(Le32(bytes, 176), 300u);
    EXPECT_EQ(Le32(bytes, 188), 1u);

    TIFF image{};
    ASSERT_EQ(ReadTiffHeader(path.c_str(), image), 0);
    EXPECT_EQ(image.width, 100);
    EXPECT_EQ(image.height, 50);
    EXPECT_EQ(image.bits, 48);
    EXPECT_EQ(image.offset, 192);
    EXPECT_EQ(image.xres, 300);
    EXPECT_EQ(image.yres, 150);
    auto pixels = ReadTiffPixels(image);
    ASSERT_TRUE(pixels);
    EXPECT_EQ(pixels[29999], static_cast<uint8_t>(29999 * 7));
    EXPECT_EQ(CloseTiff(image), 0);

    std::string grey = WritePreview(dir, 10, 4, 8);
    EXPECT_EQ(ReadBytes(grey).size(), 186u + 40u);
    ASSERT_EQ(ReadTiffHeader(grey.c_str(), image), 0);
    EXPECT_EQ(image.bits, 8);
    EXPECT_EQ(image.offset, 186);
    CloseTiff(image);
}

TEST(TiffFile, ReaderRefusesOtherLayouts) {
    fftest::TempDir dir;
    std::string path = WritePreview(dir, 8, 8, 24);
    std::vector<uint8_t> bytes = ReadBytes(path);
    auto variant = [&](auto change) {
        std::vector<uint8_t> b = bytes;
        change(b);
        std::string p = dir.File("variant.tif");
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
        TIFF image{};
        int32_t rc = ReadTiffHeader(p.c_str(), image);
        CloseTiff(image);
        return rc;
    };
    EXPECT_EQ(variant([](auto& b) { b[0] = b[1] = 'M'; }), 2);
    EXPECT_EQ(variant([](auto& b) { b[2] = 43; }), 3);
    EXPECT_EQ(variant([](auto& b) { b[166] = 8; }), 4);  // a second directory
    EXPECT_EQ(variant([](auto& b) { b.resize(12); }), 1);
    TIFF image{};
    EXPECT_EQ(ReadTiffHeader(dir.File("absent.tif").c_str(), image), 1);
    EXPECT_EQ(WriteTiffHeader(dir.File("no/such/dir.tif").c_str(), image), 1);
}

// A header may claim any size: pixels come back only for an image whose
// bytes the file holds, never in a buffer smaller than the image.
TEST(TiffFile, PixelsOnlyForTheImageTheFileHolds) {
    fftest::TempDir dir;
    std::vector<uint8_t> bytes = ReadBytes(WritePreview(dir, 8, 8, 8));
    struct Claim {
        uint32_t width, height;
    } claims[] = {
        {65536, 65536},  // 4 GiB: its byte count cut to 32 bits is 0
        {65536, 65537},  // cut to 32 bits, 64 KiB
        {60000, 60000},  // far more than the file holds
    };
    for (const Claim& c : claims) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        std::vector<uint8_t> b = bytes;
        for (auto [entry, value] : {std::pair{0, c.width}, std::pair{1, c.height}}) {
            std::size_t at = 10 + 12 * static_cast<std::size_t>(entry);
            b[at + 2] = 4;  // LONG
            for (int i = 0; i < 4; ++i) b[at + 8 + i] = static_cast<uint8_t>(value >> (8 * i));
        }
        b.resize(b.size() + 65536, 0);
        std::string p = dir.File("claim.tif");
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
        TIFF image{};
        ASSERT_EQ(ReadTiffHeader(p.c_str(), image), 0);
        EXPECT_EQ(static_cast<uint32_t>(image.width), c.width);
        EXPECT_FALSE(ReadTiffPixels(image));
        CloseTiff(image);
    }
}

TEST(MaskFile, OneBitRowsBottomFirst) {
    fftest::TempDir dir;
    TIFF image{0, 10, 2, 75, 150, 24, 0, 30};
    std::vector<uint8_t> pixels(60, 255);
    pixels[1] = 0;               // (0, 0) black
    pixels[(10 + 9) * 3 + 1] = 0;  // (9, 1) black
    std::string path = dir.File("mask.bmp");
    ASSERT_EQ(WriteMask(image, pixels.data(), path.c_str()), 0);
    std::vector<uint8_t> b = ReadBytes(path);
    ASSERT_EQ(b.size(), 62u + 2 * 4);
    EXPECT_EQ(Le32(b, 2), b.size());
    EXPECT_EQ(Le32(b, 10), 62u);
    EXPECT_EQ(Le32(b, 38), 2952u);
    EXPECT_EQ(Le32(b, 42), 5904u);
    EXPECT_EQ(b[54], 255);
    EXPECT_EQ(b[58], 0);
    // Bottom row first: row 1 has its last pixel black; the pad bits are white.
    EXPECT_EQ(b[62], 0x00);
    EXPECT_EQ(b[63], 0x40);
    EXPECT_EQ(b[66], 0x80);
    EXPECT_EQ(b[67], 0x00);
}

// The files must be readable by the standard tools where they are installed.
TEST(ImageFiles, StandardToolsReadThem) {
    bool tiffinfo = std::system("command -v tiffinfo >/dev/null 2>&1") == 0;
    bool identify = std::system("command -v identify >/dev/null 2>&1") == 0;
    if (!tiffinfo && !identify) GTEST_SKIP() << "tiffinfo and identify are not installed";
    fftest::TempDir dir;
    std::string tif = WritePreview(dir, 100, 50, 48);
    std::string out = dir.File("out.txt");
    if (tiffinfo) {
        ASSERT_EQ(std::system(("tiffinfo " + tif + " >" + out + " 2>&1").c_str()), 0);
        std::vector<uint8_t> t = ReadBytes(out);
        std::string text(t.begin(), t.end());
        EXPECT_NE(text.find("Image Width: 100 Image Length: 50"), std::string::npos) << text;
        EXPECT_NE(text.find("Bits/Sample: 16"), std::string::npos) << text;
        EXPECT_EQ(text.find("Warning"), std::string::npos) << text;
    }
    if (identify) {
        TIFF image{0, 9, 3, 75, 75, 24, 0, 27};
        std::vector<uint8_t> pixels(81, 0);
        std::string bmp = dir.File("mask.bmp");
        ASSERT_EQ(WriteMask(image, pixels.data(), bmp.c_str()), 0);
        for (const std::string& file : {tif, bmp}) {
            ASSERT_EQ(std::system(("identify " + file + " >" + out + " 2>&1").c_str()), 0) << file;
            std::vector<uint8_t> t = ReadBytes(out);
            std::string text(t.begin(), t.end());
            EXPECT_TRUE(text.find("100x50") != std::string::npos || text.find("9x3") != std::string::npos)
                << text;
        }
    }
}

}  // namespace
