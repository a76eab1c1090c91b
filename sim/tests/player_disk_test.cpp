// Players whose NAND carries a firmware image: the reset that starts the disk firmware, the
// versions it reports, its user disk as the rest of the simulator reaches it, and all of
// it kept between runs.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/api/md_exports.h"
#include "engine/flash/image_download.h"
#include "engine/flash/tests/idb_write_fixture.h"
#include "fwpkg/packer.h"
#include "fwpkg/tests/fat_test_support.h"

namespace cv50::flash {
namespace {

using sim::testing::Mode;
using sim::testing::Player;
using sim::testing::readFile;
using testing::kSmallNand;
using testing::loaderPlayer;
using testing::Nand;
using testing::patternBytes;
using testing::ScenarioBuilder;
using testing::writeFile;
using Bytes = std::vector<std::uint8_t>;

// kSmallNand: 1024 blocks of 32 sectors. Copies in blocks 0-4, reserved blocks 5-11, so the
// disks hold 1012 blocks: a system disk of 12 MiB (2 + the margin), a further one of 1 MiB,
// then the user disk.
constexpr std::uint64_t kUserDiskFirst = 13 * 2048;
constexpr std::uint64_t kUserDiskSectors = 1012 * 32 - kUserDiskFirst;

class PlayerDisk : public testing::IdbWriteFixture {
protected:
    // A loader player whose ID Block (loader word 0x0123) lays out its disks, after the
    // reset that makes the loader take them.
    void laidOutLoader(const std::string& state = "", const Nand& nand = kSmallNand) {
        start(loaderPlayer(nand, {}, state));
        CFlashDevice d = device();
        d.systemDiskMB = 2;
        d.diskSizesText = "1";
        ASSERT_EQ(d.WriteIDBlock(false, true), 0);
        ASSERT_TRUE(resetComesBackAsLoader());
    }

    // A firmware image from the packer with `systemVersion` in its tail block.
    std::string packedImage(std::uint32_t systemVersion, std::optional<std::uint32_t> crc = {}) {
        LoaderSpec spec;
        for (std::size_t i = 0; i < 4; ++i) spec.pieces[i] = fwpkg::samplePiece(kHeadPieceOrder[i]);
        writeFile(files.file("CVBOOT.BIN"), *buildLoaderFile(spec));
        fwpkg::ImagePackInput input;
        input.loaderFile = files.file("CVBOOT.BIN");
        input.tail = {systemVersion, 12, 1};
        input.crc = crc;
        const std::string out = files.path() + "/fw.img";
        fwpkg::packImage(input, out);
        return out;
    }

    // A FAT volume that holds no loader file.
    std::string volumeWithoutLoader() {
        fwpkg::FatNode root;
        root.directory = true;
        fwpkg::FatNode readme;
        readme.name = "README.TXT";
        readme.bytes = patternBytes(3000, 5);
        root.children.push_back(readme);
        const std::string out = files.file("noloader.img");
        writeFile(out, fwpkg::testing::imageOf(root));
        return out;
    }

    std::string bytesFile(std::size_t size) {
        const std::string out = files.file("bytes.img");
        writeFile(out, patternBytes(size, 9));
        return out;
    }

    // Resets the player, with the reset flag when asked, and finds it on its port again.
    std::optional<CV_DEVICE_TYPE> resetAndFind(bool flag) {
        const std::string path = usbPath();
        if (flag) {
            EXPECT_EQ(CVU_SetResetFlag(path.c_str()), 0);
        }
        EXPECT_EQ(CVU_ResetDevice(path.c_str()), 0);
        return findOnPort();
    }

    std::optional<CV_DEVICE_TYPE> findOnPort() { return kindOnPort(found); }

    _CORV_VERSION versionOfFound() {
        _CORV_VERSION v{};
        SEARCH_RESULT list{1, &found};
        ERROR_LIST errors{};
        EXPECT_EQ(MD_GetDeviceVersion(&list, &v, &errors), 1);
        return v;
    }

    void switchFoundToLoader() {
        SEARCH_RESULT list{1, &found};
        ERROR_LIST errors{};
        ASSERT_EQ(MD_SwitchToCorvUsb(&list, &errors), 1);
        ASSERT_EQ(findOnPort(), Loader);
    }

    DEVICE_INFO found{};
};

TEST_F(PlayerDisk, ComesBackAsADiskOnlyWithTheResetFlagAndAnImageInItsSystemDisk) {
    auto download = [this](const std::string& image) {
        ASSERT_EQ(DownloadImage(usbPath(), image), 0);
    };
    struct Case {
        std::string what;
        std::function<void()> prepare;
        bool flag;
        CV_DEVICE_TYPE expected;
    };
    const Case cases[] = {
        {"an image, the flag", [&] { download(packedImage(0x00070008)); }, true, Msc},
        {"an image, no flag", [&] { download(packedImage(0x00070008)); }, false, Loader},
        {"nothing written", [] {}, true, Loader},
        {"no FAT volume", [&] { download(bytesFile(16384 + 32)); }, true, Loader},
        {"a volume without the loader", [&] { download(volumeWithoutLoader()); }, true, Loader},
        {"an image, then the disks erased",
         [&] {
             download(packedImage(0x00070008));
             // Formats behind the reserved blocks.
             ASSERT_EQ(device().WriteIDBlock(true, false), 0);
         },
         true, Loader},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        laidOutLoader();
        c.prepare();
        EXPECT_EQ(resetAndFind(c.flag), c.expected);
    }
}

TEST_F(PlayerDisk, VersionsAreTheIdBlocksLoaderWordAndTheTailBlocksSystemVersion) {
    struct Case {
        std::string what;
        std::optional<std::uint32_t> crc;
        std::uint16_t systemHigh, systemLow;
    };
    const Case cases[] = {
        {"a sound tail block", std::nullopt, 0x0007, 0x0008},
        {"a tail block with a wrong CRC", 0x12345678, 0xFFFF, 0xFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        laidOutLoader();
        ASSERT_EQ(DownloadImage(usbPath(), packedImage(0x00070008, c.crc)), 0);
        ASSERT_EQ(resetAndFind(true), Msc);
        const _CORV_VERSION v = versionOfFound();
        EXPECT_EQ(v.loaderHigh, 0x01);
        EXPECT_EQ(v.loaderLow, 0x23);
        EXPECT_EQ(v.systemHigh, c.systemHigh);
        EXPECT_EQ(v.systemLow, c.systemLow);
    }
}

// Power that comes back after a cut is a power-on: the firmware starts from the image.
TEST_F(PlayerDisk, PowerBackAfterACutStartsTheFirmware) {
    laidOutLoader();
    ASSERT_EQ(DownloadImage(usbPath(), packedImage(0x00070008)), 0);
    world->sim().withWorld([](sim::UsbWorld& w) {
        sim::Nand& nand = w.players()[0]->media->nand;
        nand.cutPowerAtStep(nand.steps() + 1);
    });
    const Bytes data = patternBytes(512, 3);
    EXPECT_NE(CVU_WriteLBA(usbPath().c_str(), kUserDiskFirst, 1, data.data()), 0);
    EXPECT_EQ(findOnPort(), Msc);
}

// The user disk of a disk player, reached by its drive letter, is the NAND behind the
// system and further disks; a scenario's disk on blank flash gets a plain one.
TEST_F(PlayerDisk, UserDiskIsReachedByTheDriveLetterOfItsVolume) {
    laidOutLoader();
    ASSERT_EQ(DownloadImage(usbPath(), packedImage(0x00070008)), 0);
    ASSERT_EQ(resetAndFind(true), Msc);
    ASSERT_NE(found.driveLetter, 0);
    const Bytes data = patternBytes(1024, 0x21);
    const Bytes firstSector(data.begin(), data.begin() + 512);
    std::uint64_t sectors = 0;
    EXPECT_TRUE(world->sim().withUserDisk(found.driveLetter, [&](fwpkg::SectorDevice& disk) {
        sectors = disk.sectorCount();
        EXPECT_TRUE(disk.write(sectors - 2, data));
        EXPECT_FALSE(disk.write(sectors - 1, data));
    }));
    EXPECT_EQ(sectors, kUserDiskSectors);
    EXPECT_FALSE(world->sim().withUserDisk('Q', [](fwpkg::SectorDevice&) { ADD_FAILURE(); }));

    switchFoundToLoader();
    Bytes back(1024);
    ASSERT_EQ(CVU_ReadLBA(found.devicePath, kUserDiskFirst + sectors - 2, 2, back.data()), 0);
    EXPECT_EQ(back, data);

    sim::testing::TempFolder state;
    const ScenarioBuilder blankDisk =
        ScenarioBuilder().speed(1000).state(state.path()).port(Player(Mode::Msc));
    for (bool again : {false, true}) {
        start(blankDisk);
        ASSERT_EQ(findOnPort(), Msc);
        EXPECT_TRUE(world->sim().withUserDisk(found.driveLetter, [&](fwpkg::SectorDevice& disk) {
            EXPECT_EQ(disk.sectorCount(), 262144u);  // the size of its 128 MiB of flash
            Bytes sector(512);
            if (!again) {
                EXPECT_TRUE(disk.write(1000, firstSector));
            }
            ASSERT_TRUE(disk.read(1000, sector));
            EXPECT_EQ(sector, firstSector);
        }));
    }
    world.reset();  // before its state folder goes
}

// The format library of the simulator reaches the user disk through userDiskDevice(): the
// volume lands on the NAND behind the system and further disks.
TEST_F(PlayerDisk, FormattingTheVolumeWritesTheUserDiskOnTheNand) {
    laidOutLoader("", Nand());  // 128 MiB: room for a FAT32 user disk
    ASSERT_EQ(DownloadImage(usbPath(), packedImage(0x00070008)), 0);
    ASSERT_EQ(resetAndFind(true), Msc);
    sim::SimOs& sim = world->sim();
    sim.setVolumeProvider([&sim](char letter) { return sim.userDiskDevice(letter); });
    EXPECT_EQ(sim.userDiskDevice('Q'), nullptr);
    auto kept = sim.userDiskDevice(found.driveLetter);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->sectorCount(), 1012u * 256 - kUserDiskFirst);
    sim::SimOs::FormatRequest request;
    request.letter = found.driveLetter;
    request.fileSystem = "FAT32";
    request.label = "PLAYER";
    ASSERT_TRUE(sim.formatVolume(request)) << sim.formatRequests().back().error;

    switchFoundToLoader();
    Bytes boot(512);
    ASSERT_EQ(CVU_ReadLBA(found.devicePath, kUserDiskFirst, 1, boot.data()), 0);
    EXPECT_EQ(std::string(boot.begin() + 82, boot.begin() + 87), "FAT32");
    EXPECT_EQ(boot[510], 0x55);
    EXPECT_EQ(boot[511], 0xAA);
    EXPECT_FALSE(kept->read(0, boot));  // its volume is gone
}

// The next run finds the player as its scenario declares it, on the flash the first run
// left: as a loader its disk still holds the image, as a disk it runs that image.
TEST_F(PlayerDisk, AFlashedPlayerIsFoundFlashedByTheNextRun) {
    sim::testing::TempFolder state;
    laidOutLoader(state.path());
    const std::string image = packedImage(0x00070008);
    ASSERT_EQ(DownloadImage(usbPath(), image), 0);
    Bytes expected = readFile(image);
    expected.resize(16384);

    start(loaderPlayer(kSmallNand, {}, state.path()));
    ASSERT_EQ(findOnPort(), Loader);
    Bytes back(16384);
    ASSERT_EQ(CVU_ReadLBA(found.devicePath, 0, 32, back.data()), 0);
    EXPECT_EQ(back, expected);
    ASSERT_EQ(resetAndFind(true), Msc);
    EXPECT_EQ(versionOfFound().systemLow, 0x0008);

    start(
        ScenarioBuilder().speed(1000).state(state.path()).port(Player(Mode::Msc).nand(kSmallNand)));
    ASSERT_EQ(findOnPort(), Msc);
    const _CORV_VERSION v = versionOfFound();
    EXPECT_EQ(v.loaderHigh, 0x01);
    EXPECT_EQ(v.loaderLow, 0x23);
    EXPECT_EQ(v.systemHigh, 0x0007);
    EXPECT_EQ(v.systemLow, 0x0008);
    world.reset();
}

}  // namespace
}  // namespace cv50::flash
