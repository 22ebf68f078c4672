#include "tests/faults/session.h"

#include <cstdio>
#include <cstdlib>

#include "engine/api/export_support.h"
#include "engine/api/scanner_engine.h"
#include "engine/api/status_codes.h"
#include "engine/control/find_scanner.h"
#include "platform/shared_state.h"
#include "sim/sim_transport.h"

namespace zrt::test {
namespace {

// Hands every transfer to the virtual scanner and notes what it was.
class RecordingTransport final : public Transport {
public:
    RecordingTransport(std::unique_ptr<Transport> inner, std::vector<Exchange>& log)
        : inner_(std::move(inner)), log_(log) {}

    bool open(const std::string& path) override {
        log_.clear();
        return inner_->open(path);
    }
    bool deviceDescriptor(uint8_t descriptor[18]) override { return inner_->deviceDescriptor(descriptor); }
    bool deviceSummary(uint8_t summary[8]) override { return inner_->deviceSummary(summary); }

    bool bulkWrite(const uint8_t* data, size_t count, size_t& written) override {
        Exchange e;
        if (data != nullptr && count >= 2) {
            static constexpr char kKinds[] = {'W', 'Q', 'H', '?', 'D', 'I'};
            e.kind = data[0] < sizeof kKinds ? kKinds[data[0]] : '?';
            e.reg = data[1];
            e.value = count >= 5 ? data[4] : 0;
            if (e.kind == 'Q') lastRequest_ = e.reg;
            if (e.kind == 'W' && last_[e.reg] >= 0) {
                e.previous = static_cast<uint8_t>(last_[e.reg]);
                e.known = true;
            }
        }
        const bool ok = inner_->bulkWrite(data, count, written);
        e.failed = !ok;
        if (ok && e.kind == 'W') last_[e.reg] = e.value;
        log_.push_back(e);
        return ok;
    }
    bool bulkRead(uint8_t* buffer, size_t count, size_t& read) override {
        Exchange e;
        e.kind = 'R';
        e.reg = lastRequest_;  // the register whose answer this is, if any
        const bool ok = inner_->bulkRead(buffer, count, read);
        e.failed = !ok;
        log_.push_back(e);
        return ok;
    }
    void close() override { inner_->close(); }

private:
    std::unique_ptr<Transport> inner_;
    std::vector<Exchange>& log_;
    uint8_t lastRequest_ = 0;
    std::array<int, 256> last_ = [] {
        std::array<int, 256> unknown;
        unknown.fill(-1);
        return unknown;
    }();
};

}  // namespace

std::string StatusText(uint16_t code) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", code);
    return text;
}

std::string DescribeExchange(const Exchange& e) {
    char text[96];
    switch (e.kind) {
        case 'W':
            if (e.known) {
                std::snprintf(text, sizeof text, "write of register 0x%02X (0x%02X to 0x%02X)", e.reg, e.previous,
                              e.value);
            } else {
                std::snprintf(text, sizeof text, "write of register 0x%02X (0x%02X)", e.reg, e.value);
            }
            break;
        case 'H': std::snprintf(text, sizeof text, "write of high register 0x1%02X", e.reg); break;
        case 'Q': std::snprintf(text, sizeof text, "read request of register 0x%02X", e.reg); break;
        case 'D': std::snprintf(text, sizeof text, "memory data write"); break;
        case 'I': std::snprintf(text, sizeof text, "memory or image data request"); break;
        case 'R': std::snprintf(text, sizeof text, "bulk read (after a request for 0x%02X)", e.reg); break;
        default: std::snprintf(text, sizeof text, "unknown frame"); break;
    }
    return text;
}

bool IsPassableFailure(const Exchange& e) {
    if ((e.kind == 'Q' || e.kind == 'R') && e.reg == 0xC7) return true;
    if (e.kind != 'W' || !e.known) return false;
    const uint8_t changed = e.value ^ e.previous;
    return (e.reg == 0x90 && (changed & ~0x40) == 0) || (e.reg == 0x9B && (changed & ~0x04) == 0);
}

const char* StageName(Stage stage) {
    switch (stage) {
        case Stage::Find: return "FindScannerEx";
        case Stage::Initialize: return "InitializeScanner";
        case Stage::Lamp: return "SetLamp";
        case Stage::Calibrate: return "DoCalibration";
        case Stage::Scan: return "StartScanEx/ReadScan";
        case Stage::Stop: return "StopScanEx";
    }
    return "?";
}

const char* ModeName(FaultMode mode) { return mode == FaultMode::Once ? "once" : "from"; }

uint16_t LastStatus() {
    uint16_t code = 0;
    ::GetScannerStatus(0, &code);
    return code;
}

bool IsFailureStatus(uint16_t code) { return code != status::Ok && StatusMeaning(code) != nullptr; }

// --- Watchdog ------------------------------------------------------------

Watchdog::Watchdog(std::chrono::seconds limit) : limit_(limit), thread_([this] { Run(); }) {}

Watchdog::~Watchdog() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void Watchdog::Arm(const std::string& what) {
    std::lock_guard<std::mutex> lock(mutex_);
    what_ = what;
    armed_ = true;
    deadline_ = std::chrono::steady_clock::now() + limit_;
    wake_.notify_all();
}

void Watchdog::Disarm() {
    std::lock_guard<std::mutex> lock(mutex_);
    armed_ = false;
}

void Watchdog::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!quit_) {
        if (!armed_) {
            wake_.wait(lock);
            continue;
        }
        if (wake_.wait_until(lock, deadline_) == std::cv_status::timeout && armed_ && !quit_ &&
            std::chrono::steady_clock::now() >= deadline_) {
            std::fprintf(stderr, "HANG: %s did not finish within %lld s of real time\n", what_.c_str(),
                         static_cast<long long>(limit_.count()));
            std::fflush(stderr);
            std::_Exit(3);
        }
    }
}

// --- Session -------------------------------------------------------------

sim::SimOptions Session::Options() {
    sim::SimOptions options;
    options.usb = 1;
    options.noise = 0;  // the same scene gives the same lines
    return options;
}

ScanParameters Session::Window() {
    ScanParameters p{};
    p.XResolution = p.YResolution = 300;
    p.XOrigin = 9968;  // the film area's left edge
    p.YOrigin = 9222 + 4800;
    p.Width = 1600;
    p.Height = 96;
    p.BitDepth = 24;
    p.FilmScan = 1;
    return p;
}

int32_t Session::Find() {
    BusyLock lock;  // as FindScannerEx
    return FindScanner(Engine(), "sim", std::make_unique<RecordingTransport>(sim::CreateSimTransport(model_), exchanges_));
}

void Session::Arm(const FaultPoint& fault, uint64_t& armedAt) {
    armedAt = model_->transferCount() + fault.offset;
    if (fault.mode == FaultMode::Once) {
        model_->failTransferAt(armedAt);
    } else {
        model_->failTransfersFrom(armedAt);
    }
}

bool Session::Scan(SessionResult& r, Stage stage, bool expectSuccess) {
    auto fail = [&](const char* what) {
        const uint16_t code = LastStatus();
        if (r.failedStage < 0) {
            r.failedStage = static_cast<int>(stage);
            r.status = code;
        }
        if (!IsFailureStatus(code)) r.problems.push_back(std::string(what) + " returned 0 with status " + StatusText(code));
        if (expectSuccess) r.problems.push_back(std::string(what) + " failed with " + StatusText(code));
        return false;
    };
    if (::StartScanEx(0, 0) != 1) return fail("StartScanEx");
    r.originOffset = Engine().OriginOffset;
    ::DataStatus data{};
    ::GetDataStatus(0, &data);
    r.lineBytes = data.LineBytes;
    std::vector<uint8_t> line(data.LineBytes);
    while (data.LinesLeft > 0) {
        if (::ReadScan(0, 0, line.data(), data.LineBytes) != 1) return fail("ReadScan");
        r.image.insert(r.image.end(), line.begin(), line.end());
        ::GetDataStatus(0, &data);
    }
    return true;
}

SessionResult Session::Run(const FaultPoint* fault) {
    SessionResult r;
    // A fresh virtual scanner is one just switched on: no process has
    // powered it up.
    platform::SharedState().OriginOffset = 0;

    model_ = std::make_shared<sim::VirtualScanner>(Options());
    uint64_t armedAt = 0;
    if (fault != nullptr && fault->stage == Stage::Find) Arm(*fault, armedAt);

    uint64_t before = 0;
    uint64_t metStageEnd = 0;
    auto begin = [&](Stage stage) {
        if (fault != nullptr && fault->stage == stage && stage != Stage::Find) Arm(*fault, armedAt);
        before = model_->transferCount();
    };
    auto met = [&] { return armedAt != 0 && armedAt <= model_->transferCount(); };
    // Accounts for the stage; true when the session goes on.
    auto end = [&](Stage stage, int32_t result, const char* what) {
        const uint64_t after = model_->transferCount();
        r.exchanges[static_cast<int>(stage)] = after - before;
        if (armedAt != 0 && before < armedAt && armedAt <= after) {
            r.faultStage = static_cast<int>(stage);
            metStageEnd = after;
        }
        if (result != 1) {
            const uint16_t code = LastStatus();
            if (r.failedStage < 0) {
                r.failedStage = static_cast<int>(stage);
                r.status = code;
            }
            if (!IsFailureStatus(code)) {
                r.problems.push_back(std::string(what) + " returned 0 with status " + StatusText(code));
            }
            if (fault == nullptr) r.problems.push_back(std::string(what) + " failed with " + StatusText(code));
            return false;
        }
        return !met();
    };

    bool more = end(Stage::Find, Find(), "FindScannerEx");
    if (more) {
        begin(Stage::Initialize);
        more = end(Stage::Initialize, ::InitializeScanner(0), "InitializeScanner");
    }
    if (more) {
        begin(Stage::Lamp);
        more = end(Stage::Lamp, ::SetLamp(0, kLamp), "SetLamp");
    }
    if (more) {
        begin(Stage::Calibrate);
        more = end(Stage::Calibrate, ::DoCalibration(0, kCalibrationType, 0, kCalibrationResolution),
                   "DoCalibration");
    }
    if (more) {
        const ScanParameters p = Window();
        if (::SetScanParameter(0, &p) != 1) {
            r.problems.push_back("SetScanParameter failed with " + StatusText(LastStatus()));
            more = false;
        }
    }
    if (more) {
        begin(Stage::Scan);
        const bool read = Scan(r, Stage::Scan, fault == nullptr);
        end(Stage::Scan, 1, "");
        // A scan that was started is stopped, whatever happened to it.
        begin(Stage::Stop);
        const int32_t stopped = ::StopScanEx(0, 0);
        end(Stage::Stop, stopped, "StopScanEx");
        r.complete = read && stopped == 1;
    }
    if (armedAt != 0 && r.faultStage < 0 && met()) r.faultStage = static_cast<int>(Stage::Stop);
    if (armedAt != 0 && armedAt <= exchanges_.size()) {
        r.armed = exchanges_[armedAt - 1];
        r.armedKnown = true;
        for (uint64_t i = armedAt - 1; i < metStageEnd && i < exchanges_.size(); ++i) {
            if (exchanges_[i].failed && !IsPassableFailure(exchanges_[i])) {
                r.onlyPassableFailed = false;
                r.firstImpassable = exchanges_[i];
                break;
            }
        }
    }
    r.virtualMs = model_->nowUs() / 1000;
    return r;
}

void Session::Recover(SessionResult& r) {
    auto expect = [&](int32_t result, const char* what) {
        if (result == 1) return true;
        r.problems.push_back(std::string("after the fault: ") + what + " failed with " + StatusText(LastStatus()));
        return false;
    };
    model_->clearFaults();
    if (!expect(::TerminateScanner(0), "TerminateScanner")) return;
    // A carriage still on its way home keeps the scanner busy for a while;
    // an application asks again a little later.
    int32_t found = 0;
    for (int attempt = 0; attempt < kBusyRetries; ++attempt) {
        found = Find();
        if (found == 1 || LastStatus() != status::DeviceActive) break;
        model_->advanceMs(kBusyRetryMs);
    }
    if (!expect(found, "FindScannerEx")) return;
    if (!expect(::InitializeScanner(0), "InitializeScanner")) return;
    if (!expect(::SetLamp(0, kLamp), "SetLamp")) return;
    const ScanParameters p = Window();
    if (!expect(::SetScanParameter(0, &p), "SetScanParameter")) return;
    r.originOffset = Engine().OriginOffset;
    if (!Scan(r, Stage::Scan, true)) return;
    if (!expect(::StopScanEx(0, 0), "StopScanEx")) return;
    r.complete = true;
    const ScannerEngine& engine = Engine();
    if (engine.scan.Ring != nullptr || engine.scan.Filter != nullptr || engine.progress.ReaderThread != nullptr) {
        r.problems.push_back("after the fault: the scan's ring, filter or reader outlived its stop");
    }
}

void Session::End() {
    ::TerminateScanner(0);
    model_.reset();
}

}  // namespace zrt::test
