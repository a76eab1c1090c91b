// A Windows host of CV50DLL.dll in a process whose CV50_SIM names a scenario: the
// library finds the simulated players through cv50sim.dll.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "engine/api/records.h"

namespace {

TEST(DllSimHost, ScansAndWaitsSeeTheScenarioOfTheEnvironment) {
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    const std::string scenario =
        std::string(temp) + "cv50-dll-sim-" + std::to_string(GetCurrentProcessId()) + ".json";
    std::ofstream(scenario) << R"({"speed": 50, "controllers": [{"ports": [
        {"player": {"mode": "loader"}},
        {"hub": {"ports": [null, {"player": {"mode": "msc",
            "script": [{"at": 1, "action": "switch", "mode": "loader"}]}}]}}]}]})";
    ASSERT_EQ(_putenv_s("CV50_SIM", scenario.c_str()), 0);

    HMODULE dll = LoadLibraryA("CV50DLL.dll");
    ASSERT_NE(dll, nullptr);
    using ScanFn = int (*)(SEARCH_RESULT*);
    using WaitFn = int (*)(SEARCH_RESULT*, CV_DEVICE_TYPE, unsigned short);
    auto scanUsb = reinterpret_cast<ScanFn>(reinterpret_cast<void*>(GetProcAddress(dll, "ScanCorvUsb")));
    auto scanMsc = reinterpret_cast<ScanFn>(reinterpret_cast<void*>(GetProcAddress(dll, "ScanCorvMsc")));
    auto wait = reinterpret_cast<WaitFn>(reinterpret_cast<void*>(GetProcAddress(dll, "WaitCVDevice")));
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

    FreeLibrary(dll);
    DeleteFileA(scenario.c_str());
}

}  // namespace
