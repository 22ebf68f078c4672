#include "sim/carriage.h"

#include <algorithm>

namespace zrt::sim {

void Carriage::setUnits(double units) { units_ = std::clamp(units, 0.0, kTravelUnits); }

void Carriage::step(bool forward, bool shifter) {
    if (!shifter) {
        travel(1, forward);
        return;
    }
    shifter_ = std::clamp(shifter_ + (forward ? 1 : -1), 0, kShifterTravel);
    if (shifter_ >= kShifterEngaged) engaged_ = true;
    if (shifter_ <= kShifterReleased) engaged_ = false;
}

void Carriage::travel(double steps, bool forward) {
    double units = steps * (engaged_ ? 1.0 : 4.0);
    setUnits(units_ + (forward ? units : -units));
}

}  // namespace zrt::sim
