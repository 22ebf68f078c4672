#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/api/ability_record.h"
#include "engine/api/scanner_engine.h"
#include "platform/shared_state.h"
#include "zrtl5617.h"

namespace zrt {
namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return U16(p) | (static_cast<uint32_t>(U16(p + 2)) << 16); }

struct Item {
    size_t offset;  // of the header
    uint16_t type, length, value;
    std::vector<uint8_t> payload;
};

// Walks the record as a reader would: every header, every payload, up to
// and including the end item.
std::map<uint16_t, Item> ParseRecord(const uint8_t* record, size_t limit, std::vector<uint16_t>& order,
                                     size_t& endOffset) {
    std::map<uint16_t, Item> items;
    size_t pos = 0;
    while (pos + 8 <= limit) {
        const uint16_t id = U16(record + pos);
        Item item{pos, U16(record + pos + 2), U16(record + pos + 4), U16(record + pos + 6), {}};
        size_t payload = 0;
        if (item.type == ItemBytes || item.type == ItemArray) payload = item.length;
        if (item.type == ItemValue && item.length == 4) payload = 4;
        item.payload.assign(record + pos + 8, record + pos + 8 + payload);
        order.push_back(id);
        items[id] = item;
        if (id == 0xFFFF) {
            endOffset = pos;
            break;
        }
        pos += 8 + payload;
    }
    return items;
}

struct RecordCase {
    uint32_t busSpeed;
    uint8_t fauScanPosition;
    const char* busText;
    uint16_t filmLeft;
    uint16_t frameX;
};

class AbilityRecordTest : public ::testing::TestWithParam<RecordCase> {};

TEST_P(AbilityRecordTest, ItemsFollowTheTableAndStopAt442Bytes) {
    const RecordCase& c = GetParam();
    std::array<uint8_t, ZRTL5617_ABILITY_BUFFER_SIZE> buffer;
    buffer.fill(0xAA);
    ASSERT_EQ(WriteAbilityRecord(buffer.data(), c.busSpeed, c.fauScanPosition), 442u);
    for (size_t i = 442; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xAA) << "written past the record at " << i;

    const uint8_t head[] = {0x01, 0x00, 0x02, 0x00, 0x0C, 0x00, 0x00, 0x00, 'K', 'E', 'L', 'V', 'O', 0};
    EXPECT_EQ(std::memcmp(buffer.data(), head, sizeof head), 0);
    const uint8_t end[] = {0xFF, 0xFF, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(buffer.data() + 434, end, 8), 0);

    std::vector<uint16_t> order;
    size_t endOffset = 0;
    auto items = ParseRecord(buffer.data(), buffer.size(), order, endOffset);
    std::vector<uint16_t> expectedOrder;
    for (uint16_t id = 1; id <= 27; ++id) expectedOrder.push_back(id);
    expectedOrder.push_back(0xFFFF);
    ASSERT_EQ(order, expectedOrder);
    EXPECT_EQ(endOffset, 434u);

    // Texts: zero-filled fields of fixed size.
    auto text = [&](uint16_t id) { return std::string(reinterpret_cast<const char*>(items[id].payload.data())); };
    EXPECT_EQ(text(2), "QM-73196P");
    EXPECT_EQ(items[2].length, 20);
    EXPECT_EQ(text(3), "1.0.9.0");
    EXPECT_EQ(text(4), "TOSHIBA00");
    EXPECT_EQ(text(5), c.busText);
    EXPECT_EQ(items[5].payload, [&] {
        std::vector<uint8_t> field(12, 0);
        std::memcpy(field.data(), c.busText, std::strlen(c.busText));
        return field;
    }());

    const uint8_t item6[] = {0x06, 0x00, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00};
    EXPECT_EQ(std::memcmp(buffer.data() + items[6].offset, item6, 8), 0);
    EXPECT_EQ(items[8].value, 25);
    EXPECT_EQ(items[10].value, 0xFFFF);

    ASSERT_EQ(items[9].type, ItemArray);
    ASSERT_EQ(items[9].length, 32);
    const uint32_t item9[] = {1, 0, 0, 0, 1, 1, 0, 0};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(U32(&items[9].payload[4 * i]), item9[i]) << i;

    ASSERT_EQ(items[12].value, 8);
    ASSERT_EQ(items[13].length, 32);
    EXPECT_EQ(U16(&items[13].payload[28]), 4800);
    EXPECT_EQ(U16(&items[13].payload[30]), 9600);
    EXPECT_EQ(items[15].value, 9600);

    const uint8_t flatbed[] = {0, 0, 0, 0, 0x80, 0x9F, 0x40, 0xDB, 0, 7, 0, 0, 13, 0};
    EXPECT_EQ(items[16].payload, std::vector<uint8_t>(flatbed, flatbed + 14));
    for (uint16_t id : {17, 18}) {
        ASSERT_EQ(items[id].length, 14);
        EXPECT_EQ(U16(&items[id].payload[0]), c.filmLeft) << id;
        EXPECT_EQ(U16(&items[id].payload[2]), 9222);
        EXPECT_EQ(U16(&items[id].payload[4]), 5159);
        EXPECT_EQ(U16(&items[id].payload[6]), 43264);
    }
    EXPECT_EQ(items[17].payload[8], 2);
    EXPECT_EQ(items[18].payload[12], 1);

    ASSERT_EQ(items[21].value, 6);
    ASSERT_EQ(items[20].length, 8 * 6);
    const uint16_t frameY[] = {9411, 16592, 23773, 30954, 38135, 45317};
    for (int i = 0; i < 6; ++i) {
        const uint8_t* rect = &items[20].payload[8 * i];
        EXPECT_EQ(U16(rect), c.frameX) << i;
        EXPECT_EQ(U16(rect + 2), frameY[i]) << i;
        EXPECT_EQ(U16(rect + 4), 4536);
        EXPECT_EQ(U16(rect + 6), 6803);
    }
    for (uint16_t id : {19, 22, 24, 26}) {
        EXPECT_EQ(items[id].type, ItemArray) << id;
        EXPECT_EQ(items[id].length, 0) << id;
    }
    for (uint16_t id : {23, 25, 27}) EXPECT_EQ(items[id].value, 0) << id;
}

INSTANTIATE_TEST_SUITE_P(BusAndFilmPosition, AbilityRecordTest,
                         ::testing::Values(RecordCase{0, 3, "USB2.0", 9968, 10280},  // before open
                                           RecordCase{1, 3, "USB1.1", 9968, 10280},
                                           RecordCase{2, 2, "USB2.0", 4809, 5121},
                                           RecordCase{1, 2, "USB1.1", 4809, 5121}));

TEST(AbilityRecordExport, FollowsBusSpeedAndSharedFilmPosition) {
    auto& shared = platform::SharedState();
    const uint8_t savedPosition = shared.FAUScanPosition;
    const uint32_t savedSpeed = Engine().device.BusSpeed;
    shared.FAUScanPosition = 2;
    Engine().device.BusSpeed = 1;

    std::array<uint8_t, ZRTL5617_ABILITY_BUFFER_SIZE> exported{};
    std::array<uint8_t, ZRTL5617_ABILITY_BUFFER_SIZE> direct{};
    EXPECT_EQ(GetScannerAbilityXp(0x12345678, exported.data()), 1);
    WriteAbilityRecord(direct.data(), 1, 2);
    EXPECT_EQ(exported, direct);
    EXPECT_EQ(GetScannerAbilityXp(0, nullptr), 0);

    shared.FAUScanPosition = savedPosition;
    Engine().device.BusSpeed = savedSpeed;
}

}  // namespace
}  // namespace zrt
