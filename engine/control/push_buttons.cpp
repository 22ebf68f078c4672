#include "engine/control/push_buttons.h"

#include "engine/api/scanner_engine.h"

namespace zrt {
namespace {

// The buttons share four input lines; several lines together name one
// button. The first row whose bits match wins.
struct ButtonRow {
    uint8_t mask;    // bits that are tested
    uint8_t value;   // what they must read
    uint8_t button;
};

constexpr ButtonRow kButtonRows[] = {
    {0x03, 0x01, 1},  // b0 = 1, b1 = 0
    {0x03, 0x03, 2},  // b0 = 1, b1 = 1
    {0x06, 0x02, 3},  // b1 = 1, b2 = 0
    {0x06, 0x06, 4},  // b1 = 1, b2 = 1
    {0x0C, 0x04, 7},  // b2 = 1, b3 = 0
    {0x0C, 0x0C, 6},  // b2 = 1, b3 = 1
    {0x08, 0x08, 5},  // b3 = 1
};

}  // namespace

uint8_t DecodeButtonCode(uint8_t reg91) {
    if (reg91 == 0) return 0;
    for (const ButtonRow& row : kButtonRows)
        if ((reg91 & row.mask) == row.value) return row.button;
    return 0;
}

StatusCode ReadButtonCode(ScannerEngine& engine, uint8_t& code) {
    code = 0;
    uint8_t value = 0;
    if (!engine.device.ReadControllerRegister(0x91, value)) return status::PushButtonReadFailed;
    code = DecodeButtonCode(value);
    return status::Ok;
}

void ButtonReport(uint8_t code, uint8_t out[2]) {
    if (code >= 1 && code <= 7) {
        out[0] = 0x80;
        out[1] = static_cast<uint8_t>(1u << (code - 1));
        return;
    }
    out[0] = 0;
    out[1] = 0;
}

}  // namespace zrt
