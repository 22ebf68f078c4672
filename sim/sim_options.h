// Options of the virtual scanner, as given in a device path
// "sim:key=value,key=value" or set directly by tests.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace zrt::sim {

enum class FilmKind { Negative, Positive, None };

// Faulty hardware and failing transfers, all off by default.
struct FaultOptions {
    uint64_t failAt = 0;                  // fail the n-th transfer once (1 = first after open)
    uint64_t failFrom = 0;                // fail the n-th transfer and every later one
    std::set<uint32_t> failRegisterWrite; // every write of these registers fails (0x100+ high)
    std::map<uint8_t, uint8_t> pins;      // register reads answered with a fixed value
    bool busy = false;                    // register 0x46 always reports activity
    bool unplugArmed = false;
    uint64_t unplugAfterBytes = 0;        // device vanishes after this many image bytes
    bool lampDead = false;                // the document lamp is dead over the left of the line
    bool lampOff = false;                 // the document lamp gives no light at all
    bool filmLampDead = false;            // the film adapter's lamp gives no light
    bool sensorLeak = false;              // the sensor's dark level leaks bright
    bool guideMissing = false;            // no film-guide pattern on the adapter
    bool filmMotorStuck = false;          // the film adapter motor does not move
};

struct SimOptions {
    uint16_t vendorId = 0x5A17;
    uint16_t productId = 0x3C42;
    int usb = 2;                          // 2 = high speed (register 0xD0 bit 0), 1 = full speed
    uint64_t seed = 1;                    // sensor spread and noise
    double spreadPercent = 10.0;          // per-pixel gain and offset spread
    double noise = 1.0;                   // scale of the sensor noise (0 = none)
    FilmKind film = FilmKind::Negative;   // film adapter and the strip in it
    int fauPosition = 3;                  // film area at x 9968 (3) or 4809 (2)
    std::string sceneFile;                // image placed at the scan origin
    FaultOptions faults;
};

// Parses "sim" or "sim:key=value,...". Unknown keys and bad values fail
// with a message in `error`; `out` is only changed on success.
bool ParseSimPath(const std::string& path, SimOptions& out, std::string& error);

}  // namespace zrt::sim
