#include "sim/sim_options.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <vector>

namespace zrt::sim {
namespace {

bool ParseUnsigned(const std::string& text, uint64_t max, uint64_t& out) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || end == text.c_str() || *end != '\0' || value > max) return false;
    out = value;
    return true;
}

bool ParseDouble(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !(value >= 0.0) || value > 1e6) return false;
    out = value;
    return true;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t begin = 0;
    while (true) {
        size_t end = text.find(separator, begin);
        parts.push_back(text.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
        if (end == std::string::npos) return parts;
        begin = end + 1;
    }
}

// "0x46:0x01"
bool ParsePin(const std::string& text, SimOptions& o) {
    size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    uint64_t reg = 0, value = 0;
    if (!ParseUnsigned(text.substr(0, colon), 0xFF, reg)) return false;
    if (!ParseUnsigned(text.substr(colon + 1), 0xFF, value)) return false;
    o.faults.pins[static_cast<uint8_t>(reg)] = static_cast<uint8_t>(value);
    return true;
}

bool ParseFlag(const std::string& value, const char* on, bool& out) {
    if (value == on) { out = true; return true; }
    if (value == "ok" || value == "0" || value == "no") { out = false; return true; }
    return false;
}

bool ApplyOption(const std::string& key, const std::string& value, SimOptions& o) {
    uint64_t n = 0;
    if (key == "vid" || key == "pid") {
        if (!ParseUnsigned(value, 0xFFFF, n)) return false;
        (key == "vid" ? o.vendorId : o.productId) = static_cast<uint16_t>(n);
        return true;
    }
    if (key == "usb") {
        if (value != "1" && value != "2") return false;
        o.usb = value == "1" ? 1 : 2;
        return true;
    }
    if (key == "seed") return ParseUnsigned(value, UINT64_MAX, o.seed);
    if (key == "spread") return ParseDouble(value, o.spreadPercent) && o.spreadPercent < 50.0;
    if (key == "noise") return ParseDouble(value, o.noise);
    if (key == "film") {
        if (value == "neg") o.film = FilmKind::Negative;
        else if (value == "pos") o.film = FilmKind::Positive;
        else if (value == "none") o.film = FilmKind::None;
        else return false;
        return true;
    }
    if (key == "fau") {
        if (value != "2" && value != "3") return false;
        o.fauPosition = value == "2" ? 2 : 3;
        return true;
    }
    if (key == "scene") { o.sceneFile = value; return !value.empty(); }
    if (key == "fail_at") return ParseUnsigned(value, UINT64_MAX, o.faults.failAt) && o.faults.failAt > 0;
    if (key == "fail_from") return ParseUnsigned(value, UINT64_MAX, o.faults.failFrom) && o.faults.failFrom > 0;
    if (key == "fail_reg_write") {
        if (!ParseUnsigned(value, 0x1FF, n)) return false;
        o.faults.failRegisterWrite.insert(static_cast<uint32_t>(n));
        return true;
    }
    if (key == "pin") return ParsePin(value, o);
    if (key == "busy") return ParseFlag(value, "1", o.faults.busy);
    if (key == "unplug_after") {
        o.faults.unplugArmed = true;
        return ParseUnsigned(value, UINT64_MAX, o.faults.unplugAfterBytes);
    }
    if (key == "lamp") {
        o.faults.lampDead = value == "dead";
        o.faults.lampOff = value == "off";
        return o.faults.lampDead || o.faults.lampOff || value == "ok";
    }
    if (key == "film_lamp") return ParseFlag(value, "dead", o.faults.filmLampDead);
    if (key == "sensor") return ParseFlag(value, "leak", o.faults.sensorLeak);
    if (key == "guide") return ParseFlag(value, "missing", o.faults.guideMissing);
    if (key == "film_motor") return ParseFlag(value, "stuck", o.faults.filmMotorStuck);
    return false;
}

}  // namespace

bool ParseSimPath(const std::string& path, SimOptions& out, std::string& error) {
    if (path == "sim") return true;
    if (path.rfind("sim:", 0) != 0) {
        error = "not a virtual scanner path: " + path;
        return false;
    }
    SimOptions parsed = out;
    std::string list = path.substr(4);
    if (list.empty()) { out = parsed; return true; }
    for (const std::string& item : Split(list, ',')) {
        size_t eq = item.find('=');
        if (eq == std::string::npos || eq == 0) {
            error = "option without a value: " + item;
            return false;
        }
        std::string key = item.substr(0, eq);
        std::string value = item.substr(eq + 1);
        if (!ApplyOption(key, value, parsed)) {
            error = "bad option: " + item;
            return false;
        }
    }
    out = parsed;
    return true;
}

}  // namespace zrt::sim
