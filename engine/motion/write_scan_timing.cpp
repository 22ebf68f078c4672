#include "engine/api/scanner_engine.h"
#include "engine/motion/scan_timing.h"

namespace zrt {
namespace {

// One step of a register sequence: the write, and the status it gives when
// it fails.
struct FieldWrite {
    uint32_t reg;
    unsigned hi;
    unsigned lo;
    uint32_t value;
    StatusCode failure;
};

StatusCode WriteFields(Controller& device, std::initializer_list<FieldWrite> steps) {
    for (const FieldWrite& step : steps) {
        if (!device.SetRegisterField(step.reg, step.hi, step.lo, step.value)) {
            return step.failure;
        }
    }
    return status::Ok;
}

StatusCode WriteControlBits(Controller& device, uint8_t reverse, uint8_t homeStop,
                            uint8_t ctl11Bit1, uint8_t ctl11Bit6, const MotorTiming& timing) {
    return WriteFields(device, {
        {0x10, 1, 1, timing.ctl10Bit1, status::Reg10Bits12Failed},
        {0x10, 2, 2, 1, status::Reg10Bits12Failed},
        {0x11, 7, 7, homeStop == 0 ? 1u : 0u, status::Reg11Bit7Failed},
        {0x11, 5, 5, homeStop, status::Reg11BitsFailed},
        {0x11, 6, 6, ctl11Bit6, status::Reg11BitsFailed},
        {0x11, 3, 3, 0, status::Reg11BitsFailed},
        {0x11, 2, 2, reverse, status::Reg11BitsFailed},
        {0x11, 1, 1, ctl11Bit1, status::Reg11BitsFailed},
        {0x11, 0, 0, 1, status::Reg11Bit0Failed},
    });
}

StatusCode WriteTableLengths(Controller& device, uint8_t ctl11Bit6, const MotorTiming& timing) {
    const auto half = [&](unsigned i) -> uint32_t { return timing.ramp[i].len / 2; };
    const std::pair<uint32_t, StatusCode> steps[] = {
        {0x12, status::Reg12Failed}, {0x13, status::Reg13Failed}, {0x16, status::Reg16Failed},
        {0x21, status::Reg21Failed}, {0x22, status::Reg22Failed}, {0x20, status::Reg20Failed},
    };
    const uint32_t values[] = {half(0), ctl11Bit6 ? 0 : half(0), half(1), half(2), half(3), half(4)};
    for (unsigned k = 0; k < 6; ++k) {
        if (!device.WriteControllerRegister(steps[k].first, values[k])) {
            return steps[k].second;
        }
    }
    return status::Ok;
}

StatusCode WriteTravel(Controller& device, int32_t feedSteps, uint32_t lineCount) {
    if (!device.WriteRegisterTriple(0x1D, static_cast<uint32_t>(feedSteps) & 0xFFFFFF)) {
        return status::Reg1DFailed;
    }
    if (!device.WriteRegisterTriple(0x66, lineCount & 0xFFFFFF)) {
        return status::Reg66Failed;
    }
    if (!device.WriteRegisterTriple(0x1A, 2)) {
        return status::Reg1AFailed;
    }
    return status::Ok;
}

StatusCode WriteMotorControl(Controller& device, uint8_t ctl11Bit6, const MotorTiming& timing) {
    // A strip scan into memory runs with fixed motor control values.
    const bool strip = ctl11Bit6 != 0;
    if (!device.WriteControllerRegister(0x15, strip ? 1u : timing.reg15)) return status::Reg15Failed;
    if (!device.WriteControllerRegister(0x14, strip ? 1u : timing.reg14)) return status::Reg14Failed;
    if (!device.WriteControllerRegister(0x17, strip ? 1u : timing.reg17 / 2u)) return status::Reg17Failed;
    if (!device.WriteControllerRegister(0x43, 0x1C) || !device.WriteRegisterPair(0x44, 0x9C38)) {
        return status::Reg43Failed;
    }
    return status::Ok;
}

// Profiles, the 0xCA fields, the shift and the tables: a failed profile or
// 0xCA write leaves the rest out, but none of these is reported.
void WriteProfileAndTables(ScannerEngine& engine, const MotorTiming& timing, StatusCode& result) {
    Controller& device = engine.device;
    for (unsigned k = 0; k < 16; ++k) {
        if (!device.WriteControllerRegister(0x23 + k, timing.profile1[k]) ||
            !device.WriteControllerRegister(0x33 + k, timing.profile2[k])) {
            return;
        }
    }
    if (!device.SetRegisterField(0xCA, 1, 0, timing.caField0) ||
        !device.SetRegisterField(0xCA, 3, 2, timing.caField1) ||
        !device.SetRegisterField(0xCA, 5, 4, timing.caField2)) {
        return;
    }
    if (!device.WriteControllerRegister(0x18, timing.shift)) {
        result = status::Reg18Failed;
        return;
    }
    for (unsigned i = 0; i < timing.ramp.size(); ++i) {
        BuildMotorTable(engine, i, timing.ramp[i], timing.shift);
    }
}

}  // namespace

StatusCode WriteScanTiming(ScannerEngine& engine, int32_t feedSteps, uint32_t lineCount,
                           uint8_t reverse, uint8_t homeStop, uint8_t ctl11Bit1, uint8_t ctl11Bit6,
                           const MotorTiming& timing) {
    Controller& device = engine.device;
    if (StatusCode s = WriteControlBits(device, reverse, homeStop, ctl11Bit1, ctl11Bit6, timing)) {
        return s;
    }
    if (StatusCode s = WriteTableLengths(device, ctl11Bit6, timing)) {
        return s;
    }
    if (StatusCode s = WriteTravel(device, feedSteps, lineCount)) {
        return s;
    }
    if (StatusCode s = WriteMotorControl(device, ctl11Bit6, timing)) {
        return s;
    }
    StatusCode result = status::Ok;
    WriteProfileAndTables(engine, timing, result);
    return result;
}

}  // namespace zrt
