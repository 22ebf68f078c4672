// One controller job from start to end: the acceleration ramp (motor table
// 0), the feed at the constant step period (the last entry of table 2, or of
// table 4), the capture of its plane rows at the line period while the
// carriage keeps moving, and the deceleration ramp (motor table 2 backwards).
// A job with "hold" set captures without moving. The ramps add to the feed:
// the engine subtracts their lengths when it plans a distance.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "sim/carriage.h"

namespace zrt::sim {

// Controller clock: 10 MHz, 100 ns a unit.
constexpr uint64_t kNsPerClock = 100;

struct JobProgram {
    std::vector<uint32_t> accel;   // step periods in clock units
    std::vector<uint32_t> decel;
    uint32_t feedSteps = 0;
    uint32_t stepPeriod = 1;       // constant speed, clock units a step
    uint32_t rows = 0;
    uint32_t linePeriod = 1;       // clock units a plane row
    bool hold = false;             // register 0x10 bit 4: no carriage movement
    bool reverse = false;
    bool homeStop = false;
    bool shifter = false;          // control line 13 raised
};

class ScanJob {
public:
    // Called when a row is to begin: false stalls the job (buffer full).
    using RoomForRow = std::function<bool()>;
    // Called when a row has been exposed, with the carriage's mean position.
    using RowDone = std::function<void(uint32_t row, double carriageUnits)>;

    void start(const JobProgram& program);
    void stop() { phase_ = Phase::Idle; }
    bool active() const { return phase_ != Phase::Idle; }
    bool motorRunning() const;
    bool captureComplete() const { return captureComplete_; }
    uint32_t rowsLeft() const { return active() ? program_.rows - rowsDone_ : 0; }

    void advance(uint64_t ns, Carriage& carriage, const RoomForRow& room, const RowDone& done);

private:
    enum class Phase { Idle, Accel, Feed, Capture, Decel };
    uint64_t unitNs() const;
    bool finishUnit(Carriage& carriage, const RowDone& done);
    void nextPhase();
    bool homeReached(const Carriage& carriage) const;

    JobProgram program_;
    Phase phase_ = Phase::Idle;
    uint32_t index_ = 0;           // step or row within the phase
    uint32_t rowsDone_ = 0;
    uint64_t progressNs_ = 0;
    bool captureComplete_ = false;
};

}  // namespace zrt::sim
