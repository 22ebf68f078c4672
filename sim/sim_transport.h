// The virtual scanner seen as a transport: opened with "sim" or
// "sim:key=value,..." it answers the controller's wire protocol.
#pragma once

#include <memory>

#include "engine/transport/transport.h"

namespace zrt::sim {

std::unique_ptr<Transport> CreateSimTransport();

}  // namespace zrt::sim
