// Every failure of the driver installation and the code and line it gives, one broken call
// of the system at a time.
#include <gtest/gtest.h>

#include "engine/api/exports.h"
#include "engine/device/driver_install.h"
#include "engine/device/tests/driver_fixture.h"

namespace cv50::device {
namespace {

using testing::Break;
using testing::DriverTest;
using testing::Pc;

struct FailureCase {
    Break broken;
    const char* windows;
    bool player;  // a CorvUsb device is present
    int result;
    std::vector<const char*> lines;
    bool updateAsked;  // the driver update of the new-device library was called
};

class DriverFailure : public DriverTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DriverFailure, GivesItsCodeAndLogLineAndLeavesNoRootDevice) {
    const FailureCase& c = GetParam();
    Pc pc;
    pc.windows = c.windows;
    if (!c.player) pc.player.clear();
    start(pc, c.broken);
    std::string inf = shippedInf();
    EXPECT_EQ(CVInstallDriver(inf.data()), c.result);
    for (const char* line : c.lines) EXPECT_TRUE(log_.contains(line)) << line;
    EXPECT_EQ(!sim().driverUpdates().empty(), c.updateAsked);
    EXPECT_FALSE(presentWithIds({"USB\\Vid_071b&Pid_3201"}));
    EXPECT_FALSE(log_.contains("INFO:Install driver OK"));
}

INSTANTIATE_TEST_SUITE_P(
    Calls, DriverFailure,
    ::testing::Values(
        FailureCase{Break::WindowsVersion, "10.0", true, kDriverNoWindowsVersion,
                    {"Error:GetSystemVersion failed"}, false},
        FailureCase{Break::NewDeviceLibrary, "10.0", true, kDriverNoNewDeviceLibrary,
                    {"Error:No found newdev.dll"}, false},
        FailureCase{Break::NewDeviceLibrary, "5.1", true, kDriverNoNewDeviceLibrary,
                    {"Error:No found newdev.dll"}, false},
        FailureCase{Break::WindowList, "5.1", true, kDriverCloseWindowsFailed,
                    {"Error:CloseWindowsProc failed"}, false},
        FailureCase{Break::WindowList, "10.0", true, kDriverNewHardwareDialog,
                    {"Error:CloseFoundDlg_NHW failed"}, false},
        FailureCase{Break::FindFile, "5.1", true, kDriverInstallFailed,
                    {"Error:FindFirstFile failed"}, false},
        FailureCase{Break::DeviceList, "5.1", false, kDriverInstallFailed,
                    {"Error:FindExistingDevice,SetupDiGetClassDevs failed",
                     "Error:An unknown failure from FindExistingDevice"},
                    false},
        FailureCase{Break::DeviceEnumeration, "5.1", false, kDriverInstallFailed,
                    {"Error:An unknown failure from FindExistingDevice"}, false},
        FailureCase{Break::InfClass, "5.1", false, kDriverInstallFailed,
                    {"Error:GetINFClass failed", "Error:Install root driver failed"}, false},
        FailureCase{Break::CreateList, "5.1", false, kDriverInstallFailed,
                    {"Error:CreateDeviceInfoList failed", "Error:Install root driver failed"},
                    false},
        FailureCase{Break::CreateInfo, "5.1", false, kDriverInstallFailed,
                    {"Error:CreateDeviceInfo failed", "Error:Install root driver failed"}, false},
        FailureCase{Break::HardwareIds, "5.1", false, kDriverInstallFailed,
                    {"Error:SetDeviceRegistryProperty failed", "Error:Install root driver failed"},
                    false},
        FailureCase{Break::Register, "5.1", false, kDriverInstallFailed,
                    {"Error:Register device failed", "Error:Install root driver failed"}, false},
        // The install runs on a worker from Windows 6 on: what it throws reaches the export.
        FailureCase{Break::ThrowInDeviceList, "10.0", true, kDriverInstallFailed,
                    {"ERROR:CVInstallDriver failed,exception(std::bad_alloc)"}, false}));

TEST_F(DriverTest, ARootDeviceThatCannotBeRemovedIsReported) {
    Pc pc;
    pc.windows = "5.1";
    pc.player.clear();
    pc.install = "fail";
    start(pc, Break::Remove);
    std::string inf = shippedInf();
    EXPECT_EQ(CVInstallDriver(inf.data()), kDriverInstallFailed);
    EXPECT_TRUE(log_.contains("Error:Install failed,errCode(0x1f)"));
    EXPECT_TRUE(log_.contains("Error:Remove device failed"));
    EXPECT_TRUE(log_.contains("Error:Install root driver failed"));
}

TEST_F(DriverTest, SystemStringsThatAreMissingSelectNoWindow) {
    // Unread strings would make an empty title and no child text: every untitled window
    // would match. None is touched, and the install goes on.
    Pc pc;
    pc.windows = "5.1";
    start(pc, Break::Strings);
    sim().openWindow("", {{"", false}, {"OK", true}});
    std::string inf = shippedInf();
    EXPECT_EQ(CVInstallDriver(inf.data()), kDriverInstalled);
    EXPECT_TRUE(sim().windowCalls().empty());
    EXPECT_EQ(sim().windowTitles().size(), 2u);  // the untitled one and the new-hardware window
}

}  // namespace
}  // namespace cv50::device
