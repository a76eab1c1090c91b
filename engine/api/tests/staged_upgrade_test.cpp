// The staged upgrade against simulated players: the devices gathered, the chain of steps,
// and the merged error list whose indexes are positions in the host's list.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "engine/api/error_list.h"
#include "engine/api/md_exports.h"
#include "engine/api/tests/upgrade_fixture.h"

namespace cv50 {
namespace {

using sim::testing::Faults;
using sim::testing::hub;
using testing::Json;
using testing::Mode;
using testing::Player;
using testing::UpgradeFixture;

class StagedUpgrade : public UpgradeFixture {};

TEST_F(StagedUpgrade, EachFailureIsReportedAtTheHostsIndexAndTheRestGoOn) {
    // A blank player in mask ROM; a disk that becomes a loader without ID Blocks, so the
    // update finds none; a player that never comes back after its reset.
    start({Player(Mode::MaskRom).enumerateDelay(0.5), Player(Mode::Msc).enumerateDelay(0.5),
           Player(Mode::MaskRom).enumerateDelay(600)});
    std::string image = packImage("fw.img");

    SEARCH_RESULT prepared{-1, nullptr};
    ASSERT_EQ(MD_Upgrade_Prepare(&prepared, 30, 0), 3);
    ASSERT_EQ(prepared.count, 3);
    EXPECT_NE(prepared.devices, device::searchTable());
    EXPECT_STREQ(prepared.devices[1].layer, "2");
    EXPECT_EQ(prepared.devices[1].type, Loader);

    ERROR_LIST errors{-1, nullptr};
    EXPECT_EQ(MD_Upgrade_Work(&prepared, image.data(), &errors, 0xDEAD, 10, 0, 0, 8), 0);
    ASSERT_EQ(errors.count, 2) << logText();
    EXPECT_NE(errors.errors, api::errorTable());
    EXPECT_EQ(errors.errors[0].index, 1u);
    EXPECT_STREQ(errors.errors[0].text, "Error:Write ID_BLOCK failed");
    // Second in the list that was waited for, third in the host's.
    EXPECT_EQ(errors.errors[1].index, 2u);
    EXPECT_STREQ(errors.errors[1].text, "Wait for Loader failed");
    EXPECT_TRUE(logged("INFO:begin to wait for loader"));
    EXPECT_TRUE(logged("INFO:wait for loader return"));

    // The host's records show how MD_Upgrade went.
    EXPECT_EQ(prepared.devices[0].status, StatusOk);
    EXPECT_EQ(prepared.devices[1].status, StatusFailed);
    EXPECT_EQ(prepared.devices[2].status, StatusOk);
    EXPECT_EQ(FreeSearchResult(&prepared), 1);

    // The one that made it took the image and was reset into its loader.
    DEVICE_INFO done = waitFor("1", Loader);
    ASSERT_EQ(done.type, Loader);
    EXPECT_TRUE(diskHoldsImage(done, image));
}

TEST_F(StagedUpgrade, SixteenPlayersEndAsDisksButThoseThatFailedEachWithItsOwnError) {
    // Four hubs of four ports: the host's index i is the player on Layer "hub-port".
    auto layerOf = [](int i) {
        return std::to_string(i / 4 + 1) + "-" + std::to_string(i % 4 + 1);
    };
    const int noIdBlock = 5, noLoader = 9, noDisk = 14;
    auto player = [&](int i) {
        if (i == noIdBlock) return Player(Mode::Msc).enumerateDelay(0.5);
        Player blank = Player(Mode::MaskRom).enumerateDelay(0.5);
        // A player gone for good at its first reset (after its ID Block) or at its second
        // (after its image, on the way to a disk).
        if (i == noLoader) blank.faults(Faults().neverReturnAt(1));
        if (i == noDisk) blank.faults(Faults().neverReturnAt(2));
        return blank;
    };
    std::vector<Json> hubs;
    for (int h = 0; h < 4; ++h) {
        std::vector<Json> ports;
        for (int p = 0; p < 4; ++p) ports.push_back(player(h * 4 + p));
        hubs.push_back(hub(ports));
    }
    start(hubs);
    std::string image = packImage("fw.img");

    SEARCH_RESULT prepared{};
    ASSERT_EQ(MD_Upgrade_Prepare(&prepared, 60, 0), 16) << logText();
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(prepared.devices[i].layer, layerOf(i));
        EXPECT_EQ(prepared.devices[i].type, i == noIdBlock ? Loader : MaskRom) << i;
    }

    // Long timeouts: the players that come back are there long before them.
    ERROR_LIST errors{};
    EXPECT_EQ(MD_Upgrade_Format(&prepared, image.data(), &errors, 60, 60, nullptr, 0, 0, 8), 0);
    std::vector<std::pair<unsigned, std::string>> listed;
    for (int k = 0; k < errors.count; ++k)
        listed.emplace_back(errors.errors[k].index, errors.errors[k].text);
    EXPECT_EQ(listed, (std::vector<std::pair<unsigned, std::string>>{
                          {noIdBlock, "Error:Write ID_BLOCK failed"},
                          {noLoader, "Wait for Loader failed"},
                          {noDisk, "Error:Wait msc device failed"}}))
        << logText();
    EXPECT_EQ(FreeSearchResult(&prepared), 1);

    std::vector<std::string> expected;
    for (int i = 0; i < 16; ++i)
        if (i != noIdBlock && i != noLoader && i != noDisk) expected.push_back(layerOf(i));
    SEARCH_RESULT disks{};
    const int found = ScanCorvMsc(&disks);
    std::vector<std::string> diskLayers;
    for (int k = 0; k < found; ++k) diskLayers.push_back(disks.devices[k].layer);
    std::sort(diskLayers.begin(), diskLayers.end());
    EXPECT_EQ(diskLayers, expected);
}

TEST_F(StagedUpgrade, WhenMdUpgradeLeavesNoDeviceOnlyItsOwnErrorsAreListed) {
    // Loaders without ID Blocks: the update of both fails.
    start({Player(Mode::Loader), Player(Mode::Loader)});
    std::string image = packImage("fw.img");
    SEARCH_RESULT prepared{};
    ASSERT_EQ(MD_Upgrade_Prepare(&prepared, 5, 0), 2);
    ERROR_LIST errors{};
    EXPECT_EQ(MD_Upgrade_Work(&prepared, image.data(), &errors, 0, 5, 0, 0, 8), 0);
    ASSERT_EQ(errors.count, 2);
    for (unsigned i = 0; i < 2; ++i) {
        EXPECT_EQ(errors.errors[i].index, i);
        EXPECT_STREQ(errors.errors[i].text, "Error:Write ID_BLOCK failed");
    }
    EXPECT_FALSE(logged("INFO:begin to wait for loader"));
    FreeSearchResult(&prepared);
}

TEST_F(StagedUpgrade, PrepareWithoutAnyDeviceGivesNothing) {
    start({nullptr, sim::testing::Device(0x1234, 0x5678, 0x0200)});
    SEARCH_RESULT prepared{7, reinterpret_cast<DEVICE_INFO*>(0x1)};
    EXPECT_EQ(MD_Upgrade_Prepare(&prepared, 1, 1), 0);
    EXPECT_EQ(prepared.count, 0);
    EXPECT_EQ(prepared.devices, nullptr);
}

}  // namespace
}  // namespace cv50
