// Starting a controller job from its registers, running it in virtual time
// and capturing its plane rows into the image buffer.
#include <algorithm>

#include "sim/virtual_scanner.h"

namespace zrt::sim {
namespace {

// Word addresses by memory layout (register 0x01 bits 2-1).
constexpr uint32_t kMotorTableBase[2] = {0x030000, 0x076000};
constexpr uint32_t kMotorTableSpacing = 0x200;
constexpr uint32_t kShadingBase[2][4] = {{0x000000, 0x00B000, 0x016000, 0x021000},
                                         {0x000000, 0x020000, 0x040000, 0x060000}};
// Image buffer above the tables (registers 0x04-0x06 of each layout).
constexpr uint32_t kImageBase[2] = {0x0C0000, 0x080000};

}  // namespace

JobProgram VirtualScanner::jobProgram() const {
    int layout = (registers_.get(0x01) >> 1) & 1;
    uint32_t shift = std::min<uint32_t>(registers_.get(0x18), 16);
    auto table = [&](int index, uint32_t length) {
        std::vector<uint32_t> periods;
        uint32_t base = kMotorTableBase[layout] + kMotorTableSpacing * uint32_t(index);
        for (uint32_t i = 0; i < length; ++i) periods.push_back(uint32_t(memory_.tableWord(base + i)) << shift);
        return periods;
    };
    JobProgram p;
    p.accel = table(0, uint32_t(registers_.get(0x12)) * 2);
    p.decel = table(2, uint32_t(registers_.get(0x21)) * 2);
    // The constant speed is where the ramps end: tables 2 and 4 both ramp
    // to it; table 4 adds no distance of its own.
    std::vector<uint32_t> table4 = table(4, uint32_t(registers_.get(0x20)) * 2);
    if (!p.decel.empty()) p.stepPeriod = p.decel.back();
    else if (!table4.empty()) p.stepPeriod = table4.back();
    else if (!p.accel.empty()) p.stepPeriod = p.accel.back();
    p.feedSteps = registers_.triple(0x1D);
    p.rows = registers_.triple(0x66);
    p.linePeriod = registers_.triple(0x61);
    p.hold = registers_.bit(0x10, 4);
    p.reverse = registers_.bit(0x11, 2) != registers_.bit(0x10, 3);
    p.homeStop = registers_.bit(0x11, 5);
    p.shifter = registers_.bit(0x9B, 0);
    return p;
}

VirtualScanner::CaptureConfig VirtualScanner::captureConfig() const {
    CaptureConfig c;
    int layout = (registers_.get(0x01) >> 1) & 1;
    uint8_t mask = registers_.get(0x51) & 0x0F;
    for (int ch = 0; ch < 4; ++ch)
        if (mask & (1 << ch)) c.channels.push_back(ch);
    if (c.channels.empty()) c.channels.push_back(1);
    uint32_t linePeriod = std::max<uint32_t>(1, registers_.triple(0x61));
    for (int ch = 0; ch < 4; ++ch) {
        // The lamp cannot stay on longer than the line.
        c.exposure[size_t(ch)] = std::min<double>(registers_.pair(uint8_t(0x52 + 2 * ch)), linePeriod);
        c.shadingBase[size_t(ch)] = kShadingBase[layout][ch];
    }
    RowReadout& r = c.readout;
    uint8_t r07 = registers_.get(0x07);
    r.start = (uint32_t(r07 & 0x03) << 16) | registers_.pair(0x08);
    r.end = (uint32_t((r07 >> 2) & 0x03) << 16) | registers_.pair(0x0A);
    r.reduction = 1 << (registers_.get(0xB0) & 0x07);
    r.shading = registers_.bit(0xB0, 3);
    r.eightBit = registers_.bit(0x01, 0);
    r.resolution = sensorResolution_;
    r.modeShift = sensorShift_;
    r.filmLamp = registers_.bit(0x90, 0);   // control line 5
    size_t samples = r.end >= r.start ? (size_t(r.end) - r.start + 1) / size_t(r.reduction) : 0;
    c.rowBytes = samples * (r.eightBit ? 1 : 2);
    return c;
}

void VirtualScanner::startJob() {
    int layout = (registers_.get(0x01) >> 1) & 1;
    memory_.clearImage();
    memory_.setImageCapacity(size_t(kTableMemoryWords - kImageBase[layout]) * 2);
    capture_ = captureConfig();
    job_.start(jobProgram());
}

void VirtualScanner::captureRow(uint32_t row, double carriageUnits) {
    const FaultOptions& f = faults_.options();
    RowReadout r = capture_.readout;
    size_t plane = row % capture_.channels.size();
    r.channel = capture_.channels[plane];
    r.y = carriageUnits - kGlassOriginSteps * 4;
    r.exposure = capture_.exposure[size_t(r.channel)];
    bool off = r.filmLamp ? f.filmLampDead : f.lampOff;
    if (off) r.darkBelowX = 1e9;
    else if (!r.filmLamp && f.lampDead) r.darkBelowX = kDeadLampSegmentEnd;
    r.filmSteps = filmMotor_.position();
    r.shadingBase = capture_.shadingBase[size_t(r.channel)];
    r.gammaTable = r.channel < 3 ? r.channel : -1;
    rowBuffer_.clear();
    sensor_.readRow(r, memory_, rowBuffer_);
    memory_.pushImage(rowBuffer_.data(), rowBuffer_.size());
}

void VirtualScanner::advanceNs(uint64_t ns) {
    nowNs_ += ns;
    filmMotor_.advance(ns);
    if (!job_.active()) return;
    size_t rowBytes = capture_.rowBytes;
    job_.advance(
        ns, carriage_, [&] { return memory_.imageFree() >= rowBytes; },
        [&](uint32_t row, double units) { captureRow(row, units); });
}

}  // namespace zrt::sim
