#include "sim/scene.h"

#include "sim/test_chart.h"

namespace zrt::sim {

Scene::Scene(const SimOptions& options)
    : strip_(BuiltInFilmStrip(options)),
      adapterPresent_(options.film != FilmKind::None),
      guideMissing_(options.faults.guideMissing) {}

double Scene::reflectance(double x, double y, int channel) const {
    if (y < 0) {
        double steps = kGlassOriginSteps + y / 4;
        bool mark = steps >= kDarkMarkStartSteps && steps < kDarkMarkEndSteps;
        return mark ? kMark : kBacking;
    }
    double guide = 0;
    if (adapterPresent_ && guideAt(x, y, guide)) return guide;
    return documentAt(x, y, channel);
}

bool Scene::guideAt(double x, double y, double& value) const {
    if (y < kGuideTop || y >= kGuideBottom || x < kGuideLeft || x >= kGuideLeft + 4 * kGuideColumn) return false;
    if (guideMissing_) {
        value = 0.5;
        return true;
    }
    int column = int((x - kGuideLeft) / kGuideColumn);
    int band = y < kGuideMiddle ? 0 : 1;
    value = (column % 2) != band ? kBacking : kMark;
    return true;
}

double Scene::documentAt(double x, double y, int channel) const {
    if (!image_) return ChartReflectance(x, y, channel);
    long px = long(x * image_->dpiX / 4800.0);
    long py = long(y * image_->dpiY / 4800.0);
    if (x < 0 || px >= image_->width || py >= image_->height) return kBacking;
    int c = image_->channels == 3 ? (channel < 3 ? channel : 0) : 0;
    size_t index = (size_t(py) * size_t(image_->width) + size_t(px)) * size_t(image_->channels) + size_t(c);
    return image_->samples[index] / 65535.0;
}

double Scene::transmission(double x, double y, int channel, double filmSteps) const {
    if (!adapterPresent_) return 0;
    double bandTop = kLampBandTopAtHome + filmSteps * 4800.0 / kFilmStepsPerInch;
    if (y < bandTop || y >= bandTop + kLampBandHeight) return 0;
    if (x < strip_.filmAreaLeft - 300 || x >= strip_.filmAreaLeft + kFilmAreaWidth + 300) return 0;
    if (strip_.present && strip_.strip.contains(x, y)) return StripTransmission(strip_, x, y, channel);
    return 1.0;
}

}  // namespace zrt::sim
