// CVInstallDriver and CVIsCorvUsbPlug against simulated PCs that have never had the
// CorvUsb driver: what the engine does with the system's windows, the device list and the
// driver package, and whether the player works afterwards.
#include "engine/device/driver_install.h"

#include <gtest/gtest.h>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/api/exports.h"
#include "engine/api/search_exports.h"
#include "engine/device/tests/driver_fixture.h"
#include "engine/device/wait.h"
#include "sim/system_dialogs.h"

namespace cv50::device {
namespace {

using testing::Break;
using testing::DriverTest;
using testing::Pc;
using Kind = sim::SimOs::WindowCall::Kind;

// The player on port 1 answers the USB command library there. The wait ends as soon as it
// does, so only a player that stays unusable waits out the whole timeout.
bool loaderWorksOnPort1(unsigned short timeoutSeconds = 600) {
    DEVICE_INFO device{};
    std::snprintf(device.layer, sizeof device.layer, "1");
    return WaitForDevice(device, Loader, timeoutSeconds, Walk::Usb20) == 1 &&
           CVU_TestUnitReady(device.devicePath, nullptr, nullptr) == 0;
}

std::string newHardwareTitle(const std::string& windows) {
    return sim::newHardwareDialog(windows == "5.1" ? os::WindowsVersion{5, 1}
                                                   : os::WindowsVersion{10, 0})
        .title;
}

TEST_F(DriverTest, MissingInfGivesThreeWithoutTouchingAnyWindow) {
    for (const char* path : {"/no/such/folder/corvusb50.inf", "", static_cast<const char*>(nullptr)}) {
        start(Pc{});
        const std::string title = newHardwareTitle("10.0");
        ASSERT_EQ(sim().windowTitles(), std::vector<std::string>{title});
        std::string text = path ? path : "";
        EXPECT_EQ(CVInstallDriver(path ? text.data() : nullptr), kDriverInfMissing) << text;
        EXPECT_TRUE(log_.contains("Error:No Found Inf,PathFileExists failed"));
        EXPECT_TRUE(sim().windowCalls().empty()) << text;
        EXPECT_EQ(sim().windowTitles(), std::vector<std::string>{title});
        EXPECT_TRUE(sim().driverUpdates().empty());
    }
}

struct WindowsCase {
    const char* windows;
    bool signingQuestion;  // asked from Windows 6 on
};

class DriverlessPlayer : public DriverTest, public ::testing::WithParamInterface<WindowsCase> {};

TEST_P(DriverlessPlayer, IsListedButUnusableUntilTheDriverIsInstalled) {
    Pc pc;
    pc.windows = GetParam().windows;
    if (GetParam().signingQuestion) pc.speed = 10;
    start(pc);
    const std::string title = newHardwareTitle(pc.windows);

    // An unknown device: in the device list, but neither configured nor to be opened.
    EXPECT_EQ(CVIsCorvUsbPlug(), 1);
    SEARCH_RESULT found{};
    EXPECT_EQ(ScanCorvUsb(&found), 0);
    const std::string path = sim().withWorld([](sim::UsbWorld& w) { return w.players()[0]->devicePath; });
    ASSERT_FALSE(path.empty());
    EXPECT_NE(CVU_TestUnitReady(path.c_str(), nullptr, nullptr), 0);
    EXPECT_EQ(sim().windowTitles(), std::vector<std::string>{title});

    std::string inf = shippedInf();
    EXPECT_EQ(CVInstallDriver(inf.data()), kDriverInstalled);
    for (const char* line : {"INFO:Found device", "INFO:Start to install driver", "INFO:Install driver OK"})
        EXPECT_TRUE(log_.contains(line)) << line;
    EXPECT_FALSE(log_.contains("INFO:Install root driver"));
    EXPECT_TRUE(windowCall(Kind::Close, title));
    EXPECT_TRUE(sim().windowTitles().empty());
    EXPECT_EQ(windowCall(Kind::Click, "(&I)"), GetParam().signingQuestion);

    const auto updates = sim().driverUpdates();
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].hardwareId, "USB\\Vid_071b&Pid_3201&Rev_0100");
    EXPECT_EQ(updates[0].infPath, inf);
    EXPECT_TRUE(updates[0].succeeded);

    // It re-enumerates with the driver and answers.
    EXPECT_TRUE(loaderWorksOnPort1());
}

INSTANTIATE_TEST_SUITE_P(Windows, DriverlessPlayer,
                         ::testing::Values(WindowsCase{"5.1", false}, WindowsCase{"10.0", true}));

TEST_F(DriverTest, WithoutAnyCorvUsbDeviceTheDriverGoesOntoARootEnumeratedDevice) {
    const struct {
        const char* windows;
        double speed;
        std::uint64_t searchMs;  // closing rounds that find no window, then the signing rounds
    } cases[] = {{"5.1", 500, 20 * 500}, {"10.0", 10, 40 * 200 + 10 * 500}};
    for (const auto& c : cases) {
        Pc pc;
        pc.windows = c.windows;
        pc.speed = c.speed;
        pc.player = R"({"mode": "loader", "present": false})";
        start(pc);
        EXPECT_EQ(CVIsCorvUsbPlug(), 0);
        std::string inf = shippedInf();
        const std::uint64_t began = os::current().tickMs();
        EXPECT_EQ(CVInstallDriver(inf.data()), kDriverInstalled) << c.windows;
        EXPECT_GE(os::current().tickMs() - began, c.searchMs) << c.windows;
        for (const char* line : {"INFO:Install root driver", "INFO:Start to install plug and play device",
                                 "INFO:install OK", "INFO:Install driver OK"})
            EXPECT_TRUE(log_.contains(line)) << line;
        EXPECT_FALSE(log_.contains("INFO:Found device"));
        EXPECT_FALSE(windowCall(Kind::Close, ""));

        EXPECT_TRUE(presentWithIds({"USB\\Vid_071b&Pid_3201"})) << c.windows;
        // The shorter id is not a CorvUsb device.
        EXPECT_EQ(CVIsCorvUsbPlug(), 0);
        const auto updates = sim().driverUpdates();
        ASSERT_EQ(updates.size(), 1u);
        EXPECT_EQ(updates[0].hardwareId, "USB\\Vid_071b&Pid_3201");

        // A player that arrives now finds its driver in place.
        sim().withWorld([&](sim::UsbWorld& w) {
            w.arrive(*w.players()[0], sim::PlayerMode::Loader, os::current().tickMs());
            return 0;
        });
        EXPECT_TRUE(loaderWorksOnPort1()) << c.windows;
        EXPECT_TRUE(sim().windowTitles().empty());
    }
}

TEST_F(DriverTest, ScriptedRestartRequestsAndFailingInstalls) {
    const struct {
        const char* install;
        bool player;
        int result;
        std::vector<const char*> lines, absent;
        bool usable;
    } cases[] = {
        {"restart", true, kDriverInstalledRestart, {"INFO:Start to install driver"},
         {"INFO:Install driver OK"}, true},
        {"restart", false, kDriverInstalledRestart, {"INFO:install OK"}, {"INFO:Install driver OK"},
         false},
        {"fail", true, kDriverInstallFailed, {"Error: Install driver failed"},
         {"INFO:Install driver OK"}, false},
        {"fail", false, kDriverInstallFailed,
         {"Error:Install failed,errCode(0x1f)", "Error:Install root driver failed"},
         {"INFO:install OK", "Error:Remove device failed"}, false},
    };
    for (const auto& c : cases) {
        cv50::log::disable();
        cv50::testing::LogCapture log;
        Pc pc;
        pc.windows = "5.1";
        pc.install = c.install;
        if (!c.player) pc.player.clear();
        start(pc);
        std::string inf = shippedInf();
        const std::string label = std::string(c.install) + (c.player ? " with" : " without");
        EXPECT_EQ(CVInstallDriver(inf.data()), c.result) << label;
        for (const char* line : c.lines) EXPECT_TRUE(log.contains(line)) << label << ": " << line;
        for (const char* line : c.absent) EXPECT_FALSE(log.contains(line)) << label << ": " << line;
        if (c.player) {
            EXPECT_EQ(loaderWorksOnPort1(c.usable ? 600 : 5), c.usable) << label;
        } else {
            // A root device whose install failed is removed again.
            EXPECT_EQ(presentWithIds({"USB\\Vid_071b&Pid_3201"}), c.result != kDriverInstallFailed)
                << label;
        }
    }
}

TEST_F(DriverTest, AnInfWithoutTheDevicesIdLeavesNoRootDeviceBehind) {
    Pc pc;
    pc.player.clear();
    start(pc);
    sim::testing::TempFolder folder;
    const std::string other = folder.path() + "/other.inf";
    std::ofstream(other) << "[Version]\nSignature=\"$Windows NT$\"\nClass=USBDevice\n"
                            "ClassGuid={88BAE032-5A81-49f0-BC3D-A4FF138216D6}\n"
                            "[Manufacturer]\nx=Models\n[Models]\nMouse=Install,USB\\Vid_046d&Pid_c52b\n"
                            "[Install]\n";
    std::string path = other;
    EXPECT_EQ(CVInstallDriver(path.data()), kDriverInstallFailed);
    EXPECT_TRUE(log_.contains("Error:Install failed,errCode(0xe0000203)"));
    EXPECT_TRUE(log_.contains("Error:Install root driver failed"));
    EXPECT_FALSE(presentWithIds({"USB\\Vid_071b&Pid_3201"}));
}

TEST_F(DriverTest, IsCorvUsbPlugLooksAtEveryPresentDeviceWhateverItsDriver) {
    const struct {
        std::string player;
        bool driverInstalled;
        Break broken;
        int plugged;
    } cases[] = {
        {R"({"mode": "loader"})", false, Break::None, 1},
        {R"({"mode": "loader"})", true, Break::None, 1},
        {R"({"mode": "maskrom"})", false, Break::None, 1},
        {R"({"mode": "msc"})", false, Break::None, 0},
        {"", false, Break::None, 0},
        {R"({"mode": "loader"})", false, Break::DeviceList, 0},
        {R"({"mode": "loader"})", false, Break::ThrowInDeviceList, 0},
    };
    for (const auto& c : cases) {
        Pc pc;
        pc.player = c.player;
        pc.driverInstalled = c.driverInstalled;
        start(pc, c.broken);
        EXPECT_EQ(CVIsCorvUsbPlug(), c.plugged) << c.player << " " << static_cast<int>(c.broken);
    }
    EXPECT_TRUE(log_.contains("Error:FindExistingDevice,SetupDiGetClassDevs failed"));
    EXPECT_TRUE(log_.contains("ERROR:CVIsCorvUsbPlug failed,exception(std::bad_alloc)"));
}

}  // namespace
}  // namespace cv50::device
