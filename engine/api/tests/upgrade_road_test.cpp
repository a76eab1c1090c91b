// The whole road end to end against simulated players: whatever mode a player starts in,
// it ends as a disk with the new firmware; its volume is checked with the host's FAT tools.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/api/cv_exports.h"
#include "engine/api/exports.h"
#include "engine/api/md_exports.h"
#include "engine/api/tests/upgrade_fixture.h"
#include "engine/api/upgrade_road.h"
#include "fwpkg/tests/host_tools.h"

namespace cv50 {
namespace {

using fwpkg::testing::run;
using fwpkg::testing::shellQuoted;
using testing::ImageSpec;
using testing::Mode;
using testing::patternBytes;
using testing::Player;
using testing::readFile;
using testing::UpgradeFixture;
using testing::writeFile;

class UpgradeRoad : public UpgradeFixture {
protected:
    std::string image(const std::string& name, std::uint32_t systemVersion) {
        ImageSpec spec;
        spec.tail.systemVersion = systemVersion;
        return packImage(name, spec);
    }

    // Every port of the road went well.
    static void expectAllOk(const std::vector<api::RoadResult>& results, std::size_t ports) {
        ASSERT_EQ(results.size(), ports);
        for (const auto& r : results) EXPECT_TRUE(r.ok) << r.layer << ": " << r.message;
    }

    // The volume of the disk on `layer`, written to a host file.
    std::string volumeOf(const std::string& layer, const std::string& name) {
        const std::string path = files.file(name);
        std::string error;
        EXPECT_TRUE(world->sim().saveVolumeImageOfLayer(layer, path, error)) << error;
        return path;
    }

    // The versions the disk on `layer` reports.
    static _CORV_VERSION versionOf(const char* layer) {
        DEVICE_INFO d = waitFor(layer, Msc);
        _CORV_VERSION v{};
        SEARCH_RESULT list{1, &d};
        ERROR_LIST errors{};
        EXPECT_EQ(MD_GetDeviceVersion(&list, &v, &errors), 1) << layer;
        return v;
    }

    std::string demoFolder() {
        const std::string demo = files.file("Demo");
        writeFile(demo + "/Read Me.txt", {'h', 'e', 'l', 'l', 'o', '\n'});
        writeFile(demo + "/Music/track01.mp3", patternBytes(70000, 0));
        return demo;
    }
};

TEST_F(UpgradeRoad, EveryModeEndsAsADiskWithTheNewFirmwareAndTheDemoFiles) {
    start(std::vector<sim::testing::Json>(3, Player(Mode::MaskRom).enumerateDelay(0.5)));
    const std::string oldImage = image("old.img", 0x00010001);
    const std::string newImage = image("new.img", 0x00020003);

    // Old firmware on all three, then one left as a disk, one switched to its loader and
    // one erased back to its mask ROM.
    api::RoadOptions first;
    first.image = oldImage;
    first.end = api::RoadEnd::Format;
    expectAllOk(api::RunUpgradeRoad(first), 3);
    DEVICE_INFO second = waitFor("2", Msc);
    ASSERT_EQ(second.type, Msc);
    SEARCH_RESULT list{1, &second};
    ERROR_LIST errors{};
    ASSERT_EQ(MD_SwitchToCorvUsb(&list, &errors), 1);
    ASSERT_EQ(waitFor("2", Loader).type, Loader);
    DEVICE_INFO third = waitFor("3", Msc);
    std::string loader = loaderPath();
    ASSERT_EQ(CV_EraseIDB(third, 30, 0, loader.data()), 1) << logText();
    ASSERT_EQ(third.type, MaskRom);

    const std::string demo = demoFolder();
    api::RoadOptions road;
    road.image = newImage;
    road.end = api::RoadEnd::Copy;
    road.copySource = demo;
    road.label = "DEMO";
    expectAllOk(api::RunUpgradeRoad(road), 3);

    _CORV_VERSION expected{};
    std::string imagePath = newImage;
    ASSERT_EQ(CVGetVersionFromImage(imagePath.data(), loader.data(), &expected), 1);
    for (const char* layer : {"1", "2", "3"}) {
        SCOPED_TRACE(layer);
        const _CORV_VERSION v = versionOf(layer);
        EXPECT_EQ(v.systemHigh, 2);
        EXPECT_EQ(v.systemLow, 3);
        EXPECT_EQ(v.loaderHigh, expected.loaderHigh);
        EXPECT_EQ(v.loaderLow, expected.loaderLow);

        const std::string volume = volumeOf(layer, std::string("volume") + layer + ".img");
        const auto fsck = run("fsck.fat -n -v " + shellQuoted(volume));
        EXPECT_EQ(fsck.status, 0) << fsck.output;
        EXPECT_NE(fsck.output.find("32 bit entries"), std::string::npos) << fsck.output;
        const std::string copied = files.path() + "/copied.mp3";
        std::filesystem::remove(copied);
        const auto mcopy =
            run("mcopy -n -i " + shellQuoted(volume) + " ::Music/track01.mp3 " + shellQuoted(copied));
        ASSERT_EQ(mcopy.status, 0) << mcopy.output;
        EXPECT_EQ(readFile(copied), patternBytes(70000, 0));
        const auto label = run("mlabel -s -i " + shellQuoted(volume) + " ::");
        EXPECT_NE(label.output.find("DEMO"), std::string::npos) << label.output;
    }
}

TEST_F(UpgradeRoad, WithoutFormatTheUserVolumeStaysByteForByte) {
    start({Player(Mode::MaskRom).enumerateDelay(0.5)});
    api::RoadOptions first;
    first.image = image("old.img", 0x00010001);
    first.end = api::RoadEnd::Copy;
    first.copySource = demoFolder();
    expectAllOk(api::RunUpgradeRoad(first), 1);
    ASSERT_EQ(waitFor("1", Msc).type, Msc);
    const auto before = readFile(volumeOf("1", "before.img"));

    api::RoadOptions road;
    road.image = image("new.img", 0x00020003);
    expectAllOk(api::RunUpgradeRoad(road), 1);
    EXPECT_EQ(versionOf("1").systemLow, 3);
    const auto after = readFile(volumeOf("1", "after.img"));
    ASSERT_EQ(after.size(), before.size());
    EXPECT_TRUE(after == before) << "the user volume changed";
}

TEST_F(UpgradeRoad, OnlyTheNamedPortsAndAPortWithoutPlayerIsReported) {
    start(std::vector<sim::testing::Json>(2, Player(Mode::MaskRom).enumerateDelay(0.5)));
    api::RoadOptions road;
    road.image = image("fw.img", 0x00010001);
    road.ports = {"2", "7"};
    const auto results = api::RunUpgradeRoad(road);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].layer, "2");
    EXPECT_TRUE(results[0].ok) << results[0].message;
    EXPECT_EQ(results[1].layer, "7");
    EXPECT_FALSE(results[1].ok);
    EXPECT_EQ(results[1].message, "Error:No player found on this port");
    // Port 1 was left alone: still in its mask ROM.
    EXPECT_EQ(waitFor("1", MaskRom, 2).type, MaskRom);
}

}  // namespace
}  // namespace cv50
