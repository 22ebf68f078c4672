#include <gtest/gtest.h>

#include <numeric>

#include "tests/transport/controller_fixture.h"

namespace zrt::test {
namespace {

using Writes = std::vector<RegisterWriteRecord>;

std::vector<uint8_t> Pattern(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

// The address each set-up wrote to registers 0x74-0x76, in order.
std::vector<uint32_t> SetUpAddresses(const Writes& writes) {
    std::vector<uint32_t> addresses;
    for (size_t i = 0; i + 2 < writes.size(); ++i)
        if (writes[i].reg == 0x74 && writes[i + 1].reg == 0x75 && writes[i + 2].reg == 0x76)
            addresses.push_back((uint32_t{writes[i].value} << 16) | (writes[i + 1].value << 8) | writes[i + 2].value);
    return addresses;
}

TEST_F(ControllerTest, MemoryLayoutsStoreTheirAddressesAndProgramTheController) {
    controller.RegisterShadow[0x01] = 0x29;
    ASSERT_TRUE(controller.SelectMemoryLayout(1));
    EXPECT_EQ(controller.ShadingAddress[1], 0x020000u);
    EXPECT_EQ(controller.ShadingAddress[3], 0x060000u);
    EXPECT_EQ(controller.MotorTableAddress[0], 0x076000u);
    EXPECT_EQ(controller.MotorTableAddress[4], 0x076800u);
    EXPECT_EQ(registerWrites(), (Writes{{0x01, 0x2B}, {0x04, 0x08}, {0x05, 0x00}, {0x06, 0x00}}));

    device.clearLog();
    ASSERT_TRUE(controller.SelectMemoryLayout(0));
    EXPECT_EQ(controller.ShadingAddress[1], 0x00B000u);
    EXPECT_EQ(controller.ShadingAddress[2], 0x016000u);
    EXPECT_EQ(controller.MotorTableAddress[4], 0x030800u);
    EXPECT_EQ(registerWrites(), (Writes{{0x01, 0x29}, {0x04, 0x0C}, {0x05, 0x00}, {0x06, 0x00}}));

    EXPECT_FALSE(controller.SelectMemoryLayout(2));
}

TEST_F(ControllerTest, LayoutValueIsWrittenOnlyAfterTheLayoutBitsAndFailuresStillSucceed) {
    device.failRegisterWrites(0x01);
    EXPECT_TRUE(controller.SelectMemoryLayout(1));
    EXPECT_TRUE(registerWrites().empty());
    EXPECT_EQ(controller.ShadingAddress[1], 0x020000u);
}

TEST_F(ControllerTest, GammaTableIsOneSetUpAndOneUnpaddedFrame) {
    const std::vector<uint8_t> table = Pattern(256);
    ASSERT_TRUE(controller.WriteGammaMemory(0x100, 256, table.data()));
    const Writes expected = {{0x71, 0x01},  {0x130, 0x11}, {0x71, 0x16},  {0x72, 0x01},
                             {0x73, 0x00},  {0x74, 0x00},  {0x75, 0x01},  {0x76, 0x00},
                             {0x139, 0x40}, {0x138, 0x89}, {0x13C, 0x2F}, {0x164, 0x20}};
    EXPECT_EQ(registerWrites(), expected);
    const auto frames = framesOf(0x04);
    ASSERT_EQ(frames.size(), 1u);
    ASSERT_EQ(frames[0].size(), 4u + 256u);
    EXPECT_EQ(std::vector<uint8_t>(frames[0].begin(), frames[0].begin() + 4),
              (std::vector<uint8_t>{0x04, 0x70, 0x00, 0x01}));
    EXPECT_EQ(device.dataWrites[0], table);
}

struct PaddingCase {
    MemoryAccessKind kind;
    uint32_t length;
    uint8_t control;
    uint32_t padded;
};

TEST_F(ControllerTest, ShortBlocksArePaddedWithZerosButTheHeaderKeepsTheTrueLength) {
    const PaddingCase cases[] = {
        {MemoryAccessKind::Table, 20, 0x14, 32},
        {MemoryAccessKind::Table, 32, 0x14, 32},
        {MemoryAccessKind::Gamma, 20, 0x16, 24},
        {MemoryAccessKind::Gamma, 1, 0x16, 8},
    };
    for (const PaddingCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "length " << c.length);
        device.clearLog();
        const std::vector<uint8_t> data(c.length, 0xEE);
        const bool ok = c.kind == MemoryAccessKind::Table
                            ? controller.WriteTableMemory(0x030000, c.length, data.data())
                            : controller.WriteGammaMemory(0x200, c.length, data.data());
        ASSERT_TRUE(ok);
        EXPECT_EQ(device.writesTo(0x71), (std::vector<uint8_t>{0x01, c.control}));
        EXPECT_EQ(device.writesTo(0x72), std::vector<uint8_t>{static_cast<uint8_t>(c.padded >> 8)});
        EXPECT_EQ(device.writesTo(0x73), std::vector<uint8_t>{static_cast<uint8_t>(c.padded & 0xFF)});
        const auto frames = framesOf(0x04);
        ASSERT_EQ(frames.size(), 1u);
        ASSERT_EQ(frames[0].size(), 4 + c.padded);
        EXPECT_EQ(frames[0][2], c.length & 0xFF);
        EXPECT_EQ(frames[0][3], c.length >> 8);
        for (uint32_t i = 0; i < c.padded; ++i)
            EXPECT_EQ(frames[0][4 + i], i < c.length ? 0xEE : 0x00) << "byte " << i;
    }
}

TEST_F(ControllerTest, LongTableWriteIsCutIntoChunksThatAdvanceTheWordAddress) {
    const uint32_t length = 2 * 0xEFF0 + 0x20;
    const uint32_t base = 0x030000;
    const std::vector<uint8_t> data = Pattern(length);
    ASSERT_TRUE(controller.WriteTableMemory(base, length, data.data()));

    EXPECT_EQ(SetUpAddresses(registerWrites()),
              (std::vector<uint32_t>{base, base + 0xEFF0 / 2, base + 0xEFF0}));
    ASSERT_EQ(device.dataWrites.size(), 3u);
    std::vector<uint8_t> sent;
    for (const auto& payload : device.dataWrites) sent.insert(sent.end(), payload.begin(), payload.end());
    EXPECT_EQ(device.dataWrites[0].size(), 0xEFF0u);
    EXPECT_EQ(device.dataWrites[2].size(), 0x20u);
    EXPECT_EQ(sent, data);
}

TEST_F(ControllerTest, EmptyWriteTransfersNothing) {
    EXPECT_TRUE(controller.WriteTableMemory(0x030000, 0, nullptr));
    EXPECT_TRUE(controller.WriteGammaMemory(0x000, 0, nullptr));
    EXPECT_TRUE(device.writes.empty());
}

TEST_F(ControllerTest, FailedSetUpOrFrameEndsTheWriteKeepingEarlierChunks) {
    const std::vector<uint8_t> data = Pattern(0xEFF0 + 16);
    device.failRegisterWrites(0x164);
    EXPECT_FALSE(controller.WriteTableMemory(0, static_cast<uint32_t>(data.size()), data.data()));
    EXPECT_TRUE(framesOf(0x04).empty());

    ScriptedDevice second;
    ASSERT_TRUE(controller.OpenDevice("scripted", second.transport()));
    second.clearLog();
    // The first chunk goes through, every frame of the second is refused.
    size_t dataFrames = 0;
    second.failWhen = [&](size_t, bool isWrite, const std::vector<uint8_t>& frame) {
        return isWrite && frame[0] == 0x04 && ++dataFrames > 1;
    };
    EXPECT_FALSE(controller.WriteTableMemory(0, static_cast<uint32_t>(data.size()), data.data()));
    EXPECT_EQ(second.dataWrites.size(), 1u);
    EXPECT_EQ(dataFrames, 1u + 5u);
}

TEST_F(ControllerTest, DataFrameIsRepeatedAtOnceUpToFiveTimes) {
    const std::vector<uint8_t> data = Pattern(32);
    size_t attempts = 0;
    device.failWhen = [&](size_t, bool, const std::vector<uint8_t>& frame) {
        return frame[0] == 0x04 && ++attempts < 5;
    };
    EXPECT_TRUE(controller.SendDataBlock(MemoryAccessKind::Table, 32, data.data()));
    EXPECT_EQ(attempts, 5u);
    EXPECT_EQ(clock.slept, 0u);

    attempts = 0;
    device.failWhen = [&](size_t, bool, const std::vector<uint8_t>& frame) {
        return frame[0] == 0x04 && ++attempts > 0;
    };
    EXPECT_FALSE(controller.SendDataBlock(MemoryAccessKind::Table, 32, data.data()));
    EXPECT_EQ(attempts, 5u);
}

TEST_F(ControllerTest, DataBlockLargerThanTheFrameBufferIsRefused) {
    const std::vector<uint8_t> data(0xF000, 1);
    EXPECT_FALSE(controller.SendDataBlock(MemoryAccessKind::Table, 0xF000, data.data()));
    EXPECT_FALSE(controller.SendDataBlock(MemoryAccessKind::ImageRead, 16, data.data()));
    EXPECT_TRUE(device.writes.empty());
}

TEST_F(ControllerTest, ImageReadSetUpNeedsWholeSixteenByteBlocksAndWritesNoAddress) {
    EXPECT_FALSE(controller.SetUpMemoryAccess(MemoryAccessKind::ImageRead, 1, 0, 20));
    EXPECT_TRUE(device.writes.empty());

    ASSERT_TRUE(controller.PrepareImageRead());
    const Writes expected = {{0x71, 0x01},  {0x130, 0x11}, {0x71, 0x18},  {0x72, 0x00}, {0x73, 0x10},
                             {0x139, 0x40}, {0x138, 0x89}, {0x13C, 0x2F}, {0x164, 0x20}};
    EXPECT_EQ(registerWrites(), expected);
}

TEST_F(ControllerTest, DataReadRequestSetsTheLengthThenAsksOnce) {
    EXPECT_FALSE(controller.RequestDataBlock(20));
    EXPECT_TRUE(device.writes.empty());

    ASSERT_TRUE(controller.RequestDataBlock(0x1230));
    EXPECT_EQ(registerWrites(), (Writes{{0x72, 0x12}, {0x73, 0x30}}));
    EXPECT_EQ(framesOf(0x05), (std::vector<std::vector<uint8_t>>{{0x05, 0x70, 0x30, 0x12}}));

    device.failWhen = [](size_t, bool, const std::vector<uint8_t>& frame) { return frame[0] == 0x05; };
    const size_t before = device.exchanges;
    EXPECT_FALSE(controller.RequestDataBlock(16));
    EXPECT_EQ(device.exchanges, before + 3);  // two register writes and one request, no repeat
}

// Requested lengths of the DataRead frames written, in order.
std::vector<uint32_t> RequestLengths(const std::vector<std::vector<uint8_t>>& frames) {
    std::vector<uint32_t> lengths;
    for (const auto& f : frames) lengths.push_back(f[2] | (f[3] << 8));
    return lengths;
}

TEST_F(ControllerTest, ImageDataIsReadInChunksIntoConsecutiveBufferSpace) {
    const uint32_t length = 2 * 0xEFF0 + 0x20;
    const std::vector<uint8_t> image = Pattern(length);
    size_t offset = 0;
    device.onDataRead = [&](size_t n) {
        std::vector<uint8_t> part(image.begin() + offset, image.begin() + offset + n);
        offset += n;
        return part;
    };
    std::vector<uint8_t> buffer(length);
    ASSERT_TRUE(controller.ReadImageData(buffer.data(), length));
    EXPECT_EQ(RequestLengths(framesOf(0x05)), (std::vector<uint32_t>{0xEFF0, 0xEFF0, 0x20}));
    EXPECT_EQ(buffer, image);
}

TEST_F(ControllerTest, ShortImageReadAsksAgainForTheRest) {
    device.onDataRead = [](size_t n) { return std::vector<uint8_t>(std::min<size_t>(n, 32), 0xAB); };
    std::vector<uint8_t> buffer(80, 0);
    ASSERT_TRUE(controller.ReadImageData(buffer.data(), 80));
    EXPECT_EQ(RequestLengths(framesOf(0x05)), (std::vector<uint32_t>{80, 48, 16}));
    EXPECT_EQ(buffer, std::vector<uint8_t>(80, 0xAB));
}

TEST_F(ControllerTest, ImageReadThatDeliversNothingFails) {
    device.onDataRead = [](size_t) { return std::vector<uint8_t>{}; };
    std::vector<uint8_t> buffer(64);
    EXPECT_FALSE(controller.ReadImageData(buffer.data(), 64));
    EXPECT_EQ(framesOf(0x05).size(), 1u);
}

TEST_F(ControllerTest, ImagePipeReadIsTriedFiveTimesTenMsApart) {
    std::vector<uint8_t> buffer(32);
    unsigned failures = 4;
    device.failWhen = [&](size_t, bool isWrite, const std::vector<uint8_t>&) {
        if (isWrite || failures == 0) return false;
        --failures;
        return true;
    };
    EXPECT_TRUE(controller.ReadImageData(buffer.data(), 32));
    EXPECT_EQ(clock.slept, 40u);

    clock.slept = 0;
    failures = 5;
    EXPECT_FALSE(controller.ReadImageData(buffer.data(), 32));
    EXPECT_EQ(clock.slept, 50u);
    EXPECT_EQ(framesOf(0x05).size(), 2u);
}

TEST_F(ControllerTest, ImageReadNeverRunsPastTheCallersBuffer) {
    // A transport that claims more than it was asked for.
    device.overReportedReadBytes = 0x100;
    device.onDataRead = [](size_t n) { return std::vector<uint8_t>(n, 0x5A); };
    std::vector<uint8_t> buffer(64 + 16, 0xCC);
    ASSERT_TRUE(controller.ReadImageData(buffer.data(), 64));
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 64), std::vector<uint8_t>(64, 0x5A));
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 64, buffer.end()), std::vector<uint8_t>(16, 0xCC));
    EXPECT_EQ(framesOf(0x05).size(), 1u);
}

}  // namespace
}  // namespace zrt::test
