#include "tools/zrtscan/usb_listing.h"

#include <dirent.h>

#include <cstdio>
#include <fstream>

namespace zrtscan {

static std::string ReadLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// Reads sysfs rather than opening devices: listing must not disturb a
// scanner that another program is using.
std::vector<UsbScanner> ListUsbScanners() {
    std::vector<UsbScanner> found;
    const std::string root = "/sys/bus/usb/devices/";
    DIR* dir = opendir(root.c_str());
    if (!dir) return found;
    while (dirent* entry = readdir(dir)) {
        const std::string base = root + entry->d_name + "/";
        if (ReadLine(base + "idVendor") != "5a17" || ReadLine(base + "idProduct") != "3c42") continue;
        UsbScanner s;
        s.bus = std::atoi(ReadLine(base + "busnum").c_str());
        s.address = std::atoi(ReadLine(base + "devnum").c_str());
        const std::string mbps = ReadLine(base + "speed");
        s.speed = mbps == "480" ? "USB 2.0 high speed" : (mbps == "12" ? "USB 1.1 full speed" : mbps + " Mbit/s");
        s.path = "usb:" + std::to_string(s.bus) + ":" + std::to_string(s.address);
        found.push_back(s);
    }
    closedir(dir);
    return found;
}

}  // namespace zrtscan
