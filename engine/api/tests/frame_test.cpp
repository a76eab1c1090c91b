// Start, configuration and the records of the library boundary.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "engine/api/exports.h"
#include "engine/device/match_ids.h"
#include "sim/testing/scoped_sim.h"

namespace cv50 {
namespace {

using sim::testing::ScopedSim;
using sim::testing::TempFolder;

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        DllInitialize();
        log::disable();
    }
    void TearDown() override {
        log::disable();
        DllDeInitialize();
    }
    ScopedSim world{sim::testing::ScenarioBuilder()};
    TempFolder folder;
};

TEST_F(FrameTest, FolderWithOrWithoutTrailingBackslashIsStoredEndingInOne) {
    std::string plain = folder.path();
    ASSERT_EQ(SetLogPath(plain.data()), 1);
    EXPECT_EQ(log::folder(), folder.path() + "\\");
    EXPECT_TRUE(log::enabled());

    std::string slashed = folder.path() + "\\";
    ASSERT_EQ(SetLogPath(slashed.data()), 1);
    EXPECT_EQ(log::folder(), folder.path() + "\\");
}

TEST_F(FrameTest, MissingFolderReturns0AndKeepsThePreviousState) {
    std::string good = folder.path();
    ASSERT_EQ(SetLogPath(good.data()), 1);
    std::string missing = folder.path() + "/no-such-folder";
    EXPECT_EQ(SetLogPath(missing.data()), 0);
    EXPECT_EQ(log::folder(), good + "\\");
    EXPECT_TRUE(log::enabled());

    log::disable();
    EXPECT_EQ(SetLogPath(missing.data()), 0);
    EXPECT_FALSE(log::enabled());
    EXPECT_EQ(SetLogPath(nullptr), 0);
}

TEST_F(FrameTest, FolderTooLongForItsFieldIsRefusedNotCut) {
    // Real nested folders, so only the length can be the reason for a refusal.
    std::string fits = folder.path();
    while (fits.size() < 254) {
        std::size_t room = 254 - fits.size() - 1;
        std::size_t n = std::min<std::size_t>(room, 100);
        if (room - n == 1) --n;
        fits += "/" + std::string(n, 'f');
        ASSERT_TRUE(std::filesystem::create_directory(fits));
    }
    std::string tooLong = fits + "/g";
    ASSERT_TRUE(std::filesystem::create_directory(tooLong));

    // 254 characters, the appended backslash and the NUL fill the 256 exactly.
    ASSERT_EQ(SetLogPath(fits.data()), 1);
    EXPECT_EQ(log::folder(), fits + "\\");
    EXPECT_EQ(SetLogPath(tooLong.data()), 0);
    EXPECT_EQ(log::folder(), fits + "\\");
}

TEST_F(FrameTest, SetVidPidReplacesTheMatchNumbers) {
    SetVidPid(0x1234, 0x0001, 0x5678, 0x0002);
    const device::MatchIds& ids = device::matchIds();
    EXPECT_EQ(ids.corvUsbVid, 0x1234);
    EXPECT_EQ(ids.corvUsbPid, 0x0001);
    EXPECT_EQ(ids.corvMscVid, 0x5678);
    EXPECT_EQ(ids.corvMscPid, 0x0002);
    SetVidPid(0x071b, 0x3201, 0x071b, 0x3203);
    const device::MatchIds defaults;
    EXPECT_EQ(ids.corvUsbVid, defaults.corvUsbVid);
    EXPECT_EQ(ids.corvUsbPid, defaults.corvUsbPid);
    EXPECT_EQ(ids.corvMscVid, defaults.corvMscVid);
    EXPECT_EQ(ids.corvMscPid, defaults.corvMscPid);
}

TEST(Records, DeviceInfoZeroedAndPartlyFilledKeepsItsFieldsAtTheirOffsets) {
    DEVICE_INFO info;
    std::memset(&info, 0, sizeof info);
    std::strcpy(info.layer, "1-3-2");
    std::strcpy(info.devicePath, "\\\\?\\USB#VID_071B&PID_3201#x");
    info.type = Loader;
    const auto* bytes = reinterpret_cast<const unsigned char*>(&info);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 516)), "1-3-2");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 4)), info.devicePath);
    EXPECT_EQ(bytes[540], 2);
}

}  // namespace
}  // namespace cv50
