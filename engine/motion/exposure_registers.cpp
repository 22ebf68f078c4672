// Exposure, readout, gamma and shading steps of a job's programming.
#include <array>

#include "engine/api/scanner_engine.h"
#include "engine/calibration/shading_upload.h"
#include "engine/motion/line_period.h"
#include "engine/motion/scan_programming.h"

namespace zrt {
namespace {

uint32_t ChannelMask(uint8_t channels) {
    switch (channels) {
    case 1: return 0x2;   // green alone
    case 3: return 0x7;
    case 4: return 0xF;
    default: return 0;
    }
}

bool WriteChannelExposure(Controller& device, const ChannelExposure& exposure) {
    for (unsigned ch = 0; ch < 4; ++ch) {
        if (!device.WriteControllerRegister(0x5A + ch, exposure.level[ch])) {
            return false;
        }
    }
    for (unsigned ch = 0; ch < 4; ++ch) {
        if (!device.WriteRegisterPair(0x52 + 2 * ch, exposure.exposure[ch])) {
            return false;
        }
    }
    return true;
}

}  // namespace

StatusCode SetExposure(ScannerEngine& engine, uint8_t channels, const ChannelExposure& exposure,
                       uint8_t source, uint8_t busSpeed, uint8_t depth, uint16_t dpi) {
    Controller& device = engine.device;
    const LinePeriod line = LookupLinePeriod(engine, source, busSpeed, depth, dpi);
    if (!device.WriteRegisterPair(0x64, line.extra)) return status::Reg64Failed;
    if (!device.WriteRegisterTriple(0x61, line.period & 0xFFFFFF)) return status::Reg61Failed;
    if (!device.SetRegisterField(0x50, 6, 3, 0) ||
        !device.SetRegisterField(0x50, 7, 7, line.extra != 0 ? 1 : 0)) {
        return status::Reg50Failed;
    }
    // Line 5 selects the film lamp path for every source but the document.
    if (!device.SetControlLine(5, (source & 0x01) ? 0 : 1)) return status::ControlLine5Failed;
    if (!device.SetRegisterField(0x51, 3, 0, ChannelMask(channels))) return status::ExposureRegistersFailed;
    if (!WriteChannelExposure(device, exposure)) return status::ExposureRegistersFailed;
    if (!device.WriteControllerRegister(0x5E, 2)) return status::Reg5EFailed;
    if (!device.WriteControllerRegister(0x5F, 0)) return status::Reg5FFirstFailed;
    if (!device.WriteControllerRegister(0x5F, 3)) return status::Reg5FSecondFailed;
    for (unsigned bit : {4u, 2u, 3u, 1u}) {
        if (!device.SetRegisterField(0x60, bit, bit, 0)) return status::Reg60BitsFailed;
    }
    device.SetRegisterField(0x50, 2, 2, 1);
    device.SetRegisterField(0x51, 4, 4, 0);
    return status::Ok;
}

StatusCode SetReadoutRegisters(ScannerEngine& engine, uint8_t source) {
    Controller& device = engine.device;
    if (!device.SetRegisterField(0x81, 7, 3, source == 1 ? 6 : 5) ||
        !device.SetRegisterField(0x81, 2, 0, 1)) {
        return status::Reg81Failed;
    }
    if (!device.SetRegisterField(0x82, 7, 3, 2) || !device.SetRegisterField(0x82, 2, 0, 1)) {
        return status::Reg82Failed;
    }
    if (!device.WriteControllerRegister(0x83, 1) || !device.WriteControllerRegister(0x84, 5)) {
        return status::Reg83Failed;
    }
    device.SetRegisterField(0x80, 3, 3, 0);
    device.SetRegisterField(0x80, 0, 0, 0);
    return status::Ok;
}

StatusCode UploadGammaTables(ScannerEngine& engine, uint32_t gammaOn) {
    for (unsigned ch = 0; ch < 3; ++ch) {
        const std::vector<uint16_t>& slot = engine.gamma.slot[ch];
        // A slot that was never allocated counts as the identity.
        const bool useSlot = gammaOn != 0 && slot.size() >= 65536;
        std::array<uint8_t, 256> table{};
        for (unsigned k = 0; k < 256; ++k) {
            table[k] = useSlot ? static_cast<uint8_t>(slot[k * 256] >> 8) : static_cast<uint8_t>(k);
        }
        engine.device.WriteGammaMemory(engine.device.GammaAddress[ch], 256, table.data());
    }
    return status::Ok;
}

StatusCode UploadShadingForChannels(ScannerEngine& engine, uint8_t channels, uint32_t shadingIndex) {
    StatusCode first;
    uint32_t firstTable;
    uint32_t tables;
    switch (channels) {
    case 1: first = status::ShadingUploadOneFailed; firstTable = 1; tables = 1; break;
    case 3: first = status::ShadingUploadThree0Failed; firstTable = 0; tables = 3; break;
    case 4: first = status::ShadingUploadFour0Failed; firstTable = 0; tables = 4; break;
    default: return status::Ok;
    }
    for (uint32_t k = 0; k < tables; ++k) {
        if (!UploadShading(engine, firstTable + k, shadingIndex)) {
            return static_cast<StatusCode>(first + k);
        }
    }
    return status::Ok;
}

}  // namespace zrt
