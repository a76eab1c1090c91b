// Windows only: the real driver-setup and library-string calls of the os seam, as far as
// they are harmless on a test machine (nothing is installed or registered). Under Wine.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <gtest/gtest.h>

#include <array>

#include "base/unicode.h"
#include "engine/os/error_codes.h"
#include "engine/os/win32/win32_os.h"

namespace cv50::os {
namespace {

Handle handleOf(HMODULE module) {
    return static_cast<Handle>(reinterpret_cast<std::uintptr_t>(module));
}

TEST(Win32Drivers, SystemFolderAndItsNewDeviceLibrary) {
    const auto sys = makeWin32Os();
    const std::string folder = sys->systemFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_EQ(sys->pathKind(folder), PathKind::Folder);
    const Handle newDevice = sys->loadLibrary(folder + "newdev.dll");
    ASSERT_NE(newDevice, 0u);
    EXPECT_NE(sys->libraryFunction(newDevice, "UpdateDriverForPlugAndPlayDevicesA"), nullptr);
    sys->freeLibrary(newDevice);
}

TEST(Win32Drivers, LibraryStringsComeBackAsUtf8) {
    const auto sys = makeWin32Os();
    const Handle self = handleOf(GetModuleHandleW(nullptr));
    EXPECT_EQ(sys->resourceString(self, 2205), "Locate and install the driver software(&L)");
    EXPECT_EQ(sys->resourceString(self, 2206),
              base::utf8FromUtf16(u"\u67E5\u627E\u5E76\u5B89\u88C5\u9A71\u52A8\u7A0B\u5E8F"
                                  u"\u8F6F\u4EF6(&L)"));
    EXPECT_EQ(sys->resourceString(self, 4711), std::nullopt);
}

TEST(Win32Drivers, PresentDevicesAreListedToTheEnd) {
    const PresentDevices devices = makeWin32Os()->presentDevices();
    EXPECT_TRUE(devices.listed);
    EXPECT_EQ(devices.endError, error::kNoMoreItems);
}

TEST(Win32Drivers, TheShippedInfNamesItsClassAndADeviceCanBeMadeForIt) {
    const auto sys = makeWin32Os();
    const auto deviceClass = sys->infClass(sys->programFolder() + "Driver\\corvusb50.inf");
    ASSERT_TRUE(deviceClass.has_value()) << GetLastError();
    EXPECT_EQ(deviceClass->name, "USBDevice");
    // {88BAE032-5A81-49f0-BC3D-A4FF138216D6} as it lies in memory.
    const std::array<std::uint8_t, 16> guid = {0x32, 0xE0, 0xBA, 0x88, 0x81, 0x5A, 0xF0, 0x49,
                                               0xBC, 0x3D, 0xA4, 0xFF, 0x13, 0x82, 0x16, 0xD6};
    EXPECT_EQ(deviceClass->guid, guid);
    EXPECT_FALSE(sys->infClass(sys->programFolder() + "Driver\\missing.inf").has_value());

    // Made and dropped again without registering: nothing stays behind.
    const Handle set = sys->createDeviceInfoList(*deviceClass);
    ASSERT_NE(set, 0u);
    EXPECT_TRUE(sys->createDeviceInfo(set, *deviceClass)) << GetLastError();
    EXPECT_FALSE(sys->createDeviceInfo(set, *deviceClass));  // a set holds one
    EXPECT_TRUE(sys->setHardwareIds(set, {"USB\\Vid_071b&Pid_3201"})) << GetLastError();
    sys->destroyDeviceInfoList(set);
}

}  // namespace
}  // namespace cv50::os
