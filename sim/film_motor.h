// The film adapter's own motor (registers 0xC0-0xC9). It carries the
// adapter's lamp along the film area, 79.375 steps an inch. Position in steps
// from the home sensor, which is active at position 0 and below. A counted
// move coasts a few steps past its count, more for longer moves; the
// position counter (0xC8-0xC9) tells how far the last move went, as a 16-bit
// two's complement value.
#pragma once

#include <cstdint>

namespace zrt::sim {

constexpr uint64_t kFilmStepNs = 2'000'000;   // 500 steps a second
constexpr int kFilmMinSteps = -12;
constexpr int kFilmMaxSteps = 720;

class FilmMotor {
public:
    int position() const { return position_; }
    void setPosition(int steps) { position_ = steps; }
    bool atHome() const { return position_ <= 0; }
    bool moving() const { return moving_; }
    uint16_t counter() const { return uint16_t(counter_); }
    void setStuck(bool stuck) { stuck_ = stuck; }

    // Starts a homing run (towards the sensor) or a counted move.
    void startHoming();
    void startMove(uint16_t count, bool forward);
    void stop() { moving_ = false; }
    void advance(uint64_t ns);

    // The coasting of a counted move of `steps`.
    static int Overshoot(int steps);

private:
    void stepOnce();

    int position_ = 0;
    int16_t counter_ = 0;
    int remaining_ = 0;
    bool forward_ = true;
    bool homing_ = false;
    bool moving_ = false;
    bool stuck_ = false;
    uint64_t progressNs_ = 0;
};

}  // namespace zrt::sim
