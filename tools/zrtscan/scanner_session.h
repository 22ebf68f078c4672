// The scanner engine as the tool drives it: each export's failure becomes a
// ToolError naming the export and its status.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "zrtl5617.h"

namespace zrtscan {

// Geometry of the scanner as its ability record describes it (1/4800 inch).
struct ScannerAreas {
    uint32_t flatbedX = 0, flatbedY = 0, flatbedWidth = 40832, flatbedHeight = 56128;
    uint32_t filmX = 9968, filmY = 9222, filmWidth = 5159, filmHeight = 43264;
    std::string vendor, model, version, bus;
    std::vector<std::pair<uint16_t, uint16_t>> resolutions;
    std::vector<std::array<uint16_t, 4>> frames;  // x, y, width, height
};

class ScannerSession {
public:
    // Opens the device and, unless `powerUp` is false, powers it up.
    explicit ScannerSession(const std::string& device, bool powerUp = true);
    ~ScannerSession();
    ScannerSession(const ScannerSession&) = delete;
    ScannerSession& operator=(const ScannerSession&) = delete;

    // Throws ToolError("<name> failed: 0x.... meaning") when result is 0.
    static void Check(const char* name, int32_t result);

    ScannerAreas areas() const;
    bool filmAdapterPresent();
    void setLamp(int lamp);
    uint8_t calibrationStatus();
    void calibrate(int type, int mode, int resolution);

private:
    bool open_ = false;
};

}  // namespace zrtscan
