#include "engine/motion/scan_programming.h"

#include "engine/api/scanner_engine.h"
#include "engine/motion/scan_timing.h"
#include "platform/clock.h"

namespace zrt {
namespace {

struct ExposureChoice {
    uint8_t depth;
    uint16_t dpi;
};

// Calibration kinds measure with the line period of a lower resolution or
// another depth while the window keeps the job's own pixels.
ExposureChoice ExposureForKind(uint8_t kind, uint8_t depth, uint16_t xDpi) {
    if (kind >= 1 && kind <= 3) return {depth, static_cast<uint16_t>(xDpi >> kind)};
    if (kind >= 11 && kind <= 13) return {24, static_cast<uint16_t>(xDpi >> (kind - 10))};
    if (kind >= 21 && kind <= 23) return {8, static_cast<uint16_t>(xDpi >> (kind - 20))};
    if (kind == 10) return {24, xDpi};
    if (kind == 20) return {8, xDpi};
    return {depth, xDpi};
}

bool IsByteDepth(uint8_t depth) {
    return depth == 8 || depth == 24;
}

// Bytes of `pixels` pixels of the job.
uint32_t LineBytes(uint64_t pixels, const ScanSetup& setup) {
    return static_cast<uint32_t>(pixels * setup.channels * (IsByteDepth(setup.depth) ? 1 : 2));
}

StatusCode ProgramLineFormat(ScannerEngine& engine, const ScanSetup& setup, const ScanWindow& window) {
    ScanProgress& progress = engine.progress;
    progress.RawLineExtra = LineBytes(window.padPixels, setup);
    progress.RawLineBytes = LineBytes(uint64_t{setup.xDpi} * setup.width / 4800, setup);
    const uint32_t planes = setup.channels == 1 ? 2 : setup.channels;
    const uint32_t words = (progress.RawLineBytes + progress.RawLineExtra) * 2 + 16;
    if (!engine.device.SetRegisterField(0xA0, 5, 3, planes) ||
        !engine.device.WriteRegisterTriple(0xA1, words & 0xFFFFFF)) {
        return status::RegA0Failed;
    }
    return status::Ok;
}

StatusCode ProgramShading(ScannerEngine& engine, const ScanSetup& setup, uint32_t shadingIndex) {
    if (!engine.device.SetRegisterField(0xB0, 3, 3, setup.shadingOn != 0 ? 1 : 0)) {
        return status::RegA0Failed;
    }
    if (setup.shadingOn == 0) {
        return status::Ok;
    }
    return UploadShadingForChannels(engine, setup.channels, shadingIndex);
}

StatusCode ProgramMotorControl(ScannerEngine& engine, const ScanSetup& setup) {
    if (!engine.device.SetRegisterField(0x10, 4, 4, setup.ctl10Bit4 & 0xFF)) {
        return status::Reg10Bit4Failed;
    }
    if (!engine.device.SetRegisterField(0x10, 3, 3, setup.ctl10Bit3 & 0xFF)) {
        return status::Reg10Bit3Failed;
    }
    return status::Ok;
}

}  // namespace

StatusCode ProgramScan(ScannerEngine& engine, const ScanSetup& setup, uint8_t kind) {
    Controller& device = engine.device;
    if (!device.SelectMemoryLayout(setup.xDpi >= 2400 ? 1 : 0) ||
        !device.SetRegisterField(0x01, 0, 0, IsByteDepth(setup.depth) ? 1 : 0)) {
        return status::MemoryLayoutFailed;
    }
    if (IsByteDepth(setup.depth)) {
        UploadGammaTables(engine, setup.gammaOn);
    }
    if (StatusCode s = SetSensorMode(engine, setup.xDpi, setup.source)) return s;
    ScanWindow window;
    if (StatusCode s = SetScanWindow(engine, setup.xDpi, setup.source, setup.xStart, setup.width, window)) {
        return s;
    }
    if (StatusCode s = ProgramLineFormat(engine, setup, window)) return s;

    const ChannelExposure dark;
    const ChannelExposure& exposure = setup.exposure != nullptr ? *setup.exposure : dark;
    const ExposureChoice choice = ExposureForKind(kind, setup.depth, setup.xDpi);
    if (StatusCode s = SetExposure(engine, setup.channels, exposure, setup.source, setup.busSpeed,
                                   choice.depth, choice.dpi)) {
        return s;
    }
    if (StatusCode s = SetReadoutRegisters(engine, setup.source)) return s;
    if (StatusCode s = ProgramShading(engine, setup, window.shadingIndex)) return s;
    if (StatusCode s = ProgramMotorControl(engine, setup)) return s;

    const MotorTiming timing = LookupScanTimingForKind(engine, kind, setup.source, setup.busSpeed,
                                                       setup.depth, setup.channels, setup.xDpi,
                                                       setup.yDpi);
    return WriteScanTiming(engine, setup.feedSteps, setup.lines * setup.channels,
                           setup.reverse & 0xFF, setup.homeStop & 0xFF, setup.ctl11Bit1 & 0xFF,
                           setup.ctl11Bit6 & 0xFF, timing);
}

namespace {

// After the arm bit the job may start only once registers 0x4A-0x4C
// read 0.
bool WaitForArmedCounter(Controller& device) {
    if (!device.SetRegisterField(0x10, 0, 0, 1)) {
        return false;
    }
    for (unsigned reading = 0; reading < 10; ++reading) {
        uint32_t pending = 0;
        if (!device.ReadRegisterTriple(0x4A, pending)) {
            return false;
        }
        if (pending == 0) {
            return true;
        }
        platform::SleepMs(50);
    }
    return false;
}

}  // namespace

StatusCode StartEngine(ScannerEngine& engine) {
    Controller& device = engine.device;
    if (!WaitForArmedCounter(device)) return status::StartCounterWaitFailed;
    if (!device.SetRegisterField(0x11, 4, 4, 1)) return status::Reg11Bit4Failed;
    if (!device.SetRegisterField(0x60, 0, 0, 1)) {
        device.SetRegisterField(0x11, 4, 4, 0);
        return status::StartReg60Failed;
    }
    if (!device.SetRegisterField(0x80, 1, 1, 1)) {
        device.SetRegisterField(0x11, 4, 4, 0);
        return status::StartReg80Failed;
    }
    if (!device.WriteControllerRegister(0x03, 1)) {
        device.SetRegisterField(0x80, 1, 1, 1);
        device.SetRegisterField(0x11, 4, 4, 0);
        return status::StartCommandFailed;
    }
    return status::Ok;
}

}  // namespace zrt
