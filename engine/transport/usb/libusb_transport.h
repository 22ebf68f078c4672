// The scanner reached through libusb on platforms without the still-image
// class driver. Device paths: "usb" (the first scanner found), "usb:BUS:ADDR"
// (decimal bus number and device address) and "/dev/bus/usb/BBB/DDD".
#pragma once

#include <memory>

#include "engine/transport/transport.h"

namespace zrt {

std::unique_ptr<Transport> CreateLibusbTransport();

}  // namespace zrt
