// The virtual scanner seen as a transport: opened with "sim" or
// "sim:key=value,..." it answers the controller's wire protocol.
#pragma once

#include <memory>

#include "engine/transport/transport.h"
#include "sim/virtual_scanner.h"

namespace zrt::sim {

// A transport that creates a new model from the options of the path at
// every open.
std::unique_ptr<Transport> CreateSimTransport();

// A transport bound to a model the caller keeps; the path's options are
// then ignored (the model has its own).
std::unique_ptr<Transport> CreateSimTransport(std::shared_ptr<VirtualScanner> model);

// The model behind the most recent successful open in this process, or null.
std::shared_ptr<VirtualScanner> LastOpenedScanner();

}  // namespace zrt::sim
