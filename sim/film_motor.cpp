#include "sim/film_motor.h"

namespace zrt::sim {

int FilmMotor::Overshoot(int steps) {
    if (steps <= 2) return 0;
    if (steps == 3) return 1;
    if (steps <= 7) return 2;
    if (steps <= 12) return 3;
    if (steps <= 35) return 4;
    return 5;
}

void FilmMotor::startHoming() {
    counter_ = 0;
    progressNs_ = 0;
    homing_ = true;
    forward_ = false;
    moving_ = !atHome();
}

void FilmMotor::startMove(uint16_t count, bool forward) {
    // The count is a 16-bit two's complement value; its size is the distance.
    int magnitude = int16_t(count) < 0 ? -int(int16_t(count)) : int(count);
    counter_ = 0;
    progressNs_ = 0;
    homing_ = false;
    forward_ = forward;
    remaining_ = magnitude + Overshoot(magnitude);
    moving_ = remaining_ > 0;
}

void FilmMotor::stepOnce() {
    if (stuck_) return;
    int next = position_ + (forward_ ? 1 : -1);
    if (next < kFilmMinSteps || next > kFilmMaxSteps) return;   // end stop
    position_ = next;
    counter_ = int16_t(counter_ + (forward_ ? 1 : -1));
}

void FilmMotor::advance(uint64_t ns) {
    while (moving_ && ns > 0) {
        uint64_t need = kFilmStepNs - progressNs_;
        if (ns < need) {
            progressNs_ += ns;
            return;
        }
        ns -= need;
        progressNs_ = 0;
        stepOnce();
        if (homing_) {
            if (atHome()) moving_ = false;
        } else if (--remaining_ <= 0) {
            moving_ = false;
        }
    }
}

}  // namespace zrt::sim
