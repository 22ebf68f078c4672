#include "sim/sim_transport.h"

#include <mutex>

namespace zrt::sim {
namespace {

std::mutex g_lastMutex;
std::shared_ptr<VirtualScanner> g_last;

void SetLastOpened(std::shared_ptr<VirtualScanner> model) {
    std::lock_guard<std::mutex> lock(g_lastMutex);
    g_last = std::move(model);
}

class SimTransport final : public Transport {
public:
    explicit SimTransport(std::shared_ptr<VirtualScanner> model)
        : model_(std::move(model)), bound_(model_ != nullptr) {}
    ~SimTransport() override { close(); }

    bool open(const std::string& path) override {
        if (open_) return false;
        std::shared_ptr<VirtualScanner> model = model_;
        if (!bound_) {
            SimOptions options;
            std::string error;
            if (!ParseSimPath(path, options, error)) return false;
            model = std::make_shared<VirtualScanner>(options);
        }
        std::string error;
        if (!model->connect(error)) return false;
        model_ = model;
        open_ = true;
        SetLastOpened(model_);
        return true;
    }

    bool deviceDescriptor(uint8_t descriptor[18]) override {
        return open_ && model_->deviceDescriptor(descriptor);
    }

    bool deviceSummary(uint8_t summary[8]) override { return open_ && model_->deviceSummary(summary); }

    bool bulkWrite(const uint8_t* data, size_t count, size_t& written) override {
        written = 0;
        return open_ && model_->bulkWrite(data, count, written);
    }

    bool bulkRead(uint8_t* buffer, size_t count, size_t& read) override {
        read = 0;
        return open_ && model_->bulkRead(buffer, count, read);
    }

    void close() override {
        if (!open_) return;
        open_ = false;
        model_->disconnect();
    }

private:
    std::shared_ptr<VirtualScanner> model_;
    bool bound_;
    bool open_ = false;
};

}  // namespace

std::unique_ptr<Transport> CreateSimTransport() { return std::make_unique<SimTransport>(nullptr); }

std::unique_ptr<Transport> CreateSimTransport(std::shared_ptr<VirtualScanner> model) {
    if (!model) return CreateSimTransport();
    return std::make_unique<SimTransport>(std::move(model));
}

std::shared_ptr<VirtualScanner> LastOpenedScanner() {
    std::lock_guard<std::mutex> lock(g_lastMutex);
    return g_last;
}

}  // namespace zrt::sim
