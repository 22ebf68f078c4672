#include "tests/support/scripted_device.h"

#include <algorithm>
#include <cstring>

namespace zrt::test {
namespace {

class ScriptedTransport final : public Transport {
public:
    explicit ScriptedTransport(ScriptedDevice& device) : device_(device) {}
    bool open(const std::string&) override {
        device_.closed = false;
        return device_.openSucceeds;
    }
    bool deviceDescriptor(uint8_t descriptor[18]) override {
        if (!device_.descriptorSucceeds) return false;
        std::memcpy(descriptor, device_.descriptor.data(), 18);
        return true;
    }
    bool deviceSummary(uint8_t summary[8]) override {
        if (!device_.summary) return false;
        std::memcpy(summary, device_.summary->data(), 8);
        return true;
    }
    bool bulkWrite(const uint8_t* data, size_t count, size_t& written) override {
        written = 0;
        if (!device_.handleWrite(data, count)) return false;
        written = count;
        return true;
    }
    bool bulkRead(uint8_t* buffer, size_t count, size_t& read) override {
        return device_.handleRead(buffer, count, read);
    }
    void close() override { device_.closed = true; }

private:
    ScriptedDevice& device_;
};

}  // namespace

ScriptedDevice::ScriptedDevice() {
    descriptor = {18, 1, 0x00, 0x02, 0, 0, 0, 64, 0x17, 0x5A, 0x42, 0x3C, 0x00, 0x01, 1, 2, 0, 1};
    registers[0xD0] = 0x01;
}

std::unique_ptr<Transport> ScriptedDevice::transport() { return std::make_unique<ScriptedTransport>(*this); }

void ScriptedDevice::failRegisterWrites(uint32_t reg) { failingWrites_.push_back(reg); }
void ScriptedDevice::failRegisterReads(uint8_t reg) { failingReads_.push_back(reg); }

std::vector<uint8_t> ScriptedDevice::writesTo(uint32_t reg) const {
    std::vector<uint8_t> values;
    for (const auto& w : registerWrites)
        if (w.reg == reg) values.push_back(w.value);
    return values;
}

void ScriptedDevice::clearLog() {
    writes.clear();
    registerWrites.clear();
    registerReads.clear();
    dataWrites.clear();
}

bool ScriptedDevice::handleWrite(const uint8_t* data, size_t count) {
    std::vector<uint8_t> frame(data, data + count);
    const size_t index = exchanges++;
    if (failWhen && failWhen(index, true, frame)) return false;
    if (count >= 5 && (data[0] == 0x00 || data[0] == 0x02)) {
        const uint32_t reg = data[0] == 0x02 ? 0x100u + data[1] : data[1];
        if (std::find(failingWrites_.begin(), failingWrites_.end(), reg) != failingWrites_.end()) return false;
        writes.push_back(frame);
        registerWrites.push_back({reg, data[4]});
        if (data[0] == 0x00) registers[data[1]] = data[4];
        if (onRegisterWrite && data[0] == 0x00) onRegisterWrite(data[1], data[4]);
        return true;
    }
    if (count >= 4 && data[0] == 0x01) {
        const uint8_t reg = data[1];
        if (std::find(failingReads_.begin(), failingReads_.end(), reg) != failingReads_.end()) return false;
        writes.push_back(frame);
        registerReads.push_back(reg);
        const unsigned n = ++readCounts_[reg];
        std::optional<uint8_t> answer;
        if (onRegisterRead) answer = onRegisterRead(reg, n);
        pendingRead_.assign(1, answer ? *answer : registers[reg]);
        if (emptyRegisterAnswers > 0) {
            --emptyRegisterAnswers;
            pendingRead_.clear();
        }
        return true;
    }
    if (count >= 4 && data[0] == 0x04) {
        writes.push_back(frame);
        dataWrites.emplace_back(data + 4, data + count);
        return true;
    }
    if (count >= 4 && data[0] == 0x05) {
        writes.push_back(frame);
        const size_t n = static_cast<size_t>(data[2]) | (static_cast<size_t>(data[3]) << 8);
        pendingRead_ = onDataRead ? onDataRead(n) : std::vector<uint8_t>(n, 0);
        return true;
    }
    return false;
}

bool ScriptedDevice::handleRead(uint8_t* buffer, size_t count, size_t& read) {
    read = 0;
    const size_t index = exchanges++;
    if (failWhen && failWhen(index, false, {})) return false;
    const size_t n = std::min(count, pendingRead_.size());
    if (n != 0) std::memcpy(buffer, pendingRead_.data(), n);
    pendingRead_.erase(pendingRead_.begin(), pendingRead_.begin() + static_cast<long>(n));
    read = n + overReportedReadBytes;
    return true;
}

}  // namespace zrt::test
