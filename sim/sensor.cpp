#include "sim/sensor.h"

#include <algorithm>
#include <cmath>

namespace zrt::sim {
namespace {

uint64_t Next(uint64_t& s) {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return s;
}

double Uniform(uint64_t& s) { return double(Next(s) >> 11) / double(1ull << 53); }

uint16_t Clamp16(double v) {
    if (v <= 0) return 0;
    if (v >= 65535) return 65535;
    return uint16_t(v);
}

}  // namespace

Sensor::Sensor(const SimOptions& options, const Scene& scene)
    : scene_(scene),
      gain_(kSensorElements),
      dark_(kSensorElements),
      rng_(options.seed * 0x2545F4914F6CDD1Dull + 0x9E3779B97F4A7C15ull),
      noiseScale_(options.noise),
      leak_(options.faults.sensorLeak) {
    if (rng_ == 0) rng_ = 1;
    uint64_t spreadRng = rng_ ^ 0x5DEECE66Dull;
    double spread = options.spreadPercent / 100.0;
    for (int e = 0; e < kSensorElements; ++e) {
        gain_[e] = float(1.0 + spread * (2 * Uniform(spreadRng) - 1));
        dark_[e] = float(kDarkLevel * (1.0 + spread * (2 * Uniform(spreadRng) - 1)));
    }
}

int Sensor::windowStart(int resolution) {
    if (resolution <= 600) return 388;
    if (resolution <= 1200) return 389;
    return 556;
}

const Sensor::ModeTable& Sensor::mode(int resolution, int shift) {
    auto key = std::make_pair(resolution, shift);
    auto found = modes_.find(key);
    if (found != modes_.end()) return found->second;
    ModeTable table;
    int step = 4800 / resolution;
    int start = windowStart(resolution);
    int pixels = start + kSensorElements / step + 16;
    table.gain.assign(size_t(pixels), 0.f);
    table.dark.assign(size_t(pixels), float(kDarkLevel));
    table.x.assign(size_t(pixels), -1e9f);
    for (int q = start; q < pixels; ++q) {
        int e0 = (q - start) * step + shift;
        double g = 0, d = 0;
        int n = 0;
        for (int e = e0; e < e0 + step && e < kSensorElements; ++e, ++n) {
            g += gain_[size_t(e)];
            d += dark_[size_t(e)];
        }
        if (n == 0) continue;
        table.gain[size_t(q)] = float(g / step);
        table.dark[size_t(q)] = float(d / n);
        table.x[size_t(q)] = float(e0 + step / 2.0 - kLeadInElements);
    }
    return modes_.emplace(key, std::move(table)).first->second;
}

double Sensor::noise(double signal) {
    if (noiseScale_ <= 0) return 0;
    double sigma = (24 + 0.002 * signal) * noiseScale_;
    double sum = Uniform(rng_) + Uniform(rng_) + Uniform(rng_) - 1.5;   // variance 1/4
    return 2 * sigma * sum;
}

void Sensor::readRow(const RowReadout& r, const ControllerMemory& memory, std::vector<uint8_t>& out) {
    const ModeTable& m = mode(r.resolution, r.modeShift);
    const double* lamp = r.filmLamp ? kFilmLamp : kDocumentLamp;
    double light = lamp[r.channel] * r.exposure;
    double darkExtra = leak_ ? kLeakingDarkLevel - kDarkLevel : 0;
    int reduction = std::max(1, r.reduction);
    uint64_t samples = r.end >= r.start ? (uint64_t(r.end) - r.start + 1) / uint64_t(reduction) : 0;
    for (uint64_t s = 0; s < samples; ++s) {
        double sum = 0;
        for (int k = 0; k < reduction; ++k) {
            uint32_t q = r.start + uint32_t(s * uint64_t(reduction)) + uint32_t(k);
            double raw = kDarkLevel;
            if (q < m.gain.size()) {
                double x = m.x[q];
                double scene = r.filmLamp ? scene_.transmission(x, r.y, r.channel, r.filmSteps)
                                          : scene_.reflectance(x, r.y, r.channel);
                double signal = x < r.darkBelowX ? 0.0 : light * m.gain[q] * scene;
                raw = m.dark[q] + darkExtra + signal;
                raw += noise(signal);
            }
            double value = Clamp16(raw);
            if (r.shading) {
                int16_t offset = int16_t(memory.tableWord(r.shadingBase + 2 * q));
                uint16_t gain = memory.tableWord(r.shadingBase + 2 * q + 1);
                int64_t corrected = ((int64_t(value) + offset) * gain) >> 14;
                value = double(std::clamp<int64_t>(corrected, 0, 65535));
            }
            sum += value;
        }
        uint16_t sample = uint16_t(sum / reduction);
        if (r.eightBit) {
            uint8_t high = uint8_t(sample >> 8);
            out.push_back(r.gammaTable < 0 ? high : memory.gammaByte(uint32_t(r.gammaTable) * 0x200 + high));
        } else {
            out.push_back(uint8_t(sample & 0xFF));
            out.push_back(uint8_t(sample >> 8));
        }
    }
}

}  // namespace zrt::sim
