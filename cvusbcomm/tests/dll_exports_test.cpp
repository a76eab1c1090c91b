// A Windows host of cvusbComm.dll: the twelve functions resolve by name and answer.
#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(CvusbCommDll, ExportsTheTwelveFunctionsByName) {
    HMODULE dll = LoadLibraryA("cvusbComm.dll");
    ASSERT_NE(dll, nullptr) << "LoadLibrary failed: " << GetLastError();
    for (const char* name :
         {"CVU_ReadFlashInfo", "CVU_ReadChipInfo", "CVU_TestBadBlock", "CVU_EraseBlock",
          "CVU_ReadSector", "CVU_WriteSector", "CVU_ReadLBA", "CVU_WriteLBA",
          "CVU_EraseSystemDisk", "CVU_TestUnitReady", "CVU_SetResetFlag", "CVU_ResetDevice"})
        EXPECT_NE(GetProcAddress(dll, name), nullptr) << name;

    using ReadSectorFn = int (*)(const char*, unsigned, unsigned, int, unsigned char*);
    using TestUnitReadyFn = int (*)(const char*, unsigned*, unsigned*);
    auto readSector = reinterpret_cast<ReadSectorFn>(
        reinterpret_cast<void*>(GetProcAddress(dll, "CVU_ReadSector")));
    auto testUnitReady = reinterpret_cast<TestUnitReadyFn>(
        reinterpret_cast<void*>(GetProcAddress(dll, "CVU_TestUnitReady")));
    ASSERT_TRUE(readSector && testUnitReady);
    unsigned char buffer[21 * 528];
    EXPECT_EQ(readSector("\\\\?\\usb#none", 0, 21, 1, buffer), -3);  // checked before sending
    // No such device on this machine: the pipes do not open.
    EXPECT_EQ(testUnitReady("\\\\?\\usb#vid_071b&pid_3201#none#{a5dcbf10-6530-11d2-901f-00c04fb951ed}",
                            nullptr, nullptr),
              -1);
    FreeLibrary(dll);
}

}  // namespace
