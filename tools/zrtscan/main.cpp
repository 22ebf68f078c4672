// zrtscan: scans documents and film with the ZRTL5617 engine and finds film
// frames with the ZRTS5617 frame finder.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <functional>

#include "tools/zrtscan/commands.h"
#include "tools/zrtscan/tool_error.h"

using namespace zrtscan;

static AreaMm ParseArea(const std::string& text) {
    AreaMm area;
    if (std::sscanf(text.c_str(), "%lf,%lf,%lf,%lf", &area.x, &area.y, &area.width, &area.height) != 4 ||
        area.x < 0 || area.y < 0 || area.width <= 0 || area.height <= 0)
        throw CLI::ValidationError("--area", "expected x,y,w,h in millimetres");
    return area;
}

int main(int argc, char** argv) {
    CLI::App app{"zrtscan: document and film scanning (the virtual scanner by default)"};
    app.require_subcommand(1);
    GlobalOptions global;
    app.add_option("--device", global.device, "device path: sim, sim:key=value,..., usb, usb:BUS:ADDR")
        ->capture_default_str();
    app.add_flag("-q,--quiet", global.quiet, "no progress on stderr");
    app.add_flag("--json", global.json, "print a machine-readable summary");

    std::function<int()> run;

    app.add_subcommand("devices", "list the scanners that can be opened")->callback([&] {
        run = [&] { return RunDevices(global); };
    });
    app.add_subcommand("info", "describe the scanner")->callback([&] { run = [&] { return RunInfo(global); }; });

    auto* calibrate = app.add_subcommand("calibrate", "calibrate the scanner");
    std::string calSource = "flatbed";
    int calResolution = 600;
    bool calAll = false;
    calibrate->add_option("--source", calSource)->check(CLI::IsMember({"flatbed", "film"}))->capture_default_str();
    auto* calRes = calibrate->add_option("--resolution", calResolution)->capture_default_str();
    calibrate->add_flag("--all", calAll, "every standard resolution")->excludes(calRes);
    calibrate->callback([&] { run = [&] { return RunCalibrate(global, calSource, calResolution, calAll); }; });

    auto* scan = app.add_subcommand("scan", "scan to an image file");
    ScanOptions scanOptions;
    std::string areaText;
    scan->add_option("--resolution", scanOptions.resolution)
        ->check(CLI::IsMember({75, 150, 300, 600, 1200, 2400, 4800}))
        ->capture_default_str();
    scan->add_option("--mode", scanOptions.mode)
        ->check(CLI::IsMember({"gray8", "gray16", "color24", "color48"}))
        ->capture_default_str();
    scan->add_option("--area", areaText, "x,y,w,h in mm (default: the whole glass or film area)");
    scan->add_option("--source", scanOptions.source)
        ->check(CLI::IsMember({"flatbed", "film", "film-ir"}))
        ->capture_default_str();
    scan->add_option("--gamma", scanOptions.gammaFile, "65536 little-endian u16 per channel (1 or 3 tables)")
        ->check(CLI::ExistingFile);
    scan->add_option("-o,--output", scanOptions.output, "output file: .tiff, .png or .pnm")->required();
    scan->callback([&] {
        if (!areaText.empty()) scanOptions.area = ParseArea(areaText);
        run = [&] { return RunScan(global, scanOptions); };
    });

    auto* preview = app.add_subcommand("preview", "a 48-bit preview of the film area, as TIFF");
    std::string previewOut = "preview.tiff";
    uint16_t previewRes = 300;
    preview->add_option("-o,--output", previewOut)->capture_default_str();
    preview->add_option("--resolution", previewRes)->check(CLI::IsMember({300, 600}))->capture_default_str();
    preview->callback([&] { run = [&] { return RunPreview(global, previewOut, previewRes); }; });

    auto* frames = app.add_subcommand("frames", "find the film frames on a preview TIFF");
    FramesOptions framesOptions;
    frames->add_option("preview", framesOptions.preview)->required()->check(CLI::ExistingFile);
    frames->add_option("--settings", framesOptions.settings)->check(CLI::ExistingFile);
    frames->add_option("--overlay", framesOptions.overlay, "write the preview with the frames drawn, as PNG");
    frames->callback([&] { run = [&] { return RunFrames(global, framesOptions); }; });

    auto* film = app.add_subcommand("film", "preview, find the frames and scan each one");
    FilmOptions filmOptions;
    film->add_option("--resolution", filmOptions.resolution)
        ->check(CLI::IsMember({300, 600, 1200, 2400, 4800}))
        ->capture_default_str();
    film->add_option("--ir", filmOptions.ir)->check(CLI::IsMember({"embed", "separate", "off"}))->capture_default_str();
    film->add_option("-o,--output-dir", filmOptions.outputDir)->capture_default_str();
    film->add_option("--settings", filmOptions.settings)->check(CLI::ExistingFile);
    film->callback([&] { run = [&] { return RunFilm(global, filmOptions); }; });

    app.add_subcommand("buttons", "read the push buttons")->callback([&] {
        run = [&] { return RunButtons(global); };
    });
    app.add_subcommand("selftest", "run the carriage and sensor self tests")->callback([&] {
        run = [&] { return RunSelftest(global); };
    });

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }
    try {
        return run ? run() : 2;
    } catch (const ToolError& e) {
        std::fprintf(stderr, "zrtscan: %s\n", e.what());
        return e.exitCode();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zrtscan: %s\n", e.what());
        return 1;
    }
}
