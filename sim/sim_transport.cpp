#include "sim/sim_transport.h"

namespace zrt::sim {
namespace {

// Placeholder until the controller model lands: opens, but answers nothing.
class SimTransport final : public Transport {
public:
    bool open(const std::string&) override { return false; }
    bool deviceDescriptor(uint8_t*) override { return false; }
    bool bulkWrite(const uint8_t*, size_t, size_t& written) override { written = 0; return false; }
    bool bulkRead(uint8_t*, size_t, size_t& read) override { read = 0; return false; }
    void close() override {}
};

}  // namespace

std::unique_ptr<Transport> CreateSimTransport() { return std::make_unique<SimTransport>(); }

}  // namespace zrt::sim
