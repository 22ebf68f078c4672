#include <gtest/gtest.h>

#include <numeric>
#include <thread>
#include <vector>

#include "engine/pipeline/scan_ring.h"

namespace zrt {
namespace {

TEST(ScanRing, WrapsAroundAndRefusesWhatDoesNotFit) {
    ScanRing ring(16);
    ASSERT_TRUE(ring.ok());
    std::vector<uint8_t> in(16), out(16, 0);
    std::iota(in.begin(), in.end(), 1);

    EXPECT_EQ(ring.Put(in.data(), 10), 0);
    EXPECT_EQ(ring.FreeSpace(), 6u);
    EXPECT_EQ(ring.Put(in.data(), 7), 1);  // more than the free space: nothing written
    EXPECT_EQ(ring.Used(), 10u);
    EXPECT_EQ(ring.Take(out.data(), 11), 1);
    EXPECT_EQ(ring.Take(out.data(), 10), 0);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 10), std::vector<uint8_t>(in.begin(), in.begin() + 10));

    // 6 bytes to the end of the buffer, 4 from its start.
    EXPECT_EQ(ring.Put(in.data() + 3, 10), 0);
    EXPECT_EQ(ring.Take(out.data(), 10), 0);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 10), std::vector<uint8_t>(in.begin() + 3, in.begin() + 13));

    // A put that ends exactly at the capacity, then a full ring.
    EXPECT_EQ(ring.Put(in.data(), 12), 0);
    EXPECT_EQ(ring.Put(in.data(), 4), 0);
    EXPECT_EQ(ring.FreeSpace(), 0u);
    EXPECT_EQ(ring.Take(out.data(), 16), 0);
    std::vector<uint8_t> expected(in.begin(), in.begin() + 12);
    expected.insert(expected.end(), in.begin(), in.begin() + 4);
    EXPECT_EQ(out, expected);

    ring.Release();
    EXPECT_EQ(ring.Used(), 0u);
    EXPECT_EQ(ring.Put(in.data(), 1), 1);
}

// One thread puts a numbered byte stream in uneven pieces, the other takes
// it in other pieces; every byte must arrive once and in order.
TEST(ScanRing, ProducerAndConsumerKeepTheStreamWhole) {
    ScanRing ring(1000);
    constexpr uint32_t kTotal = 400000;
    std::thread producer([&] {
        std::vector<uint8_t> piece(97);
        uint32_t sent = 0;
        while (sent < kTotal) {
            uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(piece.size()) - sent % 13, kTotal - sent);
            for (uint32_t i = 0; i < n; ++i) piece[i] = static_cast<uint8_t>((sent + i) % 251);
            if (ring.Put(piece.data(), n) == 0) sent += n;
            else std::this_thread::yield();
        }
    });
    std::vector<uint8_t> piece(61);
    uint32_t received = 0;
    bool inOrder = true;
    while (received < kTotal) {
        uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(piece.size()) - received % 7, kTotal - received);
        if (ring.Take(piece.data(), n) != 0) {
            std::this_thread::yield();
            continue;
        }
        for (uint32_t i = 0; i < n; ++i) inOrder = inOrder && piece[i] == (received + i) % 251;
        received += n;
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(ring.Used(), 0u);
}

}  // namespace
}  // namespace zrt
