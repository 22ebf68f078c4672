// Subcommands about the scanner itself: devices, info, calibrate, buttons, selftest.
#include <cstdio>

#include "tools/zrtscan/commands.h"
#include "tools/zrtscan/scanner_session.h"
#include "tools/zrtscan/tool_error.h"
#include "tools/zrtscan/usb_listing.h"

namespace zrtscan {

void EmitSummary(const GlobalOptions& global, const nlohmann::json& summary) {
    if (global.json) std::printf("%s\n", summary.dump(2).c_str());
}

uint32_t MmToUnits(double mm) { return static_cast<uint32_t>(mm / 25.4 * 4800.0 + 0.5); }

int RunDevices(const GlobalOptions& global) {
    nlohmann::json list = nlohmann::json::array();
    list.push_back({{"path", "sim"}, {"description", "virtual scanner"}});
    for (const UsbScanner& s : ListUsbScanners())
        list.push_back({{"path", s.path}, {"bus", s.bus}, {"address", s.address}, {"speed", s.speed}});
    if (global.json) {
        EmitSummary(global, {{"devices", list}});
        return 0;
    }
    for (const auto& d : list) {
        if (d.contains("bus"))
            std::printf("%-16s USB bus %d address %d, %s\n", d["path"].get<std::string>().c_str(),
                        d["bus"].get<int>(), d["address"].get<int>(), d["speed"].get<std::string>().c_str());
        else
            std::printf("%-16s %s\n", d["path"].get<std::string>().c_str(),
                        d["description"].get<std::string>().c_str());
    }
    return 0;
}

static const char* CalibrationText(uint8_t status) {
    switch (status) {
        case 0: return "valid";
        case 1: return "due for renewal";
        default: return "needed";
    }
}

static uint8_t CalibrationStatusFor(ScannerSession& session, bool film) {
    // The status answers for the light source and resolution of a scan set up.
    session.setLamp(film ? 12 : 1);
    ScanParameters p{};
    p.XResolution = p.YResolution = film ? 2400 : 600;
    const ScannerAreas areas = session.areas();
    p.XOrigin = static_cast<uint16_t>(film ? areas.filmX : 0);
    p.YOrigin = static_cast<uint16_t>(film ? areas.filmY : 0);
    p.Width = p.Height = 4800;
    p.FilmScan = film ? 1 : 0;
    p.BitDepth = 24;
    if (!SetScanParameter(0, &p)) return 2;
    return session.calibrationStatus();
}

int RunInfo(const GlobalOptions& global) {
    ScannerSession session(global.device);
    const ScannerAreas a = session.areas();
    const bool film = session.filmAdapterPresent();
    const uint8_t docCal = CalibrationStatusFor(session, false);
    const uint8_t filmCal = film ? CalibrationStatusFor(session, true) : 2;
    nlohmann::json resolutions = nlohmann::json::array();
    for (const auto& [h, v] : a.resolutions) resolutions.push_back({h, v});
    nlohmann::json summary = {
        {"vendor", a.vendor},
        {"model", a.model},
        {"version", a.version},
        {"bus", a.bus},
        {"resolutions", resolutions},
        {"flatbed_mm", {a.flatbedWidth * 25.4 / 4800, a.flatbedHeight * 25.4 / 4800}},
        {"film_area_mm", {a.filmWidth * 25.4 / 4800, a.filmHeight * 25.4 / 4800}},
        {"film_frames", a.frames.size()},
        {"film_adapter", film},
        {"calibration", {{"flatbed", CalibrationText(docCal)}, {"film", CalibrationText(filmCal)}}},
    };
    if (global.json) {
        EmitSummary(global, summary);
        return 0;
    }
    std::printf("Scanner      %s %s (firmware %s)\n", a.vendor.c_str(), a.model.c_str(), a.version.c_str());
    std::printf("Bus          %s\n", a.bus.c_str());
    std::printf("Resolutions ");
    for (const auto& [h, v] : a.resolutions) std::printf(" %ux%u", h, v);
    std::printf(" dpi\n");
    std::printf("Flatbed      %.1f x %.1f mm\n", a.flatbedWidth * 25.4 / 4800, a.flatbedHeight * 25.4 / 4800);
    std::printf("Film area    %.1f x %.1f mm at x %.1f mm, %zu standard frames\n", a.filmWidth * 25.4 / 4800,
                a.filmHeight * 25.4 / 4800, a.filmX * 25.4 / 4800, a.frames.size());
    std::printf("Film adapter %s\n", film ? "connected" : "not connected");
    std::printf("Calibration  flatbed %s, film %s\n", CalibrationText(docCal), film ? CalibrationText(filmCal) : "-");
    return 0;
}

int RunCalibrate(const GlobalOptions& global, const std::string& source, int resolution, bool all) {
    ScannerSession session(global.device);
    const bool film = source == "film";
    session.setLamp(film ? 12 : 1);
    if (all)
        session.calibrate(film ? 1 : 0, 2, 0);
    else
        session.calibrate(film ? 1 : 0, 0, resolution);
    EmitSummary(global, {{"calibrated", source}, {"resolution", all ? nlohmann::json("all") : nlohmann::json(resolution)}});
    if (!global.json) std::printf("Calibrated %s at %s\n", source.c_str(), all ? "every resolution" : (std::to_string(resolution) + " dpi").c_str());
    return 0;
}

int RunButtons(const GlobalOptions& global) {
    ScannerSession session(global.device, false);
    ButtonDescription description{};
    InitialButton(0, &description);
    uint8_t report[2] = {0, 0};
    ReadPushButton(0, report);
    uint16_t status = 0;
    GetScannerStatus(0, &status);
    if (status != 0) throw ToolError("ReadPushButton failed: " + DescribeStatus(status));
    int button = 0;
    for (int n = 1; n <= 7; ++n)
        if (report[1] & (1 << (n - 1))) button = n;
    EmitSummary(global, {{"pressed", report[0] == 0x80}, {"button", button}});
    if (!global.json) {
        if (button)
            std::printf("Button %d pressed\n", button);
        else
            std::printf("No button pressed\n");
    }
    return 0;
}

int RunSelftest(const GlobalOptions& global) {
    ScannerSession session(global.device);
    nlohmann::json results = nlohmann::json::array();
    bool allPassed = true;
    for (const auto& [type, name] : {std::pair{4, "carriage run"}, std::pair{5, "sensor"}}) {
        const int32_t ok = TestScanner(0, type, 0, 0, 0);
        uint16_t status = 0;
        GetScannerStatus(0, &status);
        results.push_back({{"test", name}, {"passed", ok == 1}, {"status", status}});
        if (!global.json)
            std::printf("%-13s %s\n", name, ok ? "passed" : ("FAILED: " + DescribeStatus(status)).c_str());
        allPassed = allPassed && ok;
    }
    EmitSummary(global, {{"selftest", results}});
    return allPassed ? 0 : 1;
}

}  // namespace zrtscan
