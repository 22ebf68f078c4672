// The engine through its libusb transport, against a scanner that umockdev
// emulates as a USB device: enumeration, descriptors, endpoint discovery,
// the interface claim and every bulk transfer take the real libusb path.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/api/export_support.h"
#include "engine/api/scanner_engine.h"
#include "engine/pipeline/scan_state.h"
#include "engine/transport/usb/usb_device_list.h"
#include "platform/shared_state.h"
#include "sim/sim_transport.h"
#include "sim/virtual_scanner.h"
#include "tests/platform/test_environment.h"
#include "tests/usb/emulated_usb_device.h"
#include "zrtl5617.h"

namespace zrt::test {
namespace {

const auto* const kEnvironment = InstallProcessEnvironment("usb");

constexpr int kBus = 3;
constexpr int kAddress = 7;

sim::SimOptions QuietScanner() {
    sim::SimOptions options;
    options.noise = 0;  // the same lines on every run, whatever the path
    return options;
}

class LibusbTransportTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tmpdir = std::getenv("TMPDIR");
        previousTmpdir = tmpdir ? tmpdir : "";
        testbed = umockdev_testbed_new();
        ASSERT_NE(testbed, nullptr);
        // Asks whether /sys is the test bed's, so only after creating it.
        if (!umockdev_in_mock_environment())
            GTEST_SKIP() << "needs umockdev's preload library: run under umockdev-wrapper";
        ResetEngine();
    }

    void TearDown() override {
        ::StopScanEx(0, 0);
        ::TerminateScanner(0);
        ResetEngine();
        devices.clear();
        for (auto& model : models) model->disconnect();
        if (testbed) g_object_unref(testbed);
        session.reset();
        setenv("TMPDIR", previousTmpdir.c_str(), 1);
    }

    // A fresh process as far as the engine can tell, with a temporary
    // directory of its own so that no shading cache carries over.
    void ResetEngine() {
        ::TerminateScanner(0);
        platform::SharedState().OriginOffset = 0;
        platform::SharedState().FAUScanPosition = 3;
        Process() = ProcessState{};
        Request() = ScanRequest{};
        Engine().config = ScanConfig{};
        session.reset();
        session = std::make_unique<ScratchDir>();
        setenv("TMPDIR", session->path().c_str(), 1);
    }

    // Plugs in a scanner; the model stays connected for the whole test. The
    // engine's sleeps advance the time of the scanner plugged in last.
    EmulatedUsbDevice& Plug(int address, sim::SimOptions options = QuietScanner()) {
        auto model = std::make_shared<sim::VirtualScanner>(options);
        std::string error;
        EXPECT_TRUE(model->connect(error)) << error;
        models.push_back(model);
        devices.push_back(std::make_unique<EmulatedUsbDevice>(testbed, model, kBus, address));
        EXPECT_TRUE(devices.back()->added());
        return *devices.back();
    }

    static uint16_t Status() {
        uint16_t code = 0;
        ::GetScannerStatus(0, &code);
        return code;
    }

    // Opens `path`, powers up, scans 150 pixels by 10 lines of colour at
    // 150 dpi and closes again; the lines are returned.
    static std::vector<uint8_t> ShortScan(const std::string& path) {
        std::vector<uint8_t> image;
        if (::FindScannerEx(0, path.c_str()) != 1 || ::InitializeScanner(0) != 1 || ::SetLamp(0, 1) != 1 ||
            ::DoCalibration(0, 0, 0, 600) != 1) {
            ADD_FAILURE() << path << ": set-up failed with " << std::hex << Status();
            return image;
        }
        ScanParameters p{};
        p.XResolution = p.YResolution = 150;
        p.XOrigin = p.YOrigin = 4800;
        p.Width = 4800;
        p.Height = 320;
        p.BitDepth = 24;
        if (::SetScanParameter(0, &p) != 1 || ::StartScanEx(0, 0) != 1) {
            ADD_FAILURE() << path << ": scan start failed with " << std::hex << Status();
            return image;
        }
        ::DataStatus data{};
        ::GetDataStatus(0, &data);
        EXPECT_EQ(data.LineBytes, 450u);
        EXPECT_EQ(data.LinesLeft, 10u);
        std::vector<uint8_t> line(data.LineBytes);
        while (data.LinesLeft > 0) {
            if (::ReadScan(0, 0, line.data(), data.LineBytes) != 1) {
                ADD_FAILURE() << path << ": read failed with " << std::hex << Status();
                return image;
            }
            image.insert(image.end(), line.begin(), line.end());
            ::GetDataStatus(0, &data);
        }
        EXPECT_EQ(::StopScanEx(0, 0), 1) << std::hex << Status();
        EXPECT_EQ(::TerminateScanner(0), 1);
        return image;
    }

    UMockdevTestbed* testbed = nullptr;
    std::vector<std::shared_ptr<sim::VirtualScanner>> models;
    std::vector<std::unique_ptr<EmulatedUsbDevice>> devices;
    std::unique_ptr<ScratchDir> session;
    std::string previousTmpdir;
};

TEST_F(LibusbTransportTest, ScanThroughUsbMatchesTheSimPath) {
    const std::vector<uint8_t> reference = ShortScan("sim:noise=0");
    ASSERT_EQ(reference.size(), 4500u);
    size_t lit = 0;
    for (uint8_t b : reference) lit += b != 0;
    ASSERT_GT(lit, reference.size() / 2);
    ResetEngine();

    EmulatedUsbDevice& scanner = Plug(kAddress);
    const std::vector<uint8_t> image = ShortScan("usb");
    EXPECT_TRUE(image == reference) << "the usb path delivered other lines than the sim path";

    const UsbTraffic traffic = scanner.traffic();
    EXPECT_GT(traffic.bulkOut, 1000u);
    EXPECT_GT(traffic.bulkIn, 1000u);
    EXPECT_EQ(traffic.misdirected, 0u);
    EXPECT_EQ(traffic.claims, 1);
    EXPECT_EQ(traffic.releases, 1) << "TerminateScanner must hand the interface back";
    EXPECT_TRUE(traffic.unexpected.empty()) << std::hex << traffic.unexpected.front();
}

TEST_F(LibusbTransportTest, BusAddressAndDeviceNodeNameTheScanner) {
    Plug(kAddress + 1);  // a second scanner, which the paths must not open
    EmulatedUsbDevice& scanner = Plug(kAddress);
    struct Case {
        std::string path;
        bool opens;
    };
    const Case cases[] = {
        {"usb:3:7", true},
        {"/dev/bus/usb/003/007", true},
        {"usb:3:9", false},
        {"/dev/bus/usb/004/007", false},
    };
    int opened = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ResetEngine();
        ASSERT_EQ(::FindScannerEx(0, c.path.c_str()), c.opens ? 1 : 0);
        EXPECT_EQ(Status(), c.opens ? status::Ok : status::OpenFailed);
        opened += c.opens;
        ::TerminateScanner(0);
        EXPECT_EQ(scanner.traffic().claims, opened);
        EXPECT_EQ(scanner.traffic().releases, opened);
    }
    EXPECT_EQ(devices[0]->traffic().claims, 0);
}

TEST_F(LibusbTransportTest, AnotherProductOrABusyInterfaceFailsTheOpen) {
    sim::SimOptions other = QuietScanner();
    other.productId = 0x3C43;
    EmulatedUsbDevice& stranger = Plug(kAddress + 1, other);
    EmulatedUsbDevice& scanner = Plug(kAddress);
    scanner.setClaimedElsewhere(true);
    // The claim goes through disconnect-and-claim, or on an older kernel
    // through CLAIMINTERFACE; both answer EBUSY.
    for (bool disconnectClaim : {true, false}) {
        scanner.setKernelHasDisconnectClaim(disconnectClaim);
        for (const char* path : {"usb", "usb:3:7", "usb:3:8", "/dev/bus/usb/003/008"}) {
            SCOPED_TRACE(std::string(path) + (disconnectClaim ? "" : ", CLAIMINTERFACE only"));
            ResetEngine();
            EXPECT_EQ(::FindScannerEx(0, path), 0);
            EXPECT_EQ(Status(), status::OpenFailed);
            EXPECT_EQ(Process().DeviceOpened, 0u);
        }
    }
    EXPECT_EQ(scanner.traffic().refusedBusy, 4) << "usb and usb:3:7 under both kernels";
    EXPECT_EQ(stranger.traffic().claims, 0);
    EXPECT_EQ(stranger.traffic().bulkOut + scanner.traffic().bulkOut, 0u);
    EXPECT_TRUE(scanner.traffic().unexpected.empty()) << std::hex << scanner.traffic().unexpected.front();

    // Once the other program lets go, the same scanner opens.
    scanner.setClaimedElsewhere(false);
    ResetEngine();
    EXPECT_EQ(::FindScannerEx(0, "usb"), 1) << std::hex << Status();
}

TEST_F(LibusbTransportTest, ListingsShowTheEmulatedScanner) {
    Plug(kAddress);
    const std::vector<AttachedScanner> attached = ListAttachedScanners();
    ASSERT_EQ(attached.size(), 1u);
    EXPECT_EQ(attached[0].bus, kBus);
    EXPECT_EQ(attached[0].address, kAddress);
    EXPECT_EQ(attached[0].speed, "high");
    EXPECT_EQ(attached[0].path, "usb:3:7");

#if defined(ZRT_ZRTSCAN_PATH)
    FILE* pipe = popen("'" ZRT_ZRTSCAN_PATH "' devices", "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char chunk[256];
    while (size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) output.append(chunk, n);
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_NE(output.find("usb:3:7          USB bus 3 address 7, USB 2.0 high speed"), std::string::npos) << output;
#endif
}

}  // namespace
}  // namespace zrt::test
