// Power failing at every flash step of an ID Block write: whatever step it hits, the
// player comes back in mask ROM or boots a whole copy, and a fresh full write repairs it.
#include <algorithm>

#include "engine/flash/boot_download.h"
#include "engine/flash/tests/idb_write_fixture.h"
#include "engine/os/os.h"
#include "sim/boot_rom/power_on.h"

namespace cv50::flash {
namespace {

using sim::testing::Mode;
using sim::testing::Player;
using testing::Faults;
using testing::IdbWriteFixture;
using testing::Nand;
using testing::patternBytes;
using testing::ScenarioBuilder;
using testing::writeFile;
using Bytes = std::vector<std::uint8_t>;
using Words = std::array<std::uint16_t, 3>;

// 16 MiB of 64 KiB blocks: few blocks to erase, room for the disks the write asks for.
const Nand kNand = Nand().chipSectors(32768).blockSectors(128);
constexpr std::uint32_t kBlockSectors = 128;

const Words kOldWords{0x2008, 0x1220, 0x0123};
const Words kNewWords{0x2009, 0x0101, 0x0200};

struct WriteKind {
    const char* name;
    Mode startMode;
    bool fullWrite;
};

class IdBlockPowerCut : public IdbWriteFixture {
protected:
    void SetUp() override {
        IdbWriteFixture::SetUp();
        log::disable();  // hundreds of writes: the log would only slow them down
        writeFile(piecePath(), patternBytes(700, 0x05));
    }

    void startPlayer(const WriteKind& kind, std::uint64_t cutAtStep) {
        Faults faults;
        if (cutAtStep) faults.powerCutAt(static_cast<std::uint32_t>(cutAtStep));
        start(ScenarioBuilder()
                  .speed(20000)
                  .time("2026-03-07T09:00:00.000")
                  .port(Player(kind.startMode).enumerateDelay(0.5).nand(kNand).faults(faults)));
    }

    std::uint64_t steps() {
        return world->sim().withWorld(
            [](sim::UsbWorld& w) { return w.players()[0]->media->nand.steps(); });
    }
    std::optional<std::uint32_t> bootedBlock() {
        return world->sim().withWorld(
            [](sim::UsbWorld& w) { return sim::bootRomCopyBlock(w.players()[0]->media->nand); });
    }

    void useBootFile(const Bytes& boot) { writeFile(bootPath(), boot); }
    CFlashDevice deviceWith(const Words& words) {
        CFlashDevice d = device();
        d.loaderWords = words;
        return d;
    }

    // A mask-ROM player takes the boot programs (any files do for the simulated ROM).
    bool bootMaskRom() const {
        SEARCH_RESULT r{};
        if (ScanCorvUsb(&r) != 1 || r.devices[0].type != MaskRom) return false;
        BootDownload rom(r.devices[0].devicePath);
        return rom.DownloadBoot(piecePath(), piecePath(), piecePath()) == 1;
    }
    std::string piecePath() const { return files.file("piece.bin"); }

    // Where the cut write starts: a blank mask-ROM player with its boot programs running,
    // or a loader with five copies of the old boot code.
    void prepare(const WriteKind& kind) {
        if (kind.fullWrite) {
            ASSERT_TRUE(bootMaskRom());
            return;
        }
        useBootFile(oldBoot);
        CFlashDevice first = deviceWith(kOldWords);
        ASSERT_EQ(first.WriteIDBlock(false, true), 0);
    }
    int writeUnderTest(const WriteKind& kind) {
        useBootFile(newBoot);
        CFlashDevice d = deviceWith(kNewWords);
        return d.WriteIDBlock(false, kind.fullWrite);
    }

    // The kind of the only CorvUsb device once the enumeration delay is surely over. No
    // timed wait: at this speed a stalled test thread would outlast any timeout.
    static std::optional<CV_DEVICE_TYPE> kindAfterEnumeration() {
        os::current().sleepMs(2000);
        SEARCH_RESULT r{};
        if (ScanCorvUsb(&r) != 1) return std::nullopt;
        return r.devices[0].type;
    }

    // The copy the boot ROM boots, judged again from the flash as the loader reads it:
    // whole, and all of one write (the old one or the new one).
    void expectBootedCopyIsWhole(const std::string& where) {
        const auto block = bootedBlock();
        ASSERT_TRUE(block) << where;
        const auto verdict = sim::checkIdBlockCopy(readBlock(*block, kBlockSectors));
        ASSERT_TRUE(verdict.valid()) << where << ": " << verdict.describe();
        const sim::IdBlockCopy& c = verdict.copy;
        const bool isOld = c.bootCode == oldBoot && c.loaderWords == kOldWords;
        const bool isNew = c.bootCode == newBoot && c.loaderWords == kNewWords;
        EXPECT_TRUE(isOld || isNew) << where << ": block " << *block << " mixes two writes";
        EXPECT_TRUE(std::equal(c.flashData.begin(), c.flashData.begin() + 300,
                               patternBytes(300, 0x11).begin()))
            << where;
        EXPECT_EQ(c.idbBlocks, (std::array<std::uint16_t, 5>{0, 1, 2, 3, 4})) << where;
        EXPECT_EQ(c.tag, "CV50") << where;
    }

    const Bytes oldBoot = patternBytes(3000, 0x42);
    const Bytes newBoot = patternBytes(5000, 0x77);
};

TEST_F(IdBlockPowerCut, EveryStepOfAnUpdateAndOfAFullWrite) {
    const WriteKind kinds[] = {
        {"update", Mode::Loader, false},
        {"full write", Mode::MaskRom, true},
    };
    for (const WriteKind& kind : kinds) {
        // The uncut run says which steps belong to the write.
        startPlayer(kind, 0);
        ASSERT_NO_FATAL_FAILURE(prepare(kind)) << kind.name;
        const std::uint64_t firstStep = steps() + 1;
        ASSERT_EQ(writeUnderTest(kind), 0) << kind.name;
        const std::uint64_t lastStep = steps();
        ASSERT_GT(lastStep, firstStep) << kind.name;

        for (std::uint64_t k = firstStep; k <= lastStep; ++k) {
            const std::string where = std::string(kind.name) + ", power cut at step " +
                                      std::to_string(k - firstStep + 1) + " of " +
                                      std::to_string(lastStep - firstStep + 1);
            startPlayer(kind, k);
            ASSERT_NO_FATAL_FAILURE(prepare(kind)) << where;
            ASSERT_EQ(steps(), firstStep - 1) << where;
            const std::string path = usbPath();
            EXPECT_NE(writeUnderTest(kind), 0) << where;
            EXPECT_EQ(CVU_TestUnitReady(path.c_str(), nullptr, nullptr), CVU_ERR_TRANSPORT)
                << where;

            const auto back = kindAfterEnumeration();
            ASSERT_TRUE(back) << where;
            const CV_DEVICE_TYPE type = *back;
            ASSERT_TRUE(type == Loader || type == MaskRom) << where;
            // An update rewrites one copy at a time: four whole ones remain.
            if (!kind.fullWrite) {
                EXPECT_EQ(type, Loader) << where;
            }
            if (type == Loader) {
                ASSERT_NO_FATAL_FAILURE(expectBootedCopyIsWhole(where));
            } else {
                EXPECT_FALSE(bootedBlock()) << where;
                ASSERT_TRUE(bootMaskRom()) << where;
            }

            CFlashDevice fresh = deviceWith(kNewWords);
            ASSERT_EQ(fresh.WriteIDBlock(false, true), 0) << where;
            for (const sim::IdBlockCopy& c : validCopies(fresh.idbBlocks, kBlockSectors)) {
                EXPECT_EQ(c.bootCode, newBoot) << where;
                EXPECT_EQ(c.loaderWords, kNewWords) << where;
            }
            ASSERT_EQ(CVU_ResetDevice(usbPath().c_str()), 0) << where;
            ASSERT_EQ(kindAfterEnumeration(), Loader) << where;
        }
    }
}

}  // namespace
}  // namespace cv50::flash
