// What lies on and above the glass. Coordinates in 1/4800 inch: x from the
// document x origin (2 mm into the sensor), y from the glass origin; the
// region between the home position and the origin has negative y.
//
// Placement along the carriage travel (motor steps of 1/1200 inch from the
// home sensor):
//   0 - 1346      white lid backing (calibration measures at about 1052-1272)
//   1346 - 1394   dark reference mark across the whole width
//   1394 - 1495   white lid backing
//   1495          glass origin: document y = 0
#pragma once

#include <memory>

#include "sim/film_strip.h"
#include "sim/scene_loader.h"
#include "sim/sim_options.h"

namespace zrt::sim {

constexpr double kGlassOriginSteps = 1495;
constexpr double kDarkMarkStartSteps = 1346;
constexpr double kDarkMarkEndSteps = 1394;
constexpr double kBacking = 0.90;
constexpr double kMark = 0.03;

// The film-guide plates of the adapter (y 2000-5200, x 8960-16000): four
// columns, bright where the band and the column index differ in parity.
constexpr double kGuideTop = 2000, kGuideMiddle = 3600, kGuideBottom = 5200;
constexpr double kGuideLeft = 8960, kGuideColumn = 1760;

// The film lamp lights a band that rides the film adapter motor.
constexpr double kFilmStepsPerInch = 79.375;
constexpr double kLampBandTopAtHome = 8500;
constexpr double kLampBandHeight = 10400;

class Scene {
public:
    explicit Scene(const SimOptions& options);
    void setImage(std::shared_ptr<const Image> image) { image_ = std::move(image); }
    void setGuideMissing(bool missing) { guideMissing_ = missing; }

    // Under the document lamp.
    double reflectance(double x, double y, int channel) const;
    // Under the film lamp, with the film motor at `filmSteps`.
    double transmission(double x, double y, int channel, double filmSteps) const;

    const FilmStripGeometry& strip() const { return strip_; }
    bool adapterPresent() const { return adapterPresent_; }

private:
    double documentAt(double x, double y, int channel) const;
    bool guideAt(double x, double y, double& value) const;

    FilmStripGeometry strip_;
    std::shared_ptr<const Image> image_;
    bool adapterPresent_ = true;
    bool guideMissing_ = false;
};

}  // namespace zrt::sim
