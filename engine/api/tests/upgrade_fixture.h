// Tests of the upgrade flows against simulated players: a world of players on the ports
// of one root hub, firmware images packed from a sample loader, and what a player holds
// afterwards (its ID Block as the boot ROM judges it, its logical disk) read back over USB.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cvusbcomm/cvusbcomm.h"
#include "engine/api/search_exports.h"
#include "engine/api/tests/scan_all.h"
#include "engine/device/log.h"
#include "engine/device/records.h"
#include "engine/device/search.h"
#include "engine/device/tests/log_capture.h"
#include "engine/flash/boot_head.h"
#include "engine/flash/flash_device.h"
#include "fwpkg/fat_reader.h"
#include "fwpkg/packer.h"
#include "fwpkg/sector_device_io.h"
#include "sim/boot_rom/idb_check.h"
#include "sim/testing/scoped_sim.h"

namespace cv50::testing {

using sim::testing::Json;
using sim::testing::Mode;
using sim::testing::patternBytes;
using sim::testing::Player;
using sim::testing::readFile;
using sim::testing::writeFile;

struct ImageSpec {
    flash::TailFields tail{0x00010002, 64, 16};
    std::string tag = flash::kTailTag;
    std::optional<std::uint32_t> crc;  // a wrong one on purpose
};

class UpgradeFixture : public ::testing::Test {
protected:
    void SetUp() override { writeFile(loaderPath(), sampleLoader()); }
    void TearDown() override { world.reset(); }

    // A world of `ports` on one root hub whose temporary folder is a scratch folder. Waits
    // of seconds take milliseconds. With `keep`, the players' flash and disks are kept in a
    // state folder, so a player upgraded in one world is found upgraded by the next.
    // `base` holds the world's other keys.
    void start(const std::vector<Json>& ports, double speed = 50, bool keep = false,
               sim::testing::ScenarioBuilder base = {}) {
        world.reset();
        sim::testing::ScenarioBuilder scenario = std::move(base);
        scenario.speed(speed).time("2026-03-07T09:00:00.000").controller(ports);
        if (keep) scenario.state(state.path());
        world = std::make_unique<sim::testing::ScopedSim>(scenario);
        world->sim().setTempFolder(temp.path() + "\\");
    }

    // A loader file of the sample pieces, version 1.23, dated 2008-12-20.
    static std::vector<std::uint8_t> sampleLoader() { return fwpkg::sampleLoaderFile(); }

    // An image of the sample loader and a 1.5 MiB file (so its size is 1 MB), at `name`.
    std::string packImage(const std::string& name, const ImageSpec& spec = {}) {
        const std::string folder = files.makeFolder("content");
        writeFile(folder + "/big.bin", patternBytes(1536 * 1024, 0));
        fwpkg::ImagePackInput input;
        input.loaderFile = loaderPath();
        input.folder = folder;
        input.tail = spec.tail;
        input.tag = spec.tag;
        input.crc = spec.crc;
        const std::string out = files.file(name);
        fwpkg::packImage(input, out);
        return out;
    }

    // The device on `layer` once it is there as `type`, or a record with type NoDevice.
    static DEVICE_INFO waitFor(const char* layer, CV_DEVICE_TYPE type,
                               unsigned short seconds = 30) {
        DEVICE_INFO d{};
        std::strcpy(d.layer, layer);
        SEARCH_RESULT list{1, &d};
        if (WaitCVDevice(&list, type, seconds) != 1) d.type = NoDevice;
        return d;
    }

    // The first `bytes` bytes of the device's logical disk.
    static std::vector<std::uint8_t> readDisk(const DEVICE_INFO& d, std::size_t bytes) {
        std::vector<std::uint8_t> out((bytes + 511) / 512 * 512);
        for (std::size_t lba = 0; lba < out.size() / 512; lba += CVU_MAX_LBA_SECTORS) {
            const auto n = std::min<std::size_t>(CVU_MAX_LBA_SECTORS, out.size() / 512 - lba);
            EXPECT_EQ(CVU_ReadLBA(d.devicePath, static_cast<unsigned>(lba),
                                  static_cast<unsigned>(n), out.data() + lba * 512),
                      0);
        }
        out.resize(bytes);
        return out;
    }
    // True when the device's disk holds the image, all but its 32-byte check value.
    static bool diskHoldsImage(const DEVICE_INFO& d, const std::string& image) {
        std::vector<std::uint8_t> content = readFile(image);
        content.resize(content.size() - 32);
        return readDisk(d, content.size()) == content;
    }

    // The first ID Block copy on the loader `d` as the boot ROM reads it; fails the test
    // when none is found or it is not valid.
    static sim::IdBlockCopy idBlockOn(const DEVICE_INFO& d) {
        flash::CFlashDevice flash;
        flash.SetDevice(d.devicePath);
        sim::IdBlockCopy copy;
        if (!flash.GetFlashInfo(flash.flashInfo) || !flash.BuildFlashStateMap(0, flash.flashInfo) ||
            flash.FindAllIDB() < 1) {
            ADD_FAILURE() << "no ID Block on " << d.layer;
            return copy;
        }
        const std::uint32_t blockSectors = flash.flashInfo.blockSectors;
        std::vector<std::uint8_t> raw(std::size_t{blockSectors} * 528);
        for (std::uint32_t s = 0; s < blockSectors; s += CVU_MAX_SECTORS) {
            const std::uint32_t n = std::min<std::uint32_t>(CVU_MAX_SECTORS, blockSectors - s);
            EXPECT_EQ(CVU_ReadSector(d.devicePath, flash.idbBlocks[0] * blockSectors + s, n, 1,
                                     raw.data() + std::size_t{s} * 528),
                      0);
        }
        const auto verdict = sim::checkIdBlockCopy(raw);
        EXPECT_TRUE(verdict.valid()) << verdict.describe();
        return verdict.copy;
    }

    // The bytes of `path` on the volume of the disk `d`, or nothing.
    std::optional<std::string> fileOnDisk(const DEVICE_INFO& d, const std::string& path) {
        if (d.type != Msc || d.driveLetter == 0) return std::nullopt;
        auto device = world->sim().userDiskDevice(d.driveLetter);
        if (!device) return std::nullopt;
        fwpkg::SectorDeviceSource source(*device);
        std::unique_ptr<fwpkg::FatVolume> volume;
        fwpkg::FatEntry entry;
        if (fwpkg::FatVolume::open(source, volume) != fwpkg::FatError::Ok ||
            volume->find(path, entry) != fwpkg::FatError::Ok)
            return std::nullopt;
        std::string bytes;
        volume->readFile(entry, [&](std::span<const std::uint8_t> piece) {
            bytes.append(piece.begin(), piece.end());
            return true;
        });
        return bytes;
    }

    std::string logText() const { return log.text(); }
    // True when a line of the log is exactly `message` after its time and tab.
    bool logged(const std::string& message) const { return log.contains("\t" + message + "\r\n"); }

    std::string loaderPath() const { return files.file("CVBOOT.BIN"); }
    bool tempHas(const std::string& name) const { return std::filesystem::exists(temp.file(name)); }

    LogCapture log;
    sim::testing::TempFolder files;
    sim::testing::TempFolder temp;
    sim::testing::TempFolder state;
    std::unique_ptr<sim::testing::ScopedSim> world;
};

}  // namespace cv50::testing
