#include "engine/pipeline/scan_stop.h"

#include <new>
#include <vector>

#include "engine/motion/carriage_motion.h"
#include "engine/pipeline/line_filter.h"
#include "engine/pipeline/reader_thread.h"
#include "engine/pipeline/scan_ring.h"
#include "platform/clock.h"

namespace zrt {
namespace {

constexpr uint32_t kDrainBlock = 4096;
constexpr uint32_t kFastReturnLimit = 1000;  // 1/4800 inch

bool IsFilm(uint8_t source) { return (source & 0x0C) != 0; }

void FreeScanObjects(ScannerEngine& engine) {
    if (engine.scan.Ring != nullptr) {
        engine.scan.Ring->Release();
        engine.scan.Ring.reset();
    }
    engine.scan.Filter.reset();
    std::vector<uint8_t>().swap(engine.scan.LineBuffer);
    std::vector<uint8_t>().swap(engine.scan.SecondLine);
}

// Step 4 of the early stop: a scan stopped before its first line lets the
// controller deliver one, so that the stop command meets a running job.
void WaitForFirstRawLine(ScannerEngine& engine) {
    ScanProgress& progress = engine.progress;
    if (progress.Split != 0 || progress.RawLinesLeft != progress.Lines || engine.scan.Ring == nullptr) {
        return;
    }
    uint32_t length = progress.RawLineBytes + progress.RawLineExtra;
    for (uint32_t polls = 0; polls < kAbortFirstLinePollLimit; ++polls) {
        if (engine.scan.Ring->Used() >= length) {
            return;
        }
        if (progress.ReaderThread->ExitCode.load(std::memory_order_acquire) != kStillActive) {
            return;
        }
        platform::SleepMs(10);
    }
}

void ReadUnused4D(ScannerEngine& engine) {
    uint8_t ignored = 0;
    engine.device.ReadControllerRegister(0x4D, ignored);
}

// Step 10: what the controller still holds is read and dropped. The
// controller hands out whole granules only: a rest smaller than one, or a
// read it refuses, would otherwise keep the drain (and the busy flag)
// forever.
StatusCode DrainController(ScannerEngine& engine) {
    uint32_t n = 0;
    if (!ReadAvailableBytes(engine, n)) {
        return status::StopCommandFailed;
    }
    while (n >= kImageTransferGranule) {
        uint32_t block = n < kDrainBlock ? n : kDrainBlock;
        block -= block % kImageTransferGranule;
        std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[block]);
        if (buffer == nullptr) {
            return status::DrainBufferFailed;
        }
        if (!engine.device.ReadImageData(buffer.get(), block)) {
            return status::Ok;
        }
        if (!ReadAvailableBytes(engine, n)) {
            return status::StopCommandFailed;
        }
    }
    return status::Ok;
}

}  // namespace

bool ReadAvailableBytes(ScannerEngine& engine, uint32_t& n) {
    uint32_t words = 0;
    if (!engine.device.ReadRegisterTriple(0xA5, words)) {
        return false;
    }
    n = 2 * words;
    return true;
}

void JoinReader(ScannerEngine& engine) {
    ScanProgress& progress = engine.progress;
    if (progress.ReaderThread == nullptr) {
        return;
    }
    progress.StopRequest.store(1, std::memory_order_release);
    while (progress.ReaderThread->ExitCode.load(std::memory_order_acquire) == kStillActive) {
        platform::SleepMs(100);
    }
    if (progress.ReaderThread->thread.joinable()) {
        progress.ReaderThread->thread.join();
    }
    progress.ReaderThread.reset();
}

StatusCode FinishScan(ScannerEngine& engine) {
    ScanConfig& config = engine.config;
    if (config.Source == 8) {
        engine.scan.IRFile.Close();
        return status::Ok;
    }
    JoinReader(engine);
    FreeScanObjects(engine);
    // A film scan with infrared has written its last plane.
    if (config.Source == 12) {
        engine.scan.IRFile.Close();
    }
    StatusCode st = WaitMotionEnd(engine, 0);
    if (st != status::Ok) {
        return st;
    }
    if (!engine.device.SetControlLine(6, 0)) {
        return status::ScanLine6Failed;
    }
    StatusCode filmStatus = status::Ok;
    if (IsFilm(config.Source)) {
        filmStatus = MoveFilmAdapter(engine, 0, 2);
    }
    if (engine.highResDriveEngaged) {
        st = SetHighResolutionDrive(engine, 0);
        if (st != status::Ok) {
            return st;
        }
    }
    uint8_t fast = config.OriginY + config.HeightUnits < kFastReturnLimit ? 1 : 0;
    st = ReturnHome(engine, 0, fast);
    if (st != status::Ok) {
        return st;
    }
    if (filmStatus != status::Ok) {
        return filmStatus;
    }
    config.TimingVariant = 0;
    engine.progress.Lines = 0;
    if (!engine.device.SetRegisterField(0x80, 1, 1, 1)) {
        return status::StopReg80Failed;
    }
    if (!engine.device.SetControlLine(15, 0)) {
        return status::Ok;
    }
    if (!engine.device.SetRegisterField(0x60, 0, 0, 0)) {
        return status::Register60Failed;
    }
    engine.device.SetControlLine(11, 0);
    return status::Ok;
}

StatusCode AbortScan(ScannerEngine& engine) {
    if (engine.config.Source == 8) {
        return status::Ok;
    }
    if (engine.progress.Lines == 0) {
        return status::NoScanActive;
    }
    if (engine.progress.ReaderThread == nullptr) {
        return FinishScan(engine);
    }
    WaitForFirstRawLine(engine);
    JoinReader(engine);
    if (!engine.device.WriteControllerRegister(0x03, 4)) {
        return status::StopCommandFailed;
    }
    StatusCode st = WaitMotionEnd(engine, 1);
    if (st != status::Ok) {
        return st;
    }
    ReadUnused4D(engine);
    platform::SleepMs(1000);
    WaitMotionEnd(engine, 1);
    ReadUnused4D(engine);
    st = DrainController(engine);
    if (st != status::Ok) {
        return st;
    }
    WaitMotionEnd(engine, 1);
    ReadUnused4D(engine);
    st = MoveCarriage(engine, 2, 0, 0, 0, 0, 1, 1);
    if (st != status::Ok) {
        return st;
    }
    if (!engine.device.WriteControllerRegister(0x03, 4)) {
        return status::StopCommandFailed;
    }
    st = MoveCarriage(engine, 2, 0, 0, 0, 0, 1, 1);
    if (st != status::Ok) {
        return st;
    }
    ReadUnused4D(engine);
    return FinishScan(engine);
}

StatusCode StopScan(ScannerEngine& engine, int32_t /*option*/) {
    if (Request().LinesLeft != 0) {
        return AbortScan(engine);
    }
    uint8_t value = 0;
    // An unreadable completion bit is taken as "not complete": the early
    // stop then makes sure the controller holds nothing more.
    if (engine.device.ReadControllerRegister(0xA4, value) && (value & 0x01)) {
        return FinishScan(engine);
    }
    return AbortScan(engine);
}

}  // namespace zrt
