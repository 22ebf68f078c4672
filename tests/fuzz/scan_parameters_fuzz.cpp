// SetScanParameter with any record, light source, film adapter position and
// AG data, against the virtual scanner opened and powered up once per
// process. No scan is started: each input stays a few register reads long.
// With ZRT_FUZZ_SCANS=1 in the environment, an accepted record of at most
// 32 lines of at most 64 KiB is also scanned: started, read line by line
// for as many lines as the input's last byte says, and stopped (some
// milliseconds an input; the carriage's way home makes the outcome depend
// a little on the inputs before).
//
// Input: u8 lamp, u8 film adapter position (bit 0: 2, else 3), u8 flags
// (bit 0 AG data follows, bit 1 GetDataStatus, bit 2 GetCalibrationStatus),
// [44 bytes AG data], 22 bytes ScanParameters, u8 lines to read.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/api/export_support.h"
#include "engine/api/scanner_engine.h"
#include "engine/pipeline/scan_state.h"
#include "platform/clock.h"
#include "platform/shared_state.h"
#include "tests/fuzz/byte_reader.h"
#include "tests/fuzz/fuzz_scratch.h"
#include "zrtl5617.h"

namespace {

// What the set-up leaves; every input starts from it again so that the
// outcome depends on the input alone.
struct Baseline {
    zrt::ScanConfig config;
    zrt::ScanRequest request;
    uint16_t exposureMultiplier = 4096;
};

std::string g_sharedName;

void RemoveSharedBlock() { shm_unlink(g_sharedName.c_str()); }

void Fail(const char* step) {
    uint16_t code = 0;
    ::GetScannerStatus(0, &code);
    std::fprintf(stderr, "scan_parameters_fuzz: %s failed with status 0x%04X\n", step, code);
    std::abort();
}

// The calibration a scan with AG data needs, for the document and the film
// area, so that the AG path runs past the shading cache.
void Calibrate(int32_t lamp, int32_t type, int32_t dpi) {
    if (::SetLamp(0, lamp) != 1) Fail("SetLamp");
    ::ScanParameters p{};
    p.XResolution = p.YResolution = static_cast<uint16_t>(dpi);
    p.FilmScan = static_cast<uint8_t>(type);
    p.XOrigin = type ? 9968 : 4800;
    p.YOrigin = type ? 9222 : 4800;
    p.Width = p.Height = 640;
    p.BitDepth = 48;
    if (::SetScanParameter(0, &p) != 1) Fail("SetScanParameter");
    if (::DoCalibration(0, type, 0, dpi) != 1) Fail("DoCalibration");
}

const Baseline& SetUp() {
    static const Baseline baseline = [] {
        // The engine's files and the shared block of this process alone.
        setenv("TMPDIR", zrt::fuzz::Scratch::Get().Path().c_str(), 1);
        g_sharedName = "/zrt-fuzz-" + std::to_string(getpid());
        setenv("ZRT_SHARED_NAME", g_sharedName.c_str(), 1);
        std::atexit(RemoveSharedBlock);
        if (::FindScannerEx(0, "sim") != 1) Fail("FindScannerEx");
        if (::InitializeScanner(0) != 1) Fail("InitializeScanner");
        Calibrate(1, 0, 600);
        Calibrate(12, 1, 1200);
        Baseline b;
        b.config = zrt::Engine().config;
        b.request = zrt::Request();
        b.exposureMultiplier = zrt::Engine().ExposureMultiplier;
        return b;
    }();
    return baseline;
}

// Starts the scan set up, reads it one line a call and stops it; then lets
// virtual time pass until the carriage is home again.
void ScanSmallWindow(uint32_t linesToRead) {
    ::DataStatus status{};
    ::GetDataStatus(0, &status);
    if (status.LinesLeft == 0 || status.LinesLeft > 32 || status.LineBytes == 0 ||
        status.LineBytes > 65536)
        return;
    if (::StartScanEx(0, 0) == 1) {
        std::vector<uint8_t> line(status.LineBytes);
        for (uint32_t n = std::min(status.LinesLeft, linesToRead); n > 0; --n) {
            if (::ReadScan(0, 0, line.data(), status.LineBytes) != 1) break;
        }
    }
    ::StopScanEx(0, 0);
    for (int wait = 0; wait < 100 && ::SetLamp(0, 1) != 1; ++wait) zrt::platform::SleepMs(500);
}

bool ScansWanted() {
    static const bool wanted = [] {
        const char* value = std::getenv("ZRT_FUZZ_SCANS");
        return value && std::string(value) == "1";
    }();
    return wanted;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Baseline& baseline = SetUp();
    zrt::Engine().config = baseline.config;
    zrt::Engine().ExposureMultiplier = baseline.exposureMultiplier;
    zrt::Request() = baseline.request;

    zrt::fuzz::ByteReader in(data, size);
    uint8_t lamp = in.U8();
    // 255 runs the film-guide check, a scan of its own.
    if (lamp == 255) lamp = 1;
    zrt::platform::SharedState().FAUScanPosition = (in.U8() & 1) ? 2 : 3;
    const uint8_t flags = in.U8();
    if (flags & 1) {
        ::AGData ag{};
        in.Bytes(&ag, sizeof ag);
        ::SetAGData(0, &ag);
    }
    ::ScanParameters p{};
    in.Bytes(&p, sizeof p);

    // A refused light source still stands for the parameters that follow.
    ::SetLamp(0, lamp);
    const int32_t accepted = ::SetScanParameter(0, &p);
    uint16_t code = 0xFFFF;
    ::GetScannerStatus(0, &code);
    if ((accepted == 1) != (code == 0)) std::abort();
    // Also after a refused record: the stored copy then holds it.
    if (flags & 2) {
        ::DataStatus status{};
        ::GetDataStatus(0, &status);
    }
    if (flags & 4) {
        uint8_t needed = 0;
        ::GetCalibrationStatus(0, &needed);
    }
    const uint8_t linesToRead = in.U8();
    if (accepted == 1 && ScansWanted()) ScanSmallWindow(linesToRead);
    return 0;
}
