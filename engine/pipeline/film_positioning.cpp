#include "engine/pipeline/film_positioning.h"

#include <bit>
#include <cstdlib>

#include "engine/motion/carriage_motion.h"
#include "engine/pipeline/reader_thread.h"
#include "platform/clock.h"

namespace zrt {
namespace {

// Film motor steps per 1/4800 inch: the double just below 79.375 / 4800;
// the positions the film holders were aligned with depend on its rounding.
constexpr double kStepsPerUnit = std::bit_cast<double>(uint64_t{0x3F90EEEEEEEEEEEE});
constexpr int32_t kFilmTop = 9222;
constexpr int32_t kMaxTarget = 597;

StatusCode ForwardProcedure(ScannerEngine& engine, const FilmTarget& f) {
    MoveFilmAdapter(engine, 0, 1);
    platform::SleepMs(1000);
    uint32_t reached = 0;
    int32_t direction = 1;
    int32_t move = f.firstMove;
    for (int attempt = 0; attempt < 2; ++attempt) {
        StatusCode st = MoveFilmAdapter(engine, move, direction);
        if (st != status::Ok) {
            return st;
        }
        uint16_t counter = 0;
        if (!engine.device.ReadRegisterPair(0xC8, counter)) {
            return status::FilmPositionReadFailed;
        }
        reached += counter;
        int32_t d = f.target - int32_t(reached % 65536);
        if (d == 0 || attempt == 1) {
            return status::Ok;
        }
        direction = d <= 0 ? 2 : 1;
        move = d;
        platform::SleepMs(500);
    }
    return status::Ok;
}

StatusCode BackwardProcedure(ScannerEngine& engine, const FilmTarget& f) {
    MoveFilmAdapter(engine, 0, 1);
    platform::SleepMs(1000);
    StatusCode st = MoveFilmAdapter(engine, f.firstMove, 2);
    if (st != status::Ok) {
        return st;
    }
    uint16_t counter = 0;
    if (!engine.device.ReadRegisterPair(0xC8, counter)) {
        return status::FilmPositionReadFailed;
    }
    if (static_cast<int16_t>(counter) != f.target) {
        platform::SleepMs(500);
    }
    return status::Ok;
}

}  // namespace

FilmTarget ComputeFilmTarget(uint32_t originY) {
    FilmTarget f;
    f.k = static_cast<int32_t>(double(int64_t{originY} - kFilmTop) * kStepsPerUnit);
    if (f.k < 3) {
        f.target = -6;
        f.firstMove = 65532;
        return f;
    }
    int32_t t = f.k - 9;
    f.target = t;
    if (t > kMaxTarget) {
        f.target = 596;
        f.firstMove = 591;
        f.forward = true;
    } else if (t >= 1) {
        f.firstMove = t - StepCompensation(t);
        f.forward = true;
    } else if (t == 0) {
        f.homeOnly = true;
    } else if (t >= -2) {
        f.firstMove = 65536 + t;
    } else if (t == -3) {
        f.firstMove = 65534;
    } else {
        f.firstMove = 65536 - std::abs(t + 2);
    }
    return f;
}

StatusCode PositionFilm(ScannerEngine& engine) {
    FilmTarget f = ComputeFilmTarget(engine.config.OriginY);
    if (f.homeOnly) {
        MoveFilmAdapter(engine, 0, 1);
        platform::SleepMs(1000);
        return status::Ok;
    }
    return f.forward ? ForwardProcedure(engine, f) : BackwardProcedure(engine, f);
}

}  // namespace zrt
