#include "sim/scan_job.h"

namespace zrt::sim {

void ScanJob::start(const JobProgram& program) {
    program_ = program;
    if (program_.stepPeriod == 0) program_.stepPeriod = 1;
    if (program_.linePeriod == 0) program_.linePeriod = 1;
    index_ = 0;
    rowsDone_ = 0;
    progressNs_ = 0;
    captureComplete_ = false;
    phase_ = Phase::Accel;
    if (program_.hold) phase_ = Phase::Capture;
    if (phase_ == Phase::Accel && program_.accel.empty()) nextPhase();
    if (phase_ == Phase::Capture && program_.rows == 0) nextPhase();
}

bool ScanJob::motorRunning() const {
    if (phase_ == Phase::Idle) return false;
    return !(phase_ == Phase::Capture && program_.hold);
}

uint64_t ScanJob::unitNs() const {
    uint64_t clocks = 1;
    switch (phase_) {
    case Phase::Accel: clocks = program_.accel[index_]; break;
    case Phase::Feed: clocks = program_.stepPeriod; break;
    case Phase::Capture: clocks = program_.linePeriod; break;
    case Phase::Decel: clocks = program_.decel[program_.decel.size() - 1 - index_]; break;
    case Phase::Idle: break;
    }
    // A zero period in a garbled table still takes time, so a job always ends.
    return (clocks == 0 ? 1 : clocks) * kNsPerClock;
}

void ScanJob::nextPhase() {
    index_ = 0;
    progressNs_ = 0;
    while (true) {
        switch (phase_) {
        case Phase::Accel: phase_ = Phase::Feed; if (program_.feedSteps > 0) return; break;
        case Phase::Feed: phase_ = Phase::Capture; if (program_.rows > 0) return; break;
        case Phase::Capture:
            captureComplete_ = true;
            if (program_.hold) { phase_ = Phase::Idle; return; }
            phase_ = Phase::Decel;
            if (!program_.decel.empty()) return;
            break;
        case Phase::Decel: phase_ = Phase::Idle; return;
        case Phase::Idle: return;
        }
    }
}

bool ScanJob::homeReached(const Carriage& carriage) const {
    return program_.homeStop && !program_.shifter && carriage.atHome();
}

// Completes the current step or row; false when the job ended on it.
bool ScanJob::finishUnit(Carriage& carriage, const RowDone& done) {
    bool forward = !program_.reverse;
    if (phase_ == Phase::Capture) {
        double before = carriage.units();
        if (!program_.hold && !program_.shifter)
            carriage.travel(double(program_.linePeriod) / program_.stepPeriod, forward);
        done(rowsDone_, (before + carriage.units()) / 2);
        ++rowsDone_;
    } else {
        carriage.step(forward, program_.shifter);
    }
    if (homeReached(carriage)) {
        phase_ = Phase::Idle;
        return false;
    }
    ++index_;
    progressNs_ = 0;
    uint32_t units = 0;
    switch (phase_) {
    case Phase::Accel: units = uint32_t(program_.accel.size()); break;
    case Phase::Feed: units = program_.feedSteps; break;
    case Phase::Capture: units = program_.rows; break;
    case Phase::Decel: units = uint32_t(program_.decel.size()); break;
    case Phase::Idle: break;
    }
    if (index_ >= units) nextPhase();
    return phase_ != Phase::Idle;
}

void ScanJob::advance(uint64_t ns, Carriage& carriage, const RoomForRow& room, const RowDone& done) {
    while (ns > 0 && phase_ != Phase::Idle) {
        if (phase_ == Phase::Capture && progressNs_ == 0 && !room()) return;   // stalled on a full buffer
        uint64_t need = unitNs() - progressNs_;
        if (ns < need) {
            progressNs_ += ns;
            return;
        }
        ns -= need;
        if (!finishUnit(carriage, done)) return;
    }
}

}  // namespace zrt::sim
