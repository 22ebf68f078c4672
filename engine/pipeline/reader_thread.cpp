#include "engine/pipeline/reader_thread.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <system_error>

#include "engine/motion/carriage_motion.h"
#include "engine/pipeline/scan_ring.h"
#include "platform/clock.h"

namespace zrt {
namespace {

constexpr uint32_t kIdlePollBudget = 600;
constexpr double kFilmStepsPerInch = 79.375;
constexpr int32_t kDefaultAdvance = 120;
constexpr uint32_t kFilmEndUnits = 52495;

struct ReaderCounters {
    uint32_t segment;
    uint32_t perSegmentCount;
    uint32_t position;
    uint32_t filmEnd;
    uint32_t restartPeriod;
    uint32_t totalRead = 0;
    uint32_t segmentRead = 0;
    uint32_t carry = 0;
    uint32_t idlePolls = 0;
};

bool StopRequested(const ScannerEngine& engine) {
    return engine.progress.StopRequest.load(std::memory_order_acquire) != 0;
}

// Waits for the scan engine to be idle, spending from the shared budget.
bool WaitIdle(ScannerEngine& engine, ReaderCounters& c) {
    while (c.idlePolls < kIdlePollBudget) {
        bool busy = true;
        if (engine.device.ReadMotionBusy(busy, 0) != status::Ok) {
            return false;
        }
        if (!busy) {
            return true;
        }
        ++c.idlePolls;
        platform::SleepMs(100);
    }
    return false;
}

int32_t AdvanceSteps(const ReaderSetup& setup, ReaderCounters& c) {
    if (setup.useAG == 0) {
        return kDefaultAdvance;
    }
    uint32_t newPosition = c.position + c.segment;
    int32_t a = kDefaultAdvance;
    double yRes = setup.yRes;
    if (newPosition >= c.filmEnd) {
        double gap = std::fabs(double(c.filmEnd) - double(c.position));
        a = static_cast<int32_t>(gap / yRes * kFilmStepsPerInch);
    } else if (c.filmEnd - newPosition < c.segment) {
        a = static_cast<int32_t>(double(c.filmEnd - newPosition) / yRes * kFilmStepsPerInch);
    }
    c.position = newPosition;
    return a;
}

bool RestartController(ScannerEngine& engine, const ReaderSetup& setup, ReaderCounters& c) {
    Controller& dev = engine.device;
    if (!dev.SetRegisterField(0x10, 3, 3, 1) || !dev.WriteRegisterTriple(0x1D, c.restartPeriod + 4) ||
        !dev.WriteRegisterTriple(0x66, 2)) {
        return false;
    }
    dev.WriteControllerRegister(0x03, 1);
    if (!WaitIdle(engine, c)) {
        return false;
    }
    if (!dev.SetRegisterField(0x10, 3, 3, 0) || !dev.WriteRegisterTriple(0x1D, 6)) {
        return false;
    }
    uint32_t left = setup.total - c.totalRead;
    if (c.segment > left) {
        c.segment = left;
        c.perSegmentCount = setup.channels * c.segment;
    }
    if (!dev.WriteRegisterTriple(0x66, c.perSegmentCount)) {
        return false;
    }
    dev.WriteControllerRegister(0x03, 1);
    return true;
}

// Between two segments: the film moves on by one segment and the
// controller starts the next. Returns 1 to go on, else the exit code.
uint32_t SegmentAdvance(ScannerEngine& engine, const ReaderSetup& setup, ReaderCounters& c) {
    if (!WaitIdle(engine, c)) {
        return 0;
    }
    int32_t a = AdvanceSteps(setup, c);
    if (MoveFilmAdapter(engine, a, 1) != status::Ok) {
        return 0;
    }
    uint16_t counter = 0;
    if (!engine.device.ReadRegisterPair(0xC8, counter)) {
        return status::FilmPositionReadFailed;
    }
    int32_t d = a - int32_t{counter};
    if (d != 0) {
        int32_t direction = d <= 0 ? 2 : 1;
        platform::SleepMs(500);
        StatusCode st = MoveFilmAdapter(engine, SegmentCorrection(d), direction);
        if (st != status::Ok) {
            return st;
        }
        if (!engine.device.ReadRegisterPair(0xC8, counter)) {
            return status::FilmPositionReadFailed;
        }
    }
    if (!RestartController(engine, setup, c)) {
        return 0;
    }
    c.segmentRead = 0;
    return 1;
}

// One pass of the loop body's transfer: false on a device failure.
bool TransferOnce(ScannerEngine& engine, const ReaderSetup& setup, ReaderCounters& c, uint8_t* buffer) {
    uint32_t words = 0;
    if (!engine.device.ReadRegisterTriple(0xA5, words)) {
        return false;
    }
    ScanRing& ring = *engine.scan.Ring;
    uint32_t n = 2 * words;
    uint32_t free = ring.FreeSpace();
    n = n < free ? n : free;
    n = n < kMaxImageTransfer ? n : kMaxImageTransfer;
    // The controller refuses reads that are not whole granules; the rest
    // waits for the next pass.
    n -= n % kImageTransferGranule;
    if (n == 0) {
        platform::SleepMs(10);
        return true;
    }
    if (!engine.device.ReadImageData(buffer, n)) {
        return false;
    }
    ring.Put(buffer, n);
    uint64_t q = uint64_t{c.carry} + n;
    uint32_t k = static_cast<uint32_t>(q / setup.lineLength);
    c.totalRead += k;
    c.segmentRead += k;
    c.carry = static_cast<uint32_t>(q % setup.lineLength);
    return true;
}

}  // namespace

ReaderSetup CaptureReaderSetup(const ScannerEngine& engine) {
    ReaderSetup s;
    s.segment = engine.progress.Lines;
    s.total = engine.progress.RawLinesLeft;
    s.lineLength = engine.progress.RawLineBytes + engine.progress.RawLineExtra;
    s.split = engine.progress.Split;
    s.channels = engine.config.Channels;
    s.useAG = engine.config.UseAG;
    s.yRes = engine.config.YRes;
    s.originY = engine.config.OriginY;
    return s;
}

int32_t StepCompensation(int32_t t) {
    if (t <= 2) return 0;
    if (t == 3) return 1;
    if (t <= 7) return 2;
    if (t <= 12) return 3;
    if (t <= 35) return 4;
    return 5;
}

int32_t SegmentCorrection(int32_t d) {
    if (d > 0) return d - StepCompensation(d);
    if (d >= -2) return d;
    if (d >= -5) return d + 1;
    if (d >= -8) return d + 2;
    if (d >= -10) return d + 3;
    return d + 4;
}

uint32_t ReaderThread(ScannerEngine& engine, const ReaderSetup& setup) {
    if (engine.scan.Ring == nullptr || setup.lineLength == 0 || setup.yRes == 0) {
        return 0;
    }
    ReaderCounters c;
    c.segment = setup.segment;
    c.perSegmentCount = setup.channels * setup.segment;
    c.position = setup.originY * setup.yRes / 4800;
    c.filmEnd = kFilmEndUnits * setup.yRes / 4800;
    c.restartPeriod = 12000 / setup.yRes;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kMaxImageTransfer]);
    if (buffer == nullptr) {
        return 0;
    }
    for (;;) {
        if (StopRequested(engine) || c.totalRead >= setup.total) {
            return 1;
        }
        if (setup.split == 1 && c.segmentRead >= c.segment) {
            uint32_t code = SegmentAdvance(engine, setup, c);
            if (code != 1) {
                return code;
            }
        }
        if (!TransferOnce(engine, setup, c, buffer.get())) {
            return 0;
        }
        if (StopRequested(engine)) {
            return 1;
        }
    }
}

bool CreateReaderThread(ScannerEngine& engine) {
    std::unique_ptr<ReaderHandle> handle(new (std::nothrow) ReaderHandle);
    if (handle == nullptr) {
        return false;
    }
    ReaderSetup setup = CaptureReaderSetup(engine);
    ReaderHandle* raw = handle.get();
    try {
        handle->thread = std::thread([&engine, setup, raw] {
            uint32_t code = ReaderThread(engine, setup);
            raw->ExitCode.store(code, std::memory_order_release);
        });
    } catch (const std::system_error&) {
        return false;
    }
    engine.progress.ReaderThread = std::move(handle);
    return true;
}

}  // namespace zrt
