#include "sim/virtual_scanner.h"

#include <algorithm>
#include <cstring>

#include "sim/scene_loader.h"

namespace zrt::sim {

VirtualScanner::VirtualScanner(const SimOptions& options)
    : options_(options),
      clock_([this](uint32_t ms) { advanceMs(ms); }, [this] { return nowUs() / 1000; }),
      faults_(options.faults),
      scene_(options),
      sensor_(options, scene_) {
    filmMotor_.setStuck(options.faults.filmMotorStuck);
    rowBuffer_.reserve(1 << 17);
}

VirtualScanner::~VirtualScanner() { disconnect(); }

bool VirtualScanner::connect(std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (connected_) {
        error = "the virtual scanner is in use";
        return false;
    }
    if (!options_.sceneFile.empty() && !image_) {
        Image image;
        if (!LoadSceneFile(options_.sceneFile, image)) {
            error = "cannot load the scene " + options_.sceneFile;
            return false;
        }
        image_ = std::make_shared<const Image>(std::move(image));
        scene_.setImage(image_);
    }
    connected_ = true;
    faults_.resetCount();
    pending_.clear();
    platform::InstallClock(&clock_);
    return true;
}

void VirtualScanner::disconnect() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!connected_) return;
    connected_ = false;
    pending_.clear();
    if (platform::InstalledClock() == &clock_) platform::InstallClock(nullptr);
}

bool VirtualScanner::connected() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connected_;
}

bool VirtualScanner::deviceDescriptor(uint8_t d[18]) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!connected_ || faults_.unplugged()) return false;
    uint16_t bcdUsb = options_.usb == 2 ? 0x0200 : 0x0110;
    const uint8_t bytes[18] = {18, 1, uint8_t(bcdUsb), uint8_t(bcdUsb >> 8), 0xFF, 0, 0, 64,
                               uint8_t(options_.vendorId), uint8_t(options_.vendorId >> 8),
                               uint8_t(options_.productId), uint8_t(options_.productId >> 8),
                               0x00, 0x01, 1, 2, 0, 1};
    std::memcpy(d, bytes, 18);
    return true;
}

bool VirtualScanner::deviceSummary(uint8_t s[8]) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!connected_ || faults_.unplugged()) return false;
    const uint8_t bytes[8] = {uint8_t(options_.vendorId), uint8_t(options_.vendorId >> 8),
                              uint8_t(options_.productId), uint8_t(options_.productId >> 8),
                              0x00, 0x01, 0x09, 0x04};
    std::memcpy(s, bytes, 8);
    return true;
}

bool VirtualScanner::bulkWrite(const uint8_t* data, size_t count, size_t& written) {
    std::lock_guard<std::mutex> lock(mutex_);
    written = 0;
    pending_.clear();   // the device answers only the latest request
    faults_.applyDueUnplug();
    if (!connected_ || faults_.nextTransferFails()) return false;
    chargeTransfer(count);
    if (data == nullptr || !handleFrame(data, count)) return false;
    written = count;
    return true;
}

bool VirtualScanner::bulkRead(uint8_t* buffer, size_t count, size_t& read) {
    std::lock_guard<std::mutex> lock(mutex_);
    read = 0;
    if (!connected_ || faults_.nextTransferFails()) {
        pending_.clear();
        return false;
    }
    if (pending_.empty() || buffer == nullptr || count == 0) return false;
    size_t n = std::min(count, pending_.size());
    std::memcpy(buffer, pending_.data(), n);
    pending_.erase(pending_.begin(), pending_.begin() + long(n));
    chargeTransfer(n);
    read = n;
    if (pending_.empty()) faults_.applyDueUnplug();
    return true;
}

void VirtualScanner::chargeTransfer(size_t bytes) {
    // A transfer takes a bus frame plus the time its bytes need on the wire.
    uint64_t frameNs = options_.usb == 2 ? 125'000 : 1'000'000;
    uint64_t perByteNs = options_.usb == 2 ? 33 : 1000;
    advanceNs(frameNs + perByteNs * bytes);
}

uint64_t VirtualScanner::nowUs() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return nowNs_ / 1000;
}

void VirtualScanner::advanceMs(uint32_t ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    advanceNs(uint64_t(ms) * 1'000'000);
}

double VirtualScanner::carriageSteps() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return carriage_.steps();
}

void VirtualScanner::setCarriageSteps(double steps) {
    std::lock_guard<std::mutex> lock(mutex_);
    carriage_.setUnits(steps * 4);
}

bool VirtualScanner::highResDriveEngaged() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return carriage_.highResEngaged();
}

int VirtualScanner::filmMotorSteps() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return filmMotor_.position();
}

void VirtualScanner::setFilmMotorSteps(int steps) {
    std::lock_guard<std::mutex> lock(mutex_);
    filmMotor_.setPosition(steps);
}

bool VirtualScanner::jobRunning() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return job_.active();
}

uint8_t VirtualScanner::peekRegister(uint8_t reg) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return readRegister(reg);
}

uint8_t VirtualScanner::writtenRegister(uint8_t reg) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return registers_.get(reg);
}

uint8_t VirtualScanner::writtenHighRegister(uint8_t reg) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return registers_.high(reg);
}

uint16_t VirtualScanner::tableMemoryWord(uint32_t wordAddress) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return memory_.tableWord(wordAddress);
}

size_t VirtualScanner::imageBytesWaiting() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return memory_.imageBytes();
}

uint64_t VirtualScanner::transferCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return faults_.transfers();
}

void VirtualScanner::setButtonBits(uint8_t bits) {
    std::lock_guard<std::mutex> lock(mutex_);
    buttons_ = bits & 0x0F;
}

void VirtualScanner::pressButton(int button) {
    // Register 0x91 bits 0-3 for buttons 1-7, as the engine decodes them.
    static constexpr uint8_t kBits[8] = {0x00, 0x01, 0x03, 0x02, 0x06, 0x08, 0x0C, 0x04};
    setButtonBits(button >= 1 && button <= 7 ? kBits[button] : 0);
}

void VirtualScanner::failTransferAt(uint64_t n) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.options().failAt = n;
}

void VirtualScanner::failTransfersFrom(uint64_t n) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.options().failFrom = n;
}

void VirtualScanner::failRegisterWrites(uint32_t reg) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.options().failRegisterWrite.insert(reg);
}

void VirtualScanner::pinRegister(uint8_t reg, uint8_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.options().pins[reg] = value;
}

void VirtualScanner::unpinRegister(uint8_t reg) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.options().pins.erase(reg);
}

void VirtualScanner::setBusy(bool busy) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.options().busy = busy;
}

void VirtualScanner::unplugAfterImageBytes(uint64_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.options().unplugArmed = true;
    faults_.options().unplugAfterBytes = bytes;
}

void VirtualScanner::unplug() {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.unplug();
}

void VirtualScanner::replug() {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.replug();
}

void VirtualScanner::clearFaults() {
    std::lock_guard<std::mutex> lock(mutex_);
    FaultOptions& f = faults_.options();
    f.failAt = f.failFrom = 0;
    f.failRegisterWrite.clear();
    f.pins.clear();
    f.busy = false;
    f.unplugArmed = false;
    faults_.replug();
}

void VirtualScanner::setLampDead(bool dead) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.options().lampDead = dead;
}

void VirtualScanner::setLampOff(bool off) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.options().lampOff = off;
}

void VirtualScanner::setFilmLampDead(bool dead) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.options().filmLampDead = dead;
}

void VirtualScanner::setSensorLeak(bool leak) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.options().sensorLeak = leak;
    sensor_.setLeak(leak);
}

void VirtualScanner::setGuideMissing(bool missing) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.options().guideMissing = missing;
    scene_.setGuideMissing(missing);
}

void VirtualScanner::setFilmMotorStuck(bool stuck) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.options().filmMotorStuck = stuck;
    filmMotor_.setStuck(stuck);
}

}  // namespace zrt::sim
