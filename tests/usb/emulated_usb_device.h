// A USB device that umockdev emulates for the libusb transport: its sysfs
// entry (descriptors, bus number, address, link speed) and its usbfs node,
// whose ioctls a handler in this process answers. Bulk URBs on the two
// endpoints of its interface go to a virtual scanner.
#pragma once

#include <umockdev.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/virtual_scanner.h"

namespace zrt::test {

// What the handler saw; read by the test after the engine's calls return.
struct UsbTraffic {
    uint64_t bulkOut = 0;          // URBs forwarded to the scanner
    uint64_t bulkIn = 0;
    uint64_t misdirected = 0;      // URBs for an endpoint the interface lacks
    int claims = 0;                // successful claims of interface 0
    int releases = 0;
    int refusedBusy = 0;           // claims answered with EBUSY
    std::vector<unsigned long> unexpected;  // ioctl requests not emulated
};

class EmulatedUsbDevice {
public:
    // The scanner's interface: an interrupt-in endpoint ahead of the two bulk
    // endpoints, none of them at the addresses a guess would pick.
    static constexpr uint8_t kBulkOut = 0x03;
    static constexpr uint8_t kBulkIn = 0x85;
    static constexpr uint8_t kInterruptIn = 0x81;

    // Adds the device to `testbed` at bus `bus`, address `address`, with the
    // descriptor of `model` (which must be connected).
    EmulatedUsbDevice(UMockdevTestbed* testbed, std::shared_ptr<sim::VirtualScanner> model, int bus,
                      int address);
    ~EmulatedUsbDevice();
    EmulatedUsbDevice(const EmulatedUsbDevice&) = delete;
    EmulatedUsbDevice& operator=(const EmulatedUsbDevice&) = delete;

    bool added() const { return added_; }
    std::string devicePath() const;  // /dev/bus/usb/BBB/DDD

    // Another program holds the interface: every claim fails with EBUSY.
    void setClaimedElsewhere(bool claimed);
    // Whether the emulated kernel offers the single disconnect-and-claim
    // request, as current kernels do, or only CLAIMINTERFACE.
    void setKernelHasDisconnectClaim(bool has);
    UsbTraffic traffic() const;

private:
    static gboolean HandleIoctl(UMockdevIoctlBase* base, UMockdevIoctlClient* client, gpointer self);
    void handle(UMockdevIoctlClient* client);
    void submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    int claimInterface(unsigned int interface);
    int releaseInterface(unsigned int interface);

    UMockdevTestbed* testbed_;
    std::shared_ptr<sim::VirtualScanner> model_;
    int bus_;
    int address_;
    UMockdevIoctlBase* handler_ = nullptr;
    bool added_ = false;

    mutable std::mutex mutex_;
    bool claimedElsewhere_ = false;
    bool disconnectClaim_ = true;
    bool claimed_ = false;
    std::vector<UMockdevIoctlData*> completed_;  // URBs done, not yet reaped, oldest first
    UsbTraffic traffic_;
};

}  // namespace zrt::test
