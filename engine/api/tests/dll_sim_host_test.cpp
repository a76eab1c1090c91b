// A Windows host of CV50DLL.dll in a process whose CV50_SIM names a scenario: the
// library finds the simulated players through cv50sim.dll.
#define NOMINMAX
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/device/records.h"
#include "engine/flash/flash_device.h"
#include "engine/flash/serial_number.h"
#include "engine/os/os.h"
#include "sim/testing/scenario_builder.h"
#include "sim/testing/test_files.h"

namespace {

using cv50::sim::testing::hub;
using cv50::sim::testing::Mode;
using cv50::sim::testing::Nand;
using cv50::sim::testing::patternBytes;
using cv50::sim::testing::Player;
using cv50::sim::testing::ScenarioBuilder;
using cv50::sim::testing::writeFile;

// Files of this process in the temp folder: "<temp>cv50-dll-<pid>-<name>".
std::string tempFile(const std::string& name) {
    char temp[MAX_PATH];
    if (GetTempPathA(MAX_PATH, temp) == 0) return {};
    return std::string(temp) + "cv50-dll-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

// Makes `world` the scenario CV50_SIM names. This program shares cv50sim.dll with the
// library, so a world of an earlier test would live on: it is dropped, and the next use
// makes the new one.
std::string useScenario(const ScenarioBuilder& world) {
    const std::string scenario = tempFile("scenario.json");
    cv50::sim::testing::writeTextFile(scenario, world.text());
    EXPECT_EQ(_putenv_s("CV50_SIM", scenario.c_str()), 0);
    (void)cv50::os::install(nullptr);
    return scenario;
}

template <typename Fn>
Fn exported(HMODULE dll, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

TEST(DllSimHost, ScansAndWaitsSeeTheScenarioOfTheEnvironment) {
    const std::string scenario = useScenario(ScenarioBuilder().speed(50).ports(
        {Player(Mode::Loader), hub({nullptr, Player(Mode::Msc).switchAt(1, Mode::Loader)})}));

    HMODULE dll = LoadLibraryA("CV50DLL.dll");
    ASSERT_NE(dll, nullptr);
    using ScanFn = int (*)(SEARCH_RESULT*);
    using WaitFn = int (*)(SEARCH_RESULT*, CV_DEVICE_TYPE, unsigned short);
    auto scanUsb = exported<ScanFn>(dll, "ScanCorvUsb");
    auto scanMsc = exported<ScanFn>(dll, "ScanCorvMsc");
    auto wait = exported<WaitFn>(dll, "WaitCVDevice");
    ASSERT_TRUE(scanUsb && scanMsc && wait);

    SEARCH_RESULT r{};
    ASSERT_EQ(scanUsb(&r), 1);
    EXPECT_STREQ(r.devices[0].layer, "1");
    EXPECT_EQ(r.devices[0].type, Loader);
    ASSERT_EQ(scanMsc(&r), 1);
    EXPECT_STREQ(r.devices[0].layer, "2-2");
    EXPECT_EQ(r.devices[0].driveLetter, 'D');

    DEVICE_INFO record{};
    std::strcpy(record.layer, "2-2");
    SEARCH_RESULT list{1, &record};
    EXPECT_EQ(wait(&list, Loader, 10), 1);
    EXPECT_EQ(record.type, Loader);
    EXPECT_EQ(record.status, StatusOk);

    // The upgrade flows, the staged calls and the device-record family, the last by
    // their decorated names.
    for (const char* name :
         {"MD_Upgrade", "MD_DownImage", "MD_CopyData", "MD_Upgrade_Prepare", "MD_Upgrade_Work",
          "MD_Upgrade_Format", "MD_Upgrade_Copy", "_Z13CV_FindDeviceR11DEVICE_INFOi",
          "_Z13CV_WaitDeviceR11DEVICE_INFO14CV_DEVICE_TYPEti",
          "_Z16CV_SwitchCorvUsbRK11DEVICE_INFO",
          "_Z19CV_GetDeviceVersionRK11DEVICE_INFOP13_CORV_VERSION",
          "_Z14CV_ResetDeviceRK11DEVICE_INFO", "_Z16CV_DownloadImageRK11DEVICE_INFOPc",
          "_Z11CV_CopyDataR11DEVICE_INFOPcS1_ti", "_Z10CV_UpgradeRK11DEVICE_INFOmmmPcii",
          "_Z11CV_EraseIDBR11DEVICE_INFOtiPc"})
        EXPECT_NE(GetProcAddress(dll, name), nullptr) << name;
    using FindFn = int (*)(DEVICE_INFO&, int);
    auto find = reinterpret_cast<FindFn>(
        reinterpret_cast<void*>(GetProcAddress(dll, "_Z13CV_FindDeviceR11DEVICE_INFOi")));
    ASSERT_TRUE(find);
    DEVICE_INFO first{};
    EXPECT_EQ(find(first, 0), 2);
    EXPECT_STREQ(first.layer, "1");
    EXPECT_EQ(first.type, Loader);

    FreeLibrary(dll);
    DeleteFileA(scenario.c_str());
}

// The library has no export for the MAC: this program's own engine puts one on with the
// first ID Block write, in the same simulated world, and WriteSN must keep it.
TEST(DllSimHost, SerialNumberWrittenThroughTheLibraryReadsBackAndTheMacStays) {
    const std::string scenario = useScenario(ScenarioBuilder().speed(200).port(
        Player(Mode::Loader).nand(Nand().chipSectors(32768).blockSectors(32))));
    const std::string data = tempFile("data.bin"), boot = tempFile("FlashBoot.bin");
    writeFile(data, patternBytes(300, 0x11));
    writeFile(boot, patternBytes(3000, 0x42));

    HMODULE dll = LoadLibraryA("CV50DLL.dll");
    ASSERT_NE(dll, nullptr);
    using ScanFn = int (*)(SEARCH_RESULT*);
    using SnFn = int (*)(DEVICE_INFO*, unsigned char*, int);
    auto scanUsb = exported<ScanFn>(dll, "ScanCorvUsb");
    auto readSn = exported<SnFn>(dll, "ReadSN");
    auto writeSn = exported<SnFn>(dll, "WriteSN");
    ASSERT_TRUE(scanUsb && readSn && writeSn);
    SEARCH_RESULT r{};
    ASSERT_EQ(scanUsb(&r), 1);
    DEVICE_INFO loader = r.devices[0];
    ASSERT_EQ(loader.type, Loader);

    const std::array<std::uint8_t, 6> mac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    cv50::flash::CFlashDevice first;
    first.SetDevice(loader.devicePath);
    first.SetBootFiles(data, boot);
    first.hasMac = 1;
    first.mac = mac;
    ASSERT_EQ(first.WriteIDBlock(false, true), 0);

    std::vector<unsigned char> sn(24);
    for (std::size_t i = 0; i < sn.size(); ++i) sn[i] = static_cast<unsigned char>('A' + i);
    EXPECT_EQ(writeSn(&loader, sn.data(), static_cast<int>(sn.size())), 1);
    std::vector<unsigned char> back(sn.size(), 0);
    EXPECT_EQ(readSn(&loader, back.data(), static_cast<int>(back.size())), 1);
    EXPECT_EQ(back, sn);
    std::vector<unsigned char> shorter(sn.size() - 1, 0);
    EXPECT_EQ(readSn(&loader, shorter.data(), static_cast<int>(shorter.size())), 0);

    const auto stored = cv50::flash::ReadStoredSerialNumber(loader.devicePath);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->snData, std::vector<std::uint8_t>(sn.begin(), sn.end()));
    EXPECT_TRUE(stored->hasMac);
    EXPECT_EQ(stored->mac, mac);

    FreeLibrary(dll);
    for (const std::string& f : {scenario, data, boot}) DeleteFileA(f.c_str());
}

}  // namespace
