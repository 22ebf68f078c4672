// What a child process does with its own engine and virtual scanner: the
// steps of an application's session, each checked, for the tests that run
// several such processes side by side.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/api/export_support.h"
#include "engine/api/scanner_engine.h"
#include "engine/control/find_scanner.h"
#include "engine/transport/transport.h"
#include "tests/processes/forked_child.h"
#include "zrtl5617.h"

namespace zrt::test {

// FindScannerEx with a transport of the caller's choosing, under the same
// lock the export takes.
inline int32_t FindScannerWith(const char* path, std::unique_ptr<Transport> transport) {
    BusyLock lock;
    return FindScanner(Engine(), path, std::move(transport));
}

// A document window at `dpi`, `lines` lines high; origin and width in
// 1/4800 inch.
inline ::ScanParameters DocumentWindow(uint16_t dpi, uint8_t depth, uint16_t lines, uint16_t x = 4800,
                                       uint16_t y = 4800, uint16_t width = 4800) {
    ::ScanParameters p{};
    p.XResolution = p.YResolution = dpi;
    p.XOrigin = x;
    p.YOrigin = y;
    p.Width = width;
    p.Height = static_cast<uint16_t>(lines * (4800 / dpi));
    p.BitDepth = depth;
    return p;
}

// Opens the virtual scanner, powers it up (or finds it powered up by another
// process) and selects the document lamp.
inline bool OpenDocumentScanner(const char* path = "sim") {
    return ::FindScannerEx(0, path) == 1 && ::InitializeScanner(0) == 1 && ::SetLamp(0, 1) == 1;
}

// Starts the scan set up, reads it one line a call and stops. Empty when a
// step failed.
inline std::vector<uint8_t> ScanAllLines() {
    std::vector<uint8_t> image;
    if (::StartScanEx(0, 0) != 1) return {};
    ::DataStatus data{};
    ::GetDataStatus(0, &data);
    std::vector<uint8_t> line(data.LineBytes);
    while (data.LinesLeft > 0) {
        if (::ReadScan(0, 0, line.data(), data.LineBytes) != 1) {
            ::StopScanEx(0, 0);
            return {};
        }
        image.insert(image.end(), line.begin(), line.end());
        ::GetDataStatus(0, &data);
    }
    if (::StopScanEx(0, 0) != 1) return {};
    return image;
}

}  // namespace zrt::test
