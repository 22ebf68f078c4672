// The USB scanners attached to this machine, for `zrtscan devices`.
#pragma once

#include <string>
#include <vector>

namespace zrtscan {

struct UsbScanner {
    std::string path;  // usb:BUS:ADDR
    int bus = 0;
    int address = 0;
    std::string speed;
};

std::vector<UsbScanner> ListUsbScanners();

}  // namespace zrtscan
