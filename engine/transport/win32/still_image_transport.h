// The Windows still-image driver's device file as a transport.
#pragma once

#include <memory>

#include "engine/transport/transport.h"

namespace zrt {

std::unique_ptr<Transport> CreateStillImageTransport();

}  // namespace zrt
