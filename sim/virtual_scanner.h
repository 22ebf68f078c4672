// The virtual scanner: a model of the scanner's controller that answers the
// wire protocol (register, memory and image-data frames) in virtual time,
// with a carriage, a film adapter, a sensor and a scene on the glass.
//
// Tests reach it either by creating one and handing it to
// CreateSimTransport(model), or through LastOpenedScanner() after the engine
// opened the device path "sim" or "sim:key=value,...".
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/carriage.h"
#include "sim/controller_memory.h"
#include "sim/faults.h"
#include "sim/film_motor.h"
#include "sim/register_file.h"
#include "sim/scan_job.h"
#include "sim/scene.h"
#include "sim/sensor.h"
#include "sim/sim_options.h"
#include "sim/virtual_clock.h"

namespace zrt::sim {

class VirtualScanner {
public:
    explicit VirtualScanner(const SimOptions& options = SimOptions());
    ~VirtualScanner();
    VirtualScanner(const VirtualScanner&) = delete;
    VirtualScanner& operator=(const VirtualScanner&) = delete;

    // --- Connection (used by the transport) ------------------------------
    // Loads the scene file, installs the virtual clock. False when the model
    // is already connected or the scene cannot be loaded.
    bool connect(std::string& error);
    void disconnect();
    bool connected() const;
    bool deviceDescriptor(uint8_t descriptor[18]);
    bool deviceSummary(uint8_t summary[8]);
    bool bulkWrite(const uint8_t* data, size_t count, size_t& written);
    bool bulkRead(uint8_t* buffer, size_t count, size_t& read);

    // --- Virtual time -----------------------------------------------------
    uint64_t nowUs() const;
    void advanceMs(uint32_t ms);
    platform::ClockSource& clock() { return clock_; }

    // --- State, for tests ---------------------------------------------------
    const SimOptions& options() const { return options_; }
    double carriageSteps() const;             // 1/1200 inch from the home sensor
    void setCarriageSteps(double steps);
    bool highResDriveEngaged() const;
    int filmMotorSteps() const;
    void setFilmMotorSteps(int steps);
    bool jobRunning() const;
    uint8_t peekRegister(uint8_t reg) const;  // what a read answers, without a transfer
    uint8_t writtenRegister(uint8_t reg) const;
    uint8_t writtenHighRegister(uint8_t reg) const;
    uint16_t tableMemoryWord(uint32_t wordAddress) const;
    size_t imageBytesWaiting() const;
    uint64_t transferCount() const;           // bulk writes and reads since connect
    const FilmStripGeometry& filmStrip() const { return scene_.strip(); }
    const Scene& scene() const { return scene_; }

    // --- Buttons --------------------------------------------------------------
    void setButtonBits(uint8_t bits);         // register 0x91 bits 0-3, as wired
    void pressButton(int button);             // 1-7, in the decoding of the engine
    void releaseButtons() { setButtonBits(0); }

    // --- Faults ----------------------------------------------------------------
    void failTransferAt(uint64_t n);          // counted like transferCount(), from 1
    void failTransfersFrom(uint64_t n);
    void failRegisterWrites(uint32_t reg);    // 0x100-0x1FF: high registers
    void pinRegister(uint8_t reg, uint8_t value);
    void unpinRegister(uint8_t reg);
    void setBusy(bool busy);
    void unplugAfterImageBytes(uint64_t bytes);
    void unplug();
    void replug();
    void clearFaults();
    void setLampDead(bool dead);              // dead over the left of the line
    void setLampOff(bool off);                // no light at all
    void setFilmLampDead(bool dead);
    void setSensorLeak(bool leak);
    void setGuideMissing(bool missing);
    void setFilmMotorStuck(bool stuck);

private:
    struct CaptureConfig {
        std::vector<int> channels;
        RowReadout readout;
        std::array<double, 4> exposure{};
        std::array<uint32_t, 4> shadingBase{};
        size_t rowBytes = 0;
    };

    // Frames (virtual_scanner_frames.cpp).
    bool handleFrame(const uint8_t* data, size_t count);
    bool dataWrite(const uint8_t* data, size_t count);
    bool dataRead(const uint8_t* data, size_t count);
    void chargeTransfer(size_t bytes);

    // Registers (virtual_scanner_registers.cpp).
    uint8_t readRegister(uint8_t reg) const;
    void writeRegister(uint8_t reg, uint8_t value);
    void writeFilmMotorControl();
    void trackSensorMode(uint8_t reg, uint8_t value);
    void resetController();

    // Jobs and capture (virtual_scanner_jobs.cpp).
    void startJob();
    JobProgram jobProgram() const;
    CaptureConfig captureConfig() const;
    void captureRow(uint32_t row, double carriageUnits);
    void advanceNs(uint64_t ns);

    SimOptions options_;
    mutable std::mutex mutex_;
    VirtualClock clock_;
    FaultState faults_;
    RegisterFile registers_;
    ControllerMemory memory_;
    Scene scene_;
    Sensor sensor_;
    Carriage carriage_;
    ScanJob job_;
    FilmMotor filmMotor_;
    CaptureConfig capture_;

    std::shared_ptr<const Image> image_;
    bool connected_ = false;
    uint64_t nowNs_ = 0;
    std::vector<uint8_t> pending_;      // answer waiting for the next bulk read
    std::vector<uint8_t> rowBuffer_;
    uint32_t accessOffset_ = 0;         // bytes moved since the last memory set-up
    uint64_t indirectBusyUntilNs_ = 0;
    uint8_t buttons_ = 0;
    int modePulses_ = 0;                // line 14 pulses while line 9 is low
    int sensorResolution_ = 600;
    int sensorShift_ = 0;
};

}  // namespace zrt::sim
