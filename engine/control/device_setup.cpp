#include "engine/control/device_setup.h"

#include "engine/api/scanner_engine.h"
#include "engine/control/fau_settings.h"
#include "platform/clock.h"
#include "platform/shared_state.h"

namespace zrt {
namespace {

// One step of the control-line initialisation.
struct ControlLineStep {
    enum Kind : uint8_t { Write, Sleep, Read } kind;
    uint8_t reg;     // Write, Read
    uint8_t value;   // Write: the value; Sleep: milliseconds
};

// The order matters: the lines are configured as inputs, the button port is
// read once to settle it, then the outputs are driven.
constexpr ControlLineStep kControlLineSteps[] = {
    {ControlLineStep::Write, 0x90, 0x27},
    {ControlLineStep::Write, 0x92, 0xF7},
    {ControlLineStep::Write, 0x94, 0xF7},
    {ControlLineStep::Sleep, 0x00, 50},
    {ControlLineStep::Read, 0x91, 0x00},
    {ControlLineStep::Write, 0x93, 0x00},
    {ControlLineStep::Write, 0x91, 0x1F},
    {ControlLineStep::Write, 0x95, 0x0F},
    {ControlLineStep::Write, 0x97, 0x0F},
    {ControlLineStep::Write, 0x9B, 0x00},
    {ControlLineStep::Write, 0x9C, 0x07},
    {ControlLineStep::Write, 0x90, 0xF0},
    {ControlLineStep::Sleep, 0x00, 50},
    {ControlLineStep::Write, 0x9B, 0x04},
};

constexpr unsigned kIndirectBusyTries = 5;

}  // namespace

bool ResetController(ScannerEngine& engine) {
    Controller& c = engine.device;
    if (!c.WriteControllerRegister(0x02, 1)) return false;
    platform::SleepMs(1);
    return c.WriteControllerRegister(0x02, 0) && c.SetRegisterField(0x01, 6, 6, 0) &&
           c.SetRegisterField(0x01, 5, 3, 5);
}

bool EnableMemory(ScannerEngine& engine) {
    Controller& c = engine.device;
    if (!c.SetRegisterField(0xA0, 2, 2, 1)) return false;
    // The memory needs its supply settled before it is switched on.
    platform::SleepMs(200);
    return c.SetRegisterField(0xA0, 0, 0, 1) && c.SelectMemoryLayout(0);
}

bool InitControlLines(ScannerEngine& engine) {
    Controller& c = engine.device;
    for (const ControlLineStep& step : kControlLineSteps) {
        uint8_t ignored = 0;
        switch (step.kind) {
        case ControlLineStep::Write:
            if (!c.WriteControllerRegister(step.reg, step.value)) return false;
            break;
        case ControlLineStep::Sleep:
            platform::SleepMs(step.value);
            break;
        case ControlLineStep::Read:
            if (!c.ReadControllerRegister(step.reg, ignored)) return false;
            break;
        }
    }
    return true;
}

bool InitAuxRegisters(ScannerEngine& engine) {
    Controller& c = engine.device;
    return c.SetRegisterField(0x98, 4, 4, 0) && c.SetRegisterField(0x98, 3, 2, 0) &&
           c.SetRegisterField(0x98, 1, 0, 2) && c.WriteControllerRegister(0x99, 0x3B) &&
           c.WriteControllerRegister(0x9A, 0x03);
}

bool WriteIndirectRegister(ScannerEngine& engine, uint8_t index, uint32_t value) {
    Controller& c = engine.device;
    // Register 0x8B reads non-zero while the port is still busy with the
    // previous indirect write.
    bool idle = false;
    for (unsigned attempt = 0; attempt < kIndirectBusyTries; ++attempt) {
        uint8_t busy = 0;
        if (c.ReadStableRegister(0x8B, 0xFF, busy) != Controller::StableReadResult::Ok) return false;
        if (busy == 0) {
            idle = true;
            break;
        }
        platform::SleepMs(10);
    }
    if (!idle) return false;
    return c.WriteControllerRegister(0x85, index) && c.WriteRegisterPair(0x87, value & 0x1FF);
}

bool InitIndirectRegisters(ScannerEngine& engine) {
    Controller& c = engine.device;
    return c.SetRegisterField(0x80, 5, 4, 1) && c.SetRegisterField(0x8D, 7, 4, 0) &&
           c.SetRegisterField(0x8D, 3, 0, 4) && WriteIndirectRegister(engine, 0, 0x70) &&
           WriteIndirectRegister(engine, 3, 0x00) && WriteIndirectRegister(engine, 6, 0x88);
}

bool AllocateEngineBuffers(ScannerEngine& engine) {
    engine.device.GammaAddress = {0x000, 0x100, 0x200};
    engine.shading.ShadingEntryCount = 0;
    // The tables of an earlier set-up go first; any gamma table set before
    // is replaced by the identity.
    engine.shading.Release();
    if (!engine.gamma.Allocate()) return false;
    return engine.shading.Allocate();
}

StatusCode SetUpDevice(ScannerEngine& engine) {
    // Once some process has powered the scanner up, a reset here would pull
    // the controller from under that process.
    if (platform::SharedState().OriginOffset == 0) {
        if (!ResetController(engine)) return status::ResetControllerFailed;
        if (!EnableMemory(engine)) return status::EnableMemoryFailed;
    }
    if (!InitControlLines(engine)) return status::InitControlLinesFailed;
    if (!InitAuxRegisters(engine)) return status::InitAuxRegistersFailed;
    if (!InitIndirectRegisters(engine)) return status::InitIndirectRegistersFailed;
    engine.device.ReadAllRegisters();
    if (!AllocateEngineBuffers(engine)) return status::EngineBuffersFailed;
    if (!engine.device.SetRegisterField(0x60, 0, 0, 1)) return status::Register60Failed;

    uint8_t position = 0;
    const bool found = LoadFauSettings(position);
    platform::SharedState().FAUScanPosition = (found && (position == 2 || position == 3)) ? position : 3;
    return status::Ok;
}

}  // namespace zrt
