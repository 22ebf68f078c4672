// A whole scanning session through the exported API against one virtual
// scanner, export by export, with the device made to fail at any exchange
// of any of them: once, or from there on.
//
// The session is kept small so that every one of its exchanges can be
// tried: a full-speed (USB 1.1) scanner, whose slower bus lets image data
// gather between two polls; the 600 dpi film calibration, the cheapest one
// that serves a scan (800 pixels a line against 5104 for documents); six
// lines of a 300 dpi film scan, 100 pixels wide.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/transport/transport.h"
#include "sim/virtual_scanner.h"
#include "zrtl5617.h"

namespace zrt::test {

// The exports of a session in the order an application calls them. Scan
// runs StartScanEx and every ReadScan: the reader thread's exchanges begin
// inside StartScanEx and end with the last line, so they count as one.
enum class Stage : int { Find, Initialize, Lamp, Calibrate, Scan, Stop };
inline constexpr int kStageCount = 6;
const char* StageName(Stage stage);

enum class FaultMode { Once, From };
const char* ModeName(FaultMode mode);

// The device fails at exchange `offset` (from 1) of `stage`.
struct FaultPoint {
    FaultMode mode = FaultMode::Once;
    Stage stage = Stage::Find;
    uint64_t offset = 0;
};

// One transfer as the engine sent it: a register frame, a data frame or a
// read.
struct Exchange {
    char kind = '?';       // 'W' register write, 'H' high register write, 'Q' register read request,
                           // 'D' data write, 'I' image data request, 'R' bulk read
    uint8_t reg = 0;
    uint8_t value = 0;     // the byte written
    uint8_t previous = 0;  // what the last write that arrived gave the register
    bool known = false;    // `previous` is known
    bool failed = false;
};
std::string DescribeExchange(const Exchange& e);
// A failed exchange that an operation may pass over and still succeed: a
// write of the control-line registers that changes nothing but line 11 or
// 15 (an operation that cannot raise or drop them ends with status 0), or
// a read of the film motor's home sensor, register 0xC7 (the parking of
// the power-up takes an unreadable sensor as the earlier reading, the
// calibration and the homing skip their film motor homing).
bool IsPassableFailure(const Exchange& e);

struct SessionResult {
    // Exchanges (bulk transfers) counted while each stage ran.
    std::array<uint64_t, kStageCount> exchanges{};
    // The first stage whose export returned 0, or -1 when none did; its
    // status.
    int failedStage = -1;
    uint16_t status = 0;
    // The stage in which the armed exchange came, -1 when the session
    // ended before it.
    int faultStage = -1;
    std::vector<uint8_t> image;     // the lines delivered, in order
    uint32_t lineBytes = 0;
    bool complete = false;          // every line delivered and stopped with 1
    uint16_t originOffset = 0;      // the engine's copy used by the scan
    uint64_t virtualMs = 0;         // the model's time the session took
    std::vector<std::string> problems;
    // The exchange that was made to fail, as the engine sent it.
    Exchange armed;
    bool armedKnown = false;
    // Every exchange that failed while the stage that met the fault ran
    // was passable (see IsPassableFailure); the first one that was not.
    bool onlyPassableFailed = true;
    Exchange firstImpassable;
};

// Kills the test program when one fault point takes longer than `limit` of
// real time: a hang fails the test with the point named instead of holding
// up the test run. Waits in real time on purpose: virtual time is exactly
// what a hang might stop.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit);
    ~Watchdog();
    void Arm(const std::string& what);
    void Disarm();

private:
    void Run();

    std::chrono::seconds limit_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::string what_;
    bool armed_ = false;
    bool quit_ = false;
    std::chrono::steady_clock::time_point deadline_;
    std::thread thread_;
};

class Session {
public:
    // The scanner of every session: full speed, a sensor without noise.
    static sim::SimOptions Options();
    // The light source of the session: film through the adapter (stored
    // as film with infrared).
    static constexpr int32_t kLamp = 4;
    // The window of every scan: film at 300 dpi, 24-bit colour, 100 pixels
    // wide, 6 lines, an inch into the film area.
    static ScanParameters Window();
    // The calibration the window needs: film (type 1, mode 0) at 600 dpi,
    // whose cache every film scan up to 600 dpi loads.
    static constexpr int32_t kCalibrationType = 1;
    static constexpr int32_t kCalibrationResolution = 600;

    // Runs the stages on a freshly connected scanner that no process has
    // powered up, with `fault` armed when given. Without a fault every
    // stage runs. With one, the session ends with the export that met the
    // failure or the first one that fails, except that a scan, once
    // started, is read to its end (or its first failed line) and stopped,
    // as an application does. The device is left open; the model stays
    // reachable through model().
    SessionResult Run(const FaultPoint* fault);

    // Clears the faults, closes the device and opens the same scanner
    // again, then scans the window without calibrating first. Problems go
    // to `result`.
    void Recover(SessionResult& result);

    // Closes the device and lets the model go.
    void End();

    const std::shared_ptr<sim::VirtualScanner>& model() const { return model_; }

private:
    static constexpr int kBusyRetries = 60;
    static constexpr uint32_t kBusyRetryMs = 1000;

    bool Scan(SessionResult& result, Stage stage, bool expectSuccess);
    void Arm(const FaultPoint& fault, uint64_t& armedAt);

    // What FindScannerEx does (the busy lock, then FindScanner), with the
    // transport handed in: a path would make a new scanner, and the same
    // one must open again once its faults are cleared; the transport also
    // records every transfer, so that a failed one can be named.
    int32_t Find();

    std::shared_ptr<sim::VirtualScanner> model_;
    std::vector<Exchange> exchanges_;  // since the last open
};

// "0x9B0B".
std::string StatusText(uint16_t code);
// The status word of the last export that recorded one.
uint16_t LastStatus();
// A known status other than success.
bool IsFailureStatus(uint16_t code);

}  // namespace zrt::test
