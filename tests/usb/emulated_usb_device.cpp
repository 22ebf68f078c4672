#include "tests/usb/emulated_usb_device.h"

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>

namespace zrt::test {
namespace {

// Configuration 1 with one vendor-specific interface of three endpoints.
constexpr uint8_t kConfiguration[] = {
    9, 2, 39, 0, 1, 1, 0, 0xC0, 50,                                     // configuration
    9, 4, 0, 0, 3, 0xFF, 0, 0, 0,                                       // interface 0
    7, 5, EmulatedUsbDevice::kInterruptIn, 0x03, 8, 0, 16,              // interrupt in
    7, 5, EmulatedUsbDevice::kBulkOut, 0x02, 0x00, 0x02, 0,             // bulk out, 512
    7, 5, EmulatedUsbDevice::kBulkIn, 0x02, 0x00, 0x02, 0,              // bulk in, 512
};

std::string Hex(const uint8_t* bytes, size_t count) {
    std::string text;
    char pair[3];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        text += pair;
    }
    return text;
}

// The device as the kernel describes it in sysfs and the udev database: a
// high-speed device on port `address` of root hub `bus`.
std::string SysfsRecord(int bus, int address, const uint8_t (&device)[18]) {
    char head[512];
    std::snprintf(head, sizeof head,
                  "P: /devices/pci0000:00/0000:00:14.0/usb%d/%d-%d\n"
                  "N: bus/usb/%03d/%03d\n"
                  "E: SUBSYSTEM=usb\n"
                  "E: DEVTYPE=usb_device\n"
                  "E: DRIVER=usb\n"
                  "E: BUSNUM=%03d\n"
                  "E: DEVNUM=%03d\n"
                  "E: DEVNAME=/dev/bus/usb/%03d/%03d\n"
                  "A: idVendor=%02x%02x\\n\n"
                  "A: idProduct=%02x%02x\\n\n"
                  "A: busnum=%d\\n\n"
                  "A: devnum=%d\\n\n"
                  "A: speed=480\\n\n"
                  "A: bConfigurationValue=1\\n\n"
                  "A: bNumConfigurations=1\\n\n",
                  bus, bus, address, bus, address, bus, address, bus, address, device[9], device[8], device[11],
                  device[10], bus, address);
    return std::string(head) + "H: descriptors=" + Hex(device, 18) + Hex(kConfiguration, sizeof kConfiguration) +
           "\n";
}

// A reference to resolved ioctl memory, given back on every way out.
class Resolved {
public:
    Resolved(UMockdevIoctlData* parent, size_t offset, size_t length)
        : data_(umockdev_ioctl_data_resolve(parent, offset, length, nullptr)) {}
    ~Resolved() {
        if (data_) umockdev_ioctl_data_unref(data_);
    }
    Resolved(const Resolved&) = delete;
    Resolved& operator=(const Resolved&) = delete;

    explicit operator bool() const { return data_ != nullptr; }
    UMockdevIoctlData* get() const { return data_; }
    template <class T>
    T* as() const { return reinterpret_cast<T*>(data_->data); }

private:
    UMockdevIoctlData* data_;
};

}  // namespace

EmulatedUsbDevice::EmulatedUsbDevice(UMockdevTestbed* testbed, std::shared_ptr<sim::VirtualScanner> model,
                                     int bus, int address)
    : testbed_(testbed), model_(std::move(model)), bus_(bus), address_(address) {
    uint8_t device[18] = {};
    if (!model_->deviceDescriptor(device)) return;
    handler_ = umockdev_ioctl_base_new();
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(HandleIoctl), this);
    // The node must answer before the device appears, or an early open
    // would reach a plain file.
    if (!umockdev_testbed_attach_ioctl(testbed_, devicePath().c_str(), handler_, nullptr)) return;
    added_ = umockdev_testbed_add_from_string(testbed_, SysfsRecord(bus_, address_, device).c_str(), nullptr);
}

EmulatedUsbDevice::~EmulatedUsbDevice() {
    if (handler_) {
        umockdev_testbed_detach_ioctl(testbed_, devicePath().c_str(), nullptr);
        g_object_unref(handler_);
    }
    for (UMockdevIoctlData* urb : completed_) umockdev_ioctl_data_unref(urb);
}

std::string EmulatedUsbDevice::devicePath() const {
    char path[32];
    std::snprintf(path, sizeof path, "/dev/bus/usb/%03d/%03d", bus_, address_);
    return path;
}

void EmulatedUsbDevice::setClaimedElsewhere(bool claimed) {
    std::lock_guard<std::mutex> lock(mutex_);
    claimedElsewhere_ = claimed;
}

void EmulatedUsbDevice::setKernelHasDisconnectClaim(bool has) {
    std::lock_guard<std::mutex> lock(mutex_);
    disconnectClaim_ = has;
}

UsbTraffic EmulatedUsbDevice::traffic() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return traffic_;
}

// Runs on umockdev's worker thread while the caller's ioctl waits.
gboolean EmulatedUsbDevice::HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    static_cast<EmulatedUsbDevice*>(self)->handle(client);
    return TRUE;
}

void EmulatedUsbDevice::handle(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::lock_guard<std::mutex> lock(mutex_);
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES: {
            Resolved caps(arg, 0, sizeof(uint32_t));
            // One URB per transfer, of any length.
            *caps.as<uint32_t>() = USBDEVFS_CAP_BULK_SCATTER_GATHER |
                                                       USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                                       USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
            umockdev_ioctl_client_complete(client, 0, 0);
            return;
        }
        case USBDEVFS_GETDRIVER:
            // No kernel driver is bound to the interface.
            umockdev_ioctl_client_complete(client, -1, ENODATA);
            return;
        case USBDEVFS_IOCTL: {
            // Unbinding or rebinding a kernel driver: there is none to unbind.
            Resolved command(arg, 0, sizeof(usbdevfs_ioctl));
            const bool disconnect = command && command.as<usbdevfs_ioctl>()->ioctl_code == int(USBDEVFS_DISCONNECT);
            umockdev_ioctl_client_complete(client, disconnect ? -1 : 0, disconnect ? ENODATA : 0);
            return;
        }
        case USBDEVFS_DISCONNECT_CLAIM: {
            if (!disconnectClaim_) {
                // An older kernel: libusb falls back to GETDRIVER, the
                // driver unbinding and CLAIMINTERFACE.
                umockdev_ioctl_client_complete(client, -1, ENOTTY);
                return;
            }
            Resolved claim(arg, 0, sizeof(usbdevfs_disconnect_claim));
            const int error = claim ? claimInterface(claim.as<usbdevfs_disconnect_claim>()->interface) : EFAULT;
            umockdev_ioctl_client_complete(client, error ? -1 : 0, error);
            return;
        }
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE: {
            Resolved number(arg, 0, sizeof(unsigned int));
            const unsigned int interface = number ? *number.as<unsigned int>() : ~0u;
            const int error = request == USBDEVFS_CLAIMINTERFACE ? claimInterface(interface)
                                                                 : releaseInterface(interface);
            umockdev_ioctl_client_complete(client, error ? -1 : 0, error);
            return;
        }
        case USBDEVFS_SETINTERFACE:
        case USBDEVFS_CLEAR_HALT:
        case USBDEVFS_RESETEP:
            umockdev_ioctl_client_complete(client, 0, 0);
            return;
        case USBDEVFS_CONNECTINFO: {
            Resolved info(arg, 0, sizeof(usbdevfs_connectinfo));
            auto* connect = info.as<usbdevfs_connectinfo>();
            connect->devnum = static_cast<unsigned int>(address_);
            connect->slow = 0;
            umockdev_ioctl_client_complete(client, 0, 0);
            return;
        }
        case USBDEVFS_SUBMITURB:
            submit(client, arg);
            return;
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            reap(client, arg);
            return;
        case USBDEVFS_DISCARDURB:
            // Every URB completes when it is submitted; none is in flight.
            umockdev_ioctl_client_complete(client, -1, EINVAL);
            return;
        default:
            traffic_.unexpected.push_back(request);
            umockdev_ioctl_client_complete(client, -1, ENOTTY);
            return;
    }
}

// The errno of a claim, 0 on success.
int EmulatedUsbDevice::claimInterface(unsigned int interface) {
    if (interface != 0) return ENOENT;
    if (claimedElsewhere_) {
        ++traffic_.refusedBusy;
        return EBUSY;
    }
    claimed_ = true;
    ++traffic_.claims;
    return 0;
}

int EmulatedUsbDevice::releaseInterface(unsigned int interface) {
    if (interface != 0) return ENOENT;
    if (!claimed_) return EINVAL;
    claimed_ = false;
    ++traffic_.releases;
    return 0;
}

// Completes the URB at once: the scanner answers every transfer without
// delay, and an answer it refuses is a protocol error on the bus.
void EmulatedUsbDevice::submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    Resolved urbData(arg, 0, sizeof(usbdevfs_urb));
    if (!urbData) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    auto* urb = urbData.as<usbdevfs_urb>();
    const bool out = urb->endpoint == kBulkOut;
    if (urb->type != USBDEVFS_URB_TYPE_BULK || (!out && urb->endpoint != kBulkIn) || urb->buffer_length < 0) {
        ++traffic_.misdirected;
        umockdev_ioctl_client_complete(client, -1, ENOENT);
        return;
    }
    const size_t length = static_cast<size_t>(urb->buffer_length);
    Resolved buffer(urbData.get(), offsetof(usbdevfs_urb, buffer), length);
    uint8_t* bytes = buffer ? buffer.as<uint8_t>() : nullptr;
    size_t done = 0;
    const bool ok = out ? model_->bulkWrite(bytes, length, done) : model_->bulkRead(bytes, length, done);
    ++(out ? traffic_.bulkOut : traffic_.bulkIn);
    urb->status = ok ? 0 : -EPROTO;
    urb->actual_length = ok ? static_cast<int>(done) : 0;
    completed_.push_back(umockdev_ioctl_data_ref(urbData.get()));
    umockdev_ioctl_client_complete(client, 0, 0);
}

void EmulatedUsbDevice::reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    Resolved pointer(arg, 0, sizeof(void*));
    if (!pointer) {
        umockdev_ioctl_client_complete(client, -1, EFAULT);
        return;
    }
    if (completed_.empty()) {
        umockdev_ioctl_client_complete(client, -1, EAGAIN);
        return;
    }
    UMockdevIoctlData* urbData = completed_.front();
    completed_.erase(completed_.begin());
    umockdev_ioctl_data_set_ptr(pointer.get(), 0, urbData);
    umockdev_ioctl_data_unref(urbData);
    umockdev_ioctl_client_complete(client, 0, 0);
}

}  // namespace zrt::test
