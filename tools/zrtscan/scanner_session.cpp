#include "tools/zrtscan/scanner_session.h"

#include <array>
#include <chrono>
#include <thread>
#include <cstdio>
#include <cstring>

#include "engine/api/status_codes.h"
#include "tools/zrtscan/tool_error.h"

namespace zrtscan {

std::string DescribeStatus(uint16_t status) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%04X", status);
    const char* meaning = zrt::StatusMeaning(status);
    return std::string(hex) + " " + (meaning ? meaning : "unknown status");
}

void ScannerSession::Check(const char* name, int32_t result) {
    if (result) return;
    uint16_t status = 0;
    GetScannerStatus(0, &status);
    throw ToolError(std::string(name) + " failed: " + DescribeStatus(status));
}

ScannerSession::ScannerSession(const std::string& device, bool powerUp) {
    Check("FindScannerEx", FindScannerEx(0, device.c_str()));
    open_ = true;
    if (powerUp) Check("InitializeScanner", InitializeScanner(0));
}

ScannerSession::~ScannerSession() {
    if (open_) TerminateScanner(0);
}

namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

std::string Text(const uint8_t* p, size_t length) {
    return std::string(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), length));
}

}  // namespace

ScannerAreas ScannerSession::areas() const {
    std::array<uint8_t, ZRTL5617_ABILITY_BUFFER_SIZE> record{};
    GetScannerAbilityXp(0, record.data());
    ScannerAreas areas;
    // Walk the tagged items: an 8-byte header (id, type, length, value) and
    // a payload for byte and array items and for 4-byte values.
    size_t at = 0;
    while (at + 8 <= record.size()) {
        const uint16_t id = U16(&record[at]);
        const uint16_t type = U16(&record[at + 2]);
        const uint16_t length = U16(&record[at + 4]);
        if (id == 0xFFFF || type == 0) break;
        const size_t payloadSize = (type == 1 && length != 4) ? 0 : length;
        const uint8_t* payload = &record[at + 8];
        if (at + 8 + payloadSize > record.size()) break;
        if (id == 1) areas.vendor = Text(payload, length);
        if (id == 2) areas.model = Text(payload, length);
        if (id == 3) areas.version = Text(payload, length);
        if (id == 5) areas.bus = Text(payload, length);
        if (id == 13)
            for (size_t i = 0; i + 4 <= length; i += 4)
                areas.resolutions.emplace_back(U16(payload + i), U16(payload + i + 2));
        if (id == 16 && length >= 8) {
            areas.flatbedX = U16(payload);
            areas.flatbedY = U16(payload + 2);
            areas.flatbedWidth = U16(payload + 4);
            areas.flatbedHeight = U16(payload + 6);
        }
        if (id == 17 && length >= 8) {
            areas.filmX = U16(payload);
            areas.filmY = U16(payload + 2);
            areas.filmWidth = U16(payload + 4);
            areas.filmHeight = U16(payload + 6);
        }
        if (id == 20)
            for (size_t i = 0; i + 8 <= length; i += 8)
                areas.frames.push_back({U16(payload + i), U16(payload + i + 2), U16(payload + i + 4),
                                        U16(payload + i + 6)});
        at += 8 + payloadSize;
    }
    return areas;
}

bool ScannerSession::filmAdapterPresent() {
    uint8_t mode = 0;
    Check("GetTPUMode", GetTPUMode(0, &mode));
    return mode != 0;
}

void ScannerSession::setLamp(int lamp) {
    // The engine refuses a new light source while the carriage still
    // travels home from the last scan; that ends by itself, so ask again.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    for (;;) {
        if (SetLamp(0, lamp)) return;
        uint16_t status = 0;
        GetScannerStatus(0, &status);
        if (status != 0x9601 || std::chrono::steady_clock::now() > deadline) Check("SetLamp", 0);
        std::this_thread::yield();
    }
}

uint8_t ScannerSession::calibrationStatus() {
    uint8_t status = 0;
    Check("GetCalibrationStatus", GetCalibrationStatus(0, &status));
    return status;
}

void ScannerSession::calibrate(int type, int mode, int resolution) {
    Check("DoCalibration", DoCalibration(0, type, mode, resolution));
}

}  // namespace zrtscan
