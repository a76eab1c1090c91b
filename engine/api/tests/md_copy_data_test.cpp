// MD_CopyData against simulated players: loaders reset into disk mode and waited for.
#include <gtest/gtest.h>

#include "engine/api/md_exports.h"
#include "engine/api/tests/upgrade_fixture.h"

namespace cv50 {
namespace {

using testing::Json;
using testing::Mode;
using testing::Player;
using testing::scanAll;
using testing::UpgradeFixture;

class MdCopyData : public UpgradeFixture {
protected:
    // Players with ID Blocks and an image, so that a reset with the flag set starts their
    // firmware: upgraded in a first world and found upgraded by the second, `players`.
    void startUpgraded(int count, const std::vector<Json>& players) {
        start(std::vector<Json>(static_cast<std::size_t>(count), Player(Mode::MaskRom)), 50, true);
        std::string image = packImage("fw.img");
        std::vector<DEVICE_INFO> list = scanAll();
        SEARCH_RESULT devices{static_cast<int>(list.size()), list.data()};
        ERROR_LIST errors{};
        ASSERT_EQ(MD_Upgrade(&devices, image.data(), &errors, 0, 8), 1) << logText();
        std::vector<DEVICE_INFO> loaders;
        for (const DEVICE_INFO& d : list) loaders.push_back(waitFor(d.layer, Loader));
        SEARCH_RESULT back{static_cast<int>(loaders.size()), loaders.data()};
        ASSERT_EQ(MD_DownImage(&back, image.data(), &errors), 1) << logText();
        start(players, 50, true);
    }

    // The entries of `errors` with `index`.
    static std::vector<std::string> entriesOf(const ERROR_LIST& errors, unsigned index) {
        std::vector<std::string> out;
        for (int e = 0; e < errors.count; ++e)
            if (errors.errors[e].index == index) out.push_back(errors.errors[e].text);
        return out;
    }
};

TEST_F(MdCopyData, ALoaderThatNeverComesBackAsADiskFailsAtItsIndexWhileTheOthersGoOn) {
    startUpgraded(
        3, {Player(Mode::Loader).enumerateDelay(0.5), Player(Mode::Loader).enumerateDelay(600),
            Player(Mode::Loader).enumerateDelay(0.5), Player(Mode::Msc)});
    std::vector<DEVICE_INFO> list = scanAll();
    ASSERT_EQ(list.size(), 4u);
    SEARCH_RESULT devices{4, list.data()};
    ERROR_LIST errors{};
    char label[] = "PLAYER";
    EXPECT_EQ(MD_CopyData(&devices, &errors, 10, label, nullptr, 0), 0);

    EXPECT_EQ(entriesOf(errors, 3), std::vector<std::string>{"Error:Device is not Loader"});
    EXPECT_EQ(entriesOf(errors, 1), std::vector<std::string>{"Error:Wait msc device failed"});
    EXPECT_EQ(list[1].status, StatusFailed);
    EXPECT_EQ(list[3].status, StatusFailed);
    // The two that came back went on to their formats, side by side.
    for (unsigned i : {0u, 2u})
        for (const std::string& text : entriesOf(errors, i))
            EXPECT_NE(text, "Error:Wait msc device failed");
    EXPECT_TRUE(logged("<Layer:1> INFO:Begin to set reset flag"));
    EXPECT_TRUE(logged("<Layer:1> INFO:Begin to reset device"));
    EXPECT_TRUE(logged("INFO:Begin to wait for msc device"));
    EXPECT_TRUE(logged("INFO:wait for msc device return"));
    EXPECT_TRUE(logged("<Layer:1> INFO:Begin to Format"));
    EXPECT_TRUE(logged("<Layer:3> INFO:Begin to Format"));
    EXPECT_FALSE(logged("<Layer:2> INFO:Begin to Format"));
}

TEST_F(MdCopyData, WhenNoDiskComesBackEveryLoaderHasOneEntryAndNothingIsFormatted) {
    startUpgraded(1, {Player(Mode::Loader).enumerateDelay(600)});
    std::vector<DEVICE_INFO> list = scanAll();
    SEARCH_RESULT devices{1, list.data()};
    ERROR_LIST errors{};
    EXPECT_EQ(MD_CopyData(&devices, &errors, 3, nullptr, nullptr, 0), 0);
    ASSERT_EQ(errors.count, 1);
    EXPECT_EQ(errors.errors[0].index, 0u);
    EXPECT_STREQ(errors.errors[0].text, "Error:Wait msc device failed");
    EXPECT_EQ(list[0].status, StatusFailed);
    EXPECT_EQ(logText().find("Begin to Format"), std::string::npos);
}

}  // namespace
}  // namespace cv50
