// The carriage and its drive. Position in 1/4800 inch from the home sensor;
// a motor step moves it 4 units (1/1200 inch), or 1 unit while the
// high-resolution drive is engaged. While control line 13 is raised the motor
// works the drive's shifter instead of the carriage: about 200 steps forward
// engage it, as many backward release it.
#pragma once

namespace zrt::sim {

constexpr double kTravelSteps = 14032;
constexpr double kTravelUnits = kTravelSteps * 4;
constexpr int kShifterTravel = 220;
constexpr int kShifterEngaged = 200;
constexpr int kShifterReleased = 10;

class Carriage {
public:
    double units() const { return units_; }
    double steps() const { return units_ / 4; }
    void setUnits(double units);
    bool atHome() const { return units_ <= 0.0; }
    bool highResEngaged() const { return engaged_; }

    // One motor step; `shifter` routes it to the high-resolution drive.
    void step(bool forward, bool shifter);
    // A fraction of steps of continuous travel (during capture).
    void travel(double steps, bool forward);

private:
    double units_ = 0;
    int shifter_ = 0;
    bool engaged_ = false;
};

}  // namespace zrt::sim
