// Opening the scanner and setting it up: the work of FindScannerEx, run with
// the busy lock held.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/transport/transport.h"

namespace zrt {

struct ScannerEngine;

// Opens `path` (with `transport` when given, else the one the path names),
// checks that the carriage is idle and runs SetUpDevice. Records LastStatus
// and DeviceOpened in the process state; returns the export's result. A
// process that already has the device open gets 1 and nothing else happens.
int32_t FindScanner(ScannerEngine& engine, const char* path, std::unique_ptr<Transport> transport = nullptr);

}  // namespace zrt
